#pragma once
// Finding rules in the list: the one the user picked, and the one a thumbnail's exclusion makes.
#include "tracking/ExclusionRule.h"

#include <vector>

// Where the rule the user picked stands now: a nested modal loop (the editor, the delete
// question) may have let a thumbnail's exclusion insert a rule meanwhile. -1 when it is gone.
int RelocateRule(const std::vector<ExclusionRule>& rules, int row, const ExclusionRule& picked);
// The rule a thumbnail's exclusion adds: both tests on, whole title.
ExclusionRule RuleForWindow(const CString& title, const CString& processName);
// An exclusion rule equal to one made for this window already exists.
bool HasRuleForWindow(const std::vector<ExclusionRule>& rules, const CString& title, const CString& processName);
