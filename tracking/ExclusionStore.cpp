#include "tracking/ExclusionStore.h"

#include <exception>

#include "desktop/WholeFileWrite.h"
#include "desktop/WriteIniFile.h"
#include "framework/Exceptions.h"
#include "framework/Mbcs.h"
#include "framework/Trace.h"

ExclusionStore* ExclusionStore::m_pInstance = nullptr;

namespace {

const char kFileName[] = "ExclusionData.ini";
const char kKeptFileSuffix[] = ".new";

CString SectionName(int index) {
    CString section;
    section.Format("ITEM%d", index);
    return section;
}

CString NumberText(int value) {
    CString text;
    text.Format("%d", value);
    return text;
}

int ReadInt(LPCSTR section, LPCSTR key, const CString& path) {
    return static_cast<int>(GetPrivateProfileIntA(section, key, 0, path));
}

CString ReadText(LPCSTR section, LPCSTR key, const CString& path) {
    char buffer[260] = {};
    const DWORD length = GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, path);
    if (length == sizeof buffer - 1) return CString(buffer, LengthWithoutLoneLeadByte(buffer));  // cut to fit
    return CString(buffer);
}

bool HasSection(const std::vector<CString>& names, const CString& section) {
    for (const CString& name : names) {
        if (lstrcmpiA(name, section) == 0) return true;  // the profile reader ignores case
    }
    return false;
}

std::vector<CString> SectionNames(const CString& path) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const DWORD length = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()), path);
        if (length + 2 < buffer.size() || buffer.size() >= 64 * 1024 * 1024) break;
        buffer.assign(buffer.size() * 4, '\0');  // cut short: the list did not fit
    }
    std::vector<CString> names;
    for (const char* name = buffer.data(); *name && name < buffer.data() + buffer.size(); name += lstrlenA(name) + 1)
        names.push_back(CString(name));
    return names;
}

// The file exists but cannot be opened for reading (held without sharing, no access, a folder).
bool ExistsButUnreadable(const CString& path, DWORD* error) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return false;
    }
    *error = GetLastError();
    return *error != ERROR_FILE_NOT_FOUND && *error != ERROR_PATH_NOT_FOUND;
}

// False when the file cannot be opened (the writer traces it); a failed write raises CFileException.
bool WriteRules(const CString& path, const std::vector<ExclusionRule>& rules) {
    CWriteIniFile writer;
    writer.m_nMode = CWriteIniFile::modeSequential;
    if (!writer.openFile(path)) return false;
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
    return true;
}

}  // namespace

int LengthWithoutLoneLeadByte(const char* text) {
    int length = 0;
    for (const char* p = text; *p;) {
        const int step = MbcsCharLength(p);
        if (step == 1 && MbcsIsLeadByte(static_cast<unsigned char>(*p)) && p[1] == '\0') break;
        length += step;
        p += step;
    }
    return length;
}

ExclusionStore::ExclusionStore() : ExclusionStore(GetCurrentDirectoryA) {}

bool ParseRuleCount(const char* text, int* count) {
    if (!text || !*text) return false;
    int value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
        if (value > kMaxExclusionRules) return false;
    }
    *count = value;
    return true;
}

ExclusionStore::ExclusionStore(CurrentDirectoryReader readCurrentDirectory) : keepFile(false) {
    char folder[261] = {};
    const DWORD length = readCurrentDirectory(sizeof folder, folder);
    // 0 is an error, and a folder that does not fit returns the size it needs.
    if (length == 0 || length >= sizeof folder)
        AfxTrace("ExclusionStore: the current folder is unknown or too long; %s is not used\n", kFileName);
    else
        iniPath = CString(folder, static_cast<int>(length)) + "\\" + kFileName;
    Load();
}

ExclusionStore::~ExclusionStore() {
    Save();
    if (m_pInstance == this) m_pInstance = nullptr;
}

ExclusionStore* ExclusionStore::GetInstance() {
    if (!m_pInstance) m_pInstance = new ExclusionStore();
    return m_pInstance;
}

void ExclusionStore::Load() {
    rules.clear();
    keepFile = false;
    if (iniPath.IsEmpty()) return;
    DWORD error = 0;
    if (ExistsButUnreadable(iniPath, &error)) {
        keepFile = true;
        AfxTrace("ExclusionStore::Load(%s) Error! cannot read it (%lu); it is kept, rules are saved to %s%s\n",
                 iniPath.GetString(), error, iniPath.GetString(), kKeptFileSuffix);
        return;
    }
    char countText[64] = {};
    const DWORD countLength =
        GetPrivateProfileStringA("SYSTEM", "EXCLUSIONNUM", "", countText, sizeof countText, iniPath);
    int count = 0;
    if (countLength + 1 >= sizeof countText || !ParseRuleCount(countText, &count)) {
        const std::vector<CString> sections = SectionNames(iniPath);
        while (count < kMaxExclusionRules && HasSection(sections, SectionName(count))) ++count;
        // With no rule section there is nothing to lose by writing the file anew.
        keepFile = count > 0;
        AfxTrace("ExclusionStore::Load EXCLUSIONNUM=%s cannot be trusted; %d rules read up to the first missing "
                 "section%s\n",
                 countText, count, keepFile ? ", the file is kept and rules are saved beside it" : "");
    }
    rules.reserve(count);
    for (int i = 0; i < count; ++i) {
        const CString section = SectionName(i);
        ExclusionRule rule;
        rule.useTitle = ReadInt(section, "TITLEFLAG", iniPath);
        rule.useProcessName = ReadInt(section, "PNAMEFLAG", iniPath);
        rule.fullNameMatch = ReadInt(section, "FULLNAMEFLAG", iniPath);
        rule.title = ReadText(section, "TITLE", iniPath);
        rule.processName = ReadText(section, "PNAME", iniPath);
        rule.titlePattern = ReadText(section, "TPART", iniPath);
        rules.push_back(rule);
    }
}

void ExclusionStore::Save() {
    CString tempPath;
    try {
        if (iniPath.IsEmpty()) {
            AfxTrace("ExclusionStore::Save no file: the current folder was not known\n");
            return;
        }
        CString target = iniPath;
        if (keepFile) {
            target += kKeptFileSuffix;
            AfxTrace("ExclusionStore::Save %s was not read whole at start-up and is kept; rules saved to %s\n",
                     iniPath.GetString(), target.GetString());
        }
        tempPath = TempFilePath(target);
        if (!WriteRules(tempPath, rules)) return;  // the old file is untouched
        if (CommitTempFile(tempPath, target)) return;
        const DWORD error = GetLastError();
        AfxTrace("ExclusionStore::Save(%s) Error! MoveFileEx %lu\n", target.GetString(), error);
    } catch (const CException& e) {
        AfxTrace("ExclusionStore::Save(%s) Error! %s\n", iniPath.GetString(), e.What());
    } catch (const std::exception& e) {
        AfxTrace("ExclusionStore::Save(%s) Error! %s\n", iniPath.GetString(), e.what());
    } catch (...) {
        AfxTrace("ExclusionStore::Save(%s) Error! unknown exception\n", iniPath.GetString());
    }
    if (!tempPath.IsEmpty()) DeleteFileA(tempPath);
}
