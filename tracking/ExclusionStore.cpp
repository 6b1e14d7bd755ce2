#include "tracking/ExclusionStore.h"

#include <algorithm>
#include <exception>
#include <string>

#include "desktop/WholeFileWrite.h"
#include "desktop/WriteIniFile.h"
#include "framework/Exceptions.h"
#include "framework/Handle.h"
#include "framework/Mbcs.h"
#include "framework/Trace.h"

ExclusionStore* ExclusionStore::m_pInstance = nullptr;

namespace {

const char kFileName[] = "ExclusionData.ini";
const char kAsideSuffix[] = ".new";
const char kDamagedSuffix[] = ".damaged";
const int kMaxDamagedCopies = 99;

CString SectionName(int index)
{
    CString section;
    section.Format("ITEM%d", index);
    return section;
}

CString NumberText(int value)
{
    CString text;
    text.Format("%d", value);
    return text;
}

int ReadInt(LPCSTR section, LPCSTR key, const CString& path)
{
    return static_cast<int>(GetPrivateProfileIntA(section, key, 0, path));
}

CString ReadText(LPCSTR section, LPCSTR key, const CString& path)
{
    char buffer[260] = {};
    const DWORD length = GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, path);
    if (length == sizeof buffer - 1)
        return CString(buffer, LengthWithoutLoneLeadByte(buffer));  // cut to fit
    return CString(buffer);
}

std::vector<CString> SectionNames(const CString& path)
{
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const DWORD length = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), path);
        if (length + 2 < buffer.size() || buffer.size() >= 64 * 1024 * 1024)
            break;
        buffer.assign(buffer.size() * 4, '\0');  // cut short: the list did not fit
    }
    std::vector<CString> names;
    for (const char* name = buffer.data(); *name && name < buffer.data() + buffer.size(); name += lstrlenA(name) + 1)
        names.push_back(CString(name));
    return names;
}

// What one rules file held.
struct RulesFileRead {
    enum Kind { missing, empty, unreadable, read };
    Kind kind = missing;
    DWORD error = 0;
    bool trusted = true;
    CString countText;
    int sectionsPresent = 0;
    std::vector<ExclusionRule> rules;
};

RulesFileRead ReadRulesFile(const CString& path)
{
    RulesFileRead r;
    // Opened first: the profile reader takes a file it cannot open (held without sharing, no
    // access, a folder) for an empty one.
    const CFileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        r.error = GetLastError();
        r.kind = r.error == ERROR_FILE_NOT_FOUND || r.error == ERROR_PATH_NOT_FOUND ? RulesFileRead::missing
                                                                                    : RulesFileRead::unreadable;
        return r;
    }
    const DWORD size = GetFileSize(file.Get(), nullptr);
    if (size == 0) {
        r.kind = RulesFileRead::empty;
        return r;
    }
    r.kind = RulesFileRead::read;
    char countText[64] = {};
    const DWORD countLength = GetPrivateProfileStringA("SYSTEM", "EXCLUSIONNUM", "", countText, sizeof countText, path);
    const bool whole = countLength + 1 < sizeof countText;  // a cut value must not read as a count
    r.countText = countText;
    std::vector<int> present;
    for (const CString& name : SectionNames(path)) {
        const int number = RuleSectionNumber(name);
        if (number >= 0)
            present.push_back(number);
    }
    std::sort(present.begin(), present.end());
    present.erase(std::unique(present.begin(), present.end()), present.end());
    r.sectionsPresent = static_cast<int>(present.size());
    const RuleReadPlan plan = PlanRuleRead(whole ? countText : nullptr, present);
    r.trusted = plan.trusted;
    r.rules.reserve(plan.sections.size());
    for (int number : plan.sections) {
        const CString section = SectionName(number);
        ExclusionRule rule;
        rule.useTitle = ReadInt(section, "TITLEFLAG", path);
        rule.useProcessName = ReadInt(section, "PNAMEFLAG", path);
        rule.fullNameMatch = ReadInt(section, "FULLNAMEFLAG", path);
        rule.title = ReadText(section, "TITLE", path);
        rule.processName = ReadText(section, "PNAME", path);
        rule.titlePattern = ReadText(section, "TPART", path);
        r.rules.push_back(rule);
    }
    return r;
}

// False when the file cannot be opened (the writer traces it); a failed write raises CFileException.
BOOL WriteRules(const CString& path, const std::vector<ExclusionRule>& rules)
{
    CWriteIniFile writer;
    writer.m_nMode = CWriteIniFile::modeSequential;
    if (!writer.openFile(path))
        return FALSE;
    writer.WriteIniValue("SYSTEM", "EXCLUSIONNUM", NumberText(static_cast<int>(rules.size())), path);
    for (size_t i = 0; i < rules.size(); ++i) {
        const ExclusionRule& rule = rules[i];
        const CString section = SectionName(static_cast<int>(i));
        writer.WriteIniValue(section, "TITLEFLAG", NumberText(rule.useTitle), path);
        writer.WriteIniValue(section, "PNAMEFLAG", NumberText(rule.useProcessName), path);
        writer.WriteIniValue(section, "FULLNAMEFLAG", NumberText(rule.fullNameMatch), path);
        writer.WriteIniValue(section, "TITLE", rule.title, path);
        writer.WriteIniValue(section, "PNAME", rule.processName, path);
        writer.WriteIniValue(section, "TPART", rule.titlePattern, path);
    }
    writer.closeFile();
    return TRUE;
}

}  // namespace

