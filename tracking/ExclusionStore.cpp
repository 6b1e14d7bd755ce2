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

ExclusionStore::ExclusionStore(CurrentDirectoryReader readCurrentDirectory) {
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
    if (iniPath.IsEmpty()) return;
    int count = ReadInt("SYSTEM", "EXCLUSIONNUM", iniPath);
    if (count <= 0) return;
    if (count > kMaxExclusionRules) {
        AfxTrace("ExclusionStore::Load EXCLUSIONNUM=%d, only the first %d rules are read\n", count,
                 kMaxExclusionRules);
        count = kMaxExclusionRules;
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
        tempPath = TempFilePath(iniPath);
        if (!WriteRules(tempPath, rules)) return;  // the old file is untouched
        if (CommitTempFile(tempPath, iniPath)) return;
        const DWORD error = GetLastError();
        AfxTrace("ExclusionStore::Save(%s) Error! MoveFileEx %lu\n", iniPath.GetString(), error);
    } catch (const CException& e) {
        AfxTrace("ExclusionStore::Save(%s) Error! %s\n", iniPath.GetString(), e.What());
    } catch (const std::exception& e) {
        AfxTrace("ExclusionStore::Save(%s) Error! %s\n", iniPath.GetString(), e.what());
    } catch (...) {
        AfxTrace("ExclusionStore::Save(%s) Error! unknown exception\n", iniPath.GetString());
    }
    if (!tempPath.IsEmpty()) DeleteFileA(tempPath);
}
