#pragma once
// The process-wide copy of the exclusion rules, read from and written to "ExclusionData.ini".
#include <windows.h>
#include <vector>

#include "framework/String.h"
#include "tracking/ExclusionRule.h"

// More rules than this are not read: a damaged count would stall start-up and exhaust memory.
const int kMaxExclusionRules = 1000;

// GetCurrentDirectoryA, or a stand-in for it in tests.
typedef DWORD (WINAPI* CurrentDirectoryReader)(DWORD size, LPSTR buffer);

// Length of text without a lone lead byte at its end, as a cut to a buffer's size can leave.
int LengthWithoutLoneLeadByte(const char* text);

// The value of EXCLUSIONNUM as a count that can be trusted: decimal digits only, at most
// kMaxExclusionRules. False for anything else (empty, negative, a sign, other text, too large).
bool ParseRuleCount(const char* text, int* count);

class ExclusionStore {
public:
    // Loads "ExclusionData.ini" from the current folder.
    ExclusionStore();
    explicit ExclusionStore(CurrentDirectoryReader readCurrentDirectory);
    virtual ~ExclusionStore();  // saves; never raises
    ExclusionStore(const ExclusionStore&) = delete;
    ExclusionStore& operator=(const ExclusionStore&) = delete;

    // The store, created and loaded on first use.
    static ExclusionStore* GetInstance();

    // Replaces rules with the file's, at most kMaxExclusionRules of them. A count that cannot be
    // trusted reads the ITEM sections in order up to the first missing one.
    void Load();
    // Writes rules to a file beside the old one, then puts it in the old one's place. A failure is
    // traced and leaves the old file as it was; nothing is raised. A file that could not be read
    // whole at load is never replaced: the rules go to "ExclusionData.ini.new" instead.
    void Save();

    std::vector<ExclusionRule> rules;  // file order, which is also the list page's order
    CString iniPath;                   // empty when the current folder was not known: no file is used
    bool keepFile;  // the file exists but could not be read, or its count could not be trusted

    static ExclusionStore* m_pInstance;
};