int LengthWithoutLoneLeadByte(const char* text)
{
    int length = 0;
    for (const char* p = text; *p;) {
        const int step = MbcsCharLength(p);
        if (step == 1 && MbcsIsLeadByte(static_cast<unsigned char>(*p)) && p[1] == '\0')
            break;
        length += step;
        p += step;
    }
    return length;
}

bool ParseRuleCount(const char* text, int* count)
{
    if (!text || !*text)
        return false;
    int value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
        if (value > kMaxExclusionRules)
            return false;
    }
    *count = value;
    return true;
}

int RuleSectionNumber(const char* sectionName)
{
    if (!sectionName || CString(sectionName).Left(4).CompareNoCase("ITEM") != 0)
        return -1;
    const char* digits = sectionName + 4;
    const int length = lstrlenA(digits);
    // The reader looks up "ITEM%d": a sign or a leading zero names no rule.
    if (length == 0 || length > 9 || (digits[0] == '0' && length > 1))
        return -1;
    int number = 0;
    for (const char* p = digits; *p; ++p) {
        if (*p < '0' || *p > '9')
            return -1;
        number = number * 10 + (*p - '0');
    }
    return number;
}

RuleReadPlan PlanRuleRead(const char* countText, const std::vector<int>& present)
{
    RuleReadPlan plan;
    int count = 0;
    if (ParseRuleCount(countText, &count)) {
        const bool pastCount = !present.empty() && present.back() >= count;
        const int missing = count - static_cast<int>(present.size());
        if (!pastCount && missing <= kMaxMissingRuleSections) {
            plan.trusted = true;
            for (int i = 0; i < count; ++i)
                plan.sections.push_back(i);
            return plan;
        }
    }
    plan.trusted = false;
    const size_t taken = std::min(present.size(), static_cast<size_t>(kMaxExclusionRules));
    plan.sections.assign(present.begin(), present.begin() + taken);
    return plan;
}

std::vector<ExclusionRule> MergeRules(const std::vector<ExclusionRule>& first, const std::vector<ExclusionRule>& second)
{
    std::vector<ExclusionRule> merged = first;
    for (const ExclusionRule& rule : second) {
        bool inFirst = false;
        for (const ExclusionRule& f : first)
            inFirst = inFirst || SameRule(f, rule);
        if (!inFirst)
            merged.push_back(rule);
    }
    return merged;
}

bool SameRules(const std::vector<ExclusionRule>& a, const std::vector<ExclusionRule>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!SameRule(a[i], b[i]))
            return false;
    }
    return true;
}

ExclusionStore::ExclusionStore() : ExclusionStore(GetCurrentDirectoryA) {}

ExclusionStore::ExclusionStore(CurrentDirectoryReader readCurrentDirectory)
    : fileState(fileSound),
      savePending(false),
      m_asideUnread(false),
      m_asideHeld(false),
      m_failureNoticed(false),
      m_failureToReport(false)
{
    char folder[261] = {};
    const DWORD length = readCurrentDirectory(sizeof folder, folder);
    // 0 is an error, and a folder that does not fit returns the size it needs.
    if (length == 0 || length >= sizeof folder)
        AfxTrace("ExclusionStore: the current folder is unknown or too long; %s is not used\n", kFileName);
    else
        iniPath = CString(folder, static_cast<int>(length)) + "\\" + kFileName;
    Load();
}

ExclusionStore::~ExclusionStore()
{
    Save();
    if (m_pInstance == this)
        m_pInstance = nullptr;
}

ExclusionStore* ExclusionStore::GetInstance()
{
    if (!m_pInstance)
        m_pInstance = new ExclusionStore();
    return m_pInstance;
}

void ExclusionStore::Load()
{
    rules.clear();
    fileState = fileSound;
    savePending = false;
    m_asideUnread = false;
    m_asideHeld = false;
    if (iniPath.IsEmpty())
        return;
    MergeFile(true);
    MergeAsideFile(true);
}

// At load rules is empty; at a save it holds what the user made meanwhile, which goes first.
void ExclusionStore::MergeFile(bool atLoad)
{
    const RulesFileRead r = ReadRulesFile(iniPath);
    switch (r.kind) {
        case RulesFileRead::unreadable:
            if (atLoad)
                AfxTrace(
                    "ExclusionStore::Load(%s) Error! cannot read it (%lu); it is read again before it is written\n",
                    iniPath.GetString(), r.error);
            fileState = fileUnread;
            return;
        case RulesFileRead::missing:
        case RulesFileRead::empty:
            fileState = fileSound;
            return;
        case RulesFileRead::read:
            break;
    }
    fileState = r.trusted ? fileSound : fileDamaged;
    if (!r.trusted)
        AfxTrace(
            "ExclusionStore::Load EXCLUSIONNUM=%s cannot be trusted; %d rules read from the %d ITEM sections "
            "present; its bytes are copied to %s%s before it is written\n",
            r.countText.GetString(), static_cast<int>(r.rules.size()), r.sectionsPresent, kFileName, kDamagedSuffix);
    if (!atLoad)
        AfxTrace("ExclusionStore::Save %s read at last: %d rules merged in\n", iniPath.GetString(),
                 static_cast<int>(r.rules.size()));
    rules = MergeRules(rules, r.rules);
}

