#include "desktop/WriteIniFile.h"

#include "framework/Trace.h"

namespace {

// Byte by byte: CR and LF are never trail bytes, and a lone lead byte must not shield one.
CString OneLine(LPCSTR text)
{
    CString line(text);
    for (int i = 0; i < line.GetLength(); ++i) {
        if (line[i] == '\r' || line[i] == '\n')
            line.SetAt(i, ' ');
    }
    return line;
}

// What the profile reader strips from either end of a value. No trail byte has these codes.
bool IsReaderBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\v' || ch == '\f' || ch == '\x1a';
}

bool IsQuote(char ch)
{
    return ch == '"' || ch == '\'';
}

CString IniValueText(LPCSTR value)
{
    const CString text = OneLine(value);
    const int length = text.GetLength();
    if (length == 0)
        return text;
    const char first = text[0];
    const char last = text[length - 1];
    // The reader takes off one pair of quotes, so quoting gives back exactly what is inside.
    const bool stripped =
        IsReaderBlank(first) || IsReaderBlank(last) || (length >= 2 && IsQuote(first) && last == first);
    return stripped ? "\"" + text + "\"" : text;
}

}  // namespace

CWriteIniFile::CWriteIniFile() : m_nMode(modeProfile) {}

CWriteIniFile::~CWriteIniFile()
{
    m_file.Abort();
}

BOOL CWriteIniFile::openFile(LPCSTR path)
{
    if (m_nMode != modeSequential)
        return TRUE;
    if (!m_file.Open(path, CStdioFile::modeCreate | CStdioFile::modeWrite | CStdioFile::shareDenyWrite)) {
        AfxTrace("CWriteIniFile::openFile(%s) Error!\n", path);
        return FALSE;
    }
    return TRUE;
}

BOOL CWriteIniFile::WriteIniValue(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path)
{
    if (m_nMode != modeSequential) {
        // Null section, key or value keep their meaning for the system call (delete).
        const CString sectionLine = OneLine(section);
        const CString keyLine = OneLine(key);
        const CString valueText = IniValueText(value);
        WritePrivateProfileStringA(section ? sectionLine.GetString() : nullptr, key ? keyLine.GetString() : nullptr,
                                   value ? valueText.GetString() : nullptr, path);
        return TRUE;
    }
    if (!m_file.IsOpen())
        return TRUE;

    const CString sectionName(section);
    CString line;
    if (sectionName != m_strLastSection) {
        line.Format("[%s]\r\n", OneLine(section).GetString());
        m_file.WriteString(line);
        m_strLastSection = sectionName;
    }
    line.Format("%s=%s\r\n", OneLine(key).GetString(), IniValueText(value).GetString());
    m_file.WriteString(line);
    return TRUE;
}

void CWriteIniFile::closeFile()
{
    if (m_nMode != modeSequential)
        return;
    m_file.Close();
}
