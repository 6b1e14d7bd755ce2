#include "tracking/ExclusionRule.h"

#include "framework/Mbcs.h"

namespace {

bool TitleConditionHolds(const ExclusionRule& rule, const CString& title)
{
    if (rule.useTitle != 1)
        return true;
    if (rule.fullNameMatch == 1)
        return title == rule.title;
    // msvcrt's _mbsstr compares byte by byte under Wine, so the search walks lead bytes itself.
    return MbcsFindString(title, rule.titlePattern) != nullptr;
}

bool ProcessConditionHolds(const ExclusionRule& rule, const CString& processName)
{
    return rule.useProcessName != 1 || processName == rule.processName;
}

}  // namespace

BOOL MatchesExclusionRule(const ExclusionRule& rule, const CString& title, const CString& processName)
{
    return TitleConditionHolds(rule, title) && ProcessConditionHolds(rule, processName);
}

BOOL IsWindowAllowed(const std::vector<ExclusionRule>& rules, const CString& title, const CString& processName)
{
    for (const ExclusionRule& rule : rules) {
        if (MatchesExclusionRule(rule, title, processName))
            return FALSE;
    }
    return TRUE;
}

bool SameRule(const ExclusionRule& a, const ExclusionRule& b)
{
    return a.useTitle == b.useTitle && a.useProcessName == b.useProcessName && a.title == b.title &&
           a.processName == b.processName && a.fullNameMatch == b.fullNameMatch && a.titlePattern == b.titlePattern;
}