// The rules a save that could not reach the file put beside it; newer than the file's.
void ExclusionStore::MergeAsideFile(bool atLoad)
{
    const CString aside = iniPath + kAsideSuffix;
    const RulesFileRead r = ReadRulesFile(aside);
    m_asideUnread = r.kind == RulesFileRead::unreadable;
    if (m_asideUnread) {
        if (atLoad)
            AfxTrace("ExclusionStore::Load(%s) Error! cannot read it (%lu)\n", aside.GetString(), r.error);
        return;
    }
    if (r.kind == RulesFileRead::missing)
        return;
    m_asideHeld = true;
    AfxTrace("ExclusionStore: %d rules of %s merged in\n", static_cast<int>(r.rules.size()), aside.GetString());
    rules = atLoad ? MergeRules(r.rules, rules) : MergeRules(rules, r.rules);
}

// Its bytes under a name of their own; true when they are on the disk there (or the file is gone).
bool ExclusionStore::KeepDamagedBytes()
{
    std::string bytes;
    if (!ReadFileBytes(iniPath, &bytes)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return true;
        AfxTrace("ExclusionStore::Save(%s) Error! cannot read it to keep it (%lu)\n", iniPath.GetString(), error);
        return false;
    }
    for (int n = 1; n <= kMaxDamagedCopies; ++n) {
        CString copy = iniPath + kDamagedSuffix;
        if (n > 1)
            copy += NumberText(n);
        std::string old;
        if (ReadFileBytes(copy, &old)) {
            if (old == bytes)
                return true;  // kept by an earlier run that stopped before its write
            continue;
        }
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            continue;  // never over whatever stands there
        if (!WriteBytesWhole(copy, bytes)) {
            AfxTrace("ExclusionStore::Save(%s) Error! %lu\n", copy.GetString(), GetLastError());
            return false;
        }
        AfxTrace("ExclusionStore::Save the damaged file is kept as %s\n", copy.GetString());
        return true;
    }
    AfxTrace("ExclusionStore::Save(%s) Error! no free name to keep it under\n", iniPath.GetString());
    return false;
}

bool ExclusionStore::SaveTo(const CString& path)
{
    try {
        if (WriteFileWhole(path, FALSE, [&](const CString& tempPath) { return WriteRules(tempPath, rules); }))
            return true;
        AfxTrace("ExclusionStore::Save(%s) Error! %lu\n", path.GetString(), GetLastError());
    } catch (const CException& e) {
        AfxTrace("ExclusionStore::Save(%s) Error! %s\n", path.GetString(), e.What());
    } catch (const std::exception& e) {
        AfxTrace("ExclusionStore::Save(%s) Error! %s\n", path.GetString(), e.what());
    } catch (...) {
        AfxTrace("ExclusionStore::Save(%s) Error! unknown exception\n", path.GetString());
    }
    return false;
}

bool ExclusionStore::Save()
{
    if (iniPath.IsEmpty()) {
        AfxTrace("ExclusionStore::Save no file: the current folder was not known\n");
        return false;
    }
    try {
        if (fileState == fileUnread)
            MergeFile(false);
        if (m_asideUnread)
            MergeAsideFile(false);
        if (fileState == fileDamaged && KeepDamagedBytes())
            fileState = fileSound;
        if (fileState == fileSound && SaveTo(iniPath)) {
            const CString aside = iniPath + kAsideSuffix;
            if (m_asideHeld && (DeleteFileA(aside) || GetLastError() == ERROR_FILE_NOT_FOUND))
                m_asideHeld = false;
            if (savePending)
                AfxTrace("ExclusionStore::Save %s written at last\n", iniPath.GetString());
            savePending = false;
            return true;
        }
        savePending = true;
        if (!m_failureNoticed)
            m_failureNoticed = m_failureToReport = true;
        // Beside it, so that neither the exit nor a kill loses them: the next start merges them in.
        const CString aside = iniPath + kAsideSuffix;
        if (!m_asideUnread && SaveTo(aside)) {
            m_asideHeld = true;
            AfxTrace("ExclusionStore::Save %s not written; the rules are saved to %s\n", iniPath.GetString(),
                     aside.GetString());
        }
    } catch (...) {
        // Reading raises nothing the store expects; whatever it was, the rules stay in memory.
        AfxTrace("ExclusionStore::Save(%s) Error! unknown exception\n", iniPath.GetString());
        savePending = true;
    }
    return false;
}

bool ExclusionStore::TakeFailureNotice()
{
    const bool report = m_failureToReport;
    m_failureToReport = false;
    return report;
}
