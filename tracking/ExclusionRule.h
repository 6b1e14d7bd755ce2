#pragma once
// One exclusion rule and its match against a window's title and process name.
#include <windows.h>
#include <vector>

#include "framework/String.h"

// Switches count only when exactly 1; a hand-edited file may hold any value, and it is kept.
struct ExclusionRule {
    int useTitle = 0;
    int useProcessName = 0;
    CString title;          // the whole title when the rule was made; compared when fullNameMatch is 1
    CString processName;    // executable base name, compared whole
    int fullNameMatch = 0;  // 1: the title must equal title; otherwise it must contain titlePattern
    CString titlePattern;
};

// All six fields equal, byte for byte.
bool SameRule(const ExclusionRule& a, const ExclusionRule& b);

// Byte-exact and case-sensitive. The substring search moves a character at a time, so a match
// never begins or ends inside a double-byte character; an empty pattern is in every title.
BOOL MatchesExclusionRule(const ExclusionRule& rule, const CString& title, const CString& processName);

// FALSE when a rule of rules matches, the first in list order deciding; TRUE for an empty list.
BOOL IsWindowAllowed(const std::vector<ExclusionRule>& rules, const CString& title, const CString& processName);
