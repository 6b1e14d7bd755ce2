#include "tracking/RuleSearch.h"

int RelocateRule(const std::vector<ExclusionRule>& rules, int row, const ExclusionRule& picked)
{
    const int count = static_cast<int>(rules.size());
    if (row >= 0 && row < count && SameRule(rules[row], picked))
        return row;
    for (int i = 0; i < count; ++i) {
        if (SameRule(rules[i], picked))
            return i;
    }
    return -1;
}

ExclusionRule RuleForWindow(const CString& title, const CString& processName)
{
    ExclusionRule rule;
    rule.useTitle = 1;
    rule.useProcessName = 1;
    rule.title = title;
    rule.processName = processName;
    rule.fullNameMatch = 1;
    return rule;
}

bool HasRuleForWindow(const std::vector<ExclusionRule>& rules, const CString& title, const CString& processName)
{
    for (const ExclusionRule& r : rules) {
        if (r.useTitle == 1 && r.useProcessName == 1 && r.fullNameMatch == 1 && r.title == title &&
            r.processName == processName)
            return true;
    }
    return false;
}
