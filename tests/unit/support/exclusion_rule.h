// Test helper: an exclusion rule built field by field.
#pragma once
#include "tracking/ExclusionRule.h"

inline ExclusionRule Rule(int useTitle, int useProcessName, const char* title, const char* processName,
                          int fullNameMatch, const char* titlePattern)
{
    ExclusionRule rule;
    rule.useTitle = useTitle;
    rule.useProcessName = useProcessName;
    rule.title = title;
    rule.processName = processName;
    rule.fullNameMatch = fullNameMatch;
    rule.titlePattern = titlePattern;
    return rule;
}
