#pragma once
// The process-wide copy of the exclusion rules, read from and written to "ExclusionData.ini".
#include <windows.h>
#include <vector>

#include "framework/String.h"
#include "tracking/ExclusionRule.h"

// More rules than this are not read: a damaged count would stall start-up and exhaust memory.
const int kMaxExclusionRules = 1000;
// A count with more ITEM sections missing below it than this is damaged, not a few rules short:
// its default rules would refuse every window.
const int kMaxMissingRuleSections = 16;

// GetCurrentDirectoryA, or a stand-in for it in tests.
typedef DWORD(WINAPI* CurrentDirectoryReader)(DWORD size, LPSTR buffer);

// Length of text without a lone lead byte at its end, as a cut to a buffer's size can leave.
int LengthWithoutLoneLeadByte(const char* text);

// The value of EXCLUSIONNUM as a number: decimal digits only, at most kMaxExclusionRules. False
// for anything else (empty, negative, a sign, other text, too large).
bool ParseRuleCount(const char* text, int* count);

// The number n of a section named "ITEMn" (in any case, as the profile reader finds it), or -1.
int RuleSectionNumber(const char* sectionName);

// Which ITEM sections a file's rules come from.
struct RuleReadPlan {
    bool trusted;               // false: the count is damaged, and the file's bytes are kept
    std::vector<int> sections;  // read in this order; a missing one gives a default rule
};

// countText is the EXCLUSIONNUM value (null when there is none), present the ITEM numbers the file
// holds, ascending. A count is trusted when it parses, no section lies at or past it and at most
// kMaxMissingRuleSections are missing below it: every number below it is read. Otherwise the
// sections present are read, at most kMaxExclusionRules of them.
RuleReadPlan PlanRuleRead(const char* countText, const std::vector<int>& present);

// first, then each rule of second that equals no rule of first. Equal rules within one list all
// stay: the default rules of a short count are alike.
std::vector<ExclusionRule> MergeRules(const std::vector<ExclusionRule>& first,
                                      const std::vector<ExclusionRule>& second);

bool SameRules(const std::vector<ExclusionRule>& a, const std::vector<ExclusionRule>& b);

class ExclusionStore {
public:
    enum FileState {
        fileSound,    // missing, empty or read whole: the store writes it
        fileDamaged,  // read, but its count could not be trusted: its bytes are kept before a write
        fileUnread,   // there, but it could not be opened: read again and merged before a write
    };

    // Loads "ExclusionData.ini" from the current folder.
    ExclusionStore();
    explicit ExclusionStore(CurrentDirectoryReader readCurrentDirectory);
    virtual ~ExclusionStore();  // saves; never raises
    ExclusionStore(const ExclusionStore&) = delete;
    ExclusionStore& operator=(const ExclusionStore&) = delete;

    // The store, created and loaded on first use.
    static ExclusionStore* GetInstance();

    // Replaces rules with the file's, merged with those of "ExclusionData.ini.new", which a run
    // whose save could not reach the file left beside it.
    void Load();
    // Writes rules to the file whole, or leaves it as it was. A damaged file's bytes are first kept
    // as "ExclusionData.ini.damaged" (or a later number, never over an older copy); a file that
    // could not be opened at load is read again, and its rules merged into rules, before anything
    // is written. When the file cannot be written, rules go to "ExclusionData.ini.new" and the
    // next save tries again. True when the rules are in the file; never raises.
    bool Save();
    // True once, after the first save that did not reach the file: the user is to be told.
    bool TakeFailureNotice();

    std::vector<ExclusionRule> rules;  // file order, which is also the list page's order
    CString iniPath;                   // empty when the current folder was not known: no file is used
    FileState fileState;
    bool savePending;  // the last save did not reach the file

    static ExclusionStore* m_pInstance;

private:
    void MergeFile(bool atLoad);
    void MergeAsideFile(bool atLoad);
    bool KeepDamagedBytes();
    bool SaveTo(const CString& path);

    bool m_asideUnread;  // "ExclusionData.ini.new" is there but could not be opened yet
    bool m_asideHeld;    // its rules are in rules: it goes once the file holds them
    bool m_failureNoticed;
    bool m_failureToReport;
};
