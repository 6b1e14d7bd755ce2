#include "framework/File.h"

#include <cstring>

BOOL CStdioFile::Open(LPCSTR path, UINT flags, CFileException* error)
{
    Abort();
    DWORD access = GENERIC_READ;
    if (flags & modeWrite)
        access = GENERIC_WRITE;
    else if (flags & modeReadWrite)
        access = GENERIC_READ | GENERIC_WRITE;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (flags & shareDenyWrite)
        share = FILE_SHARE_READ;
    DWORD disposition = OPEN_EXISTING;
    if (flags & modeCreate)
        disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;

    m_hFile = ::CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE) {
        const LONG osError = static_cast<LONG>(::GetLastError());
        if (error) {
            error->m_lOsError = osError;
            error->m_cause = CFileException::OsErrorToCause(osError);
        }
        return FALSE;
    }
    m_strPath = path;
    return TRUE;
}

void CStdioFile::Write(const void* data, UINT count)
{
    if (!IsOpen())
        AfxThrowFileException(CFileException::genericException);
    DWORD written = 0;
    if (!::WriteFile(m_hFile, data, count, &written, nullptr)) {
        const LONG osError = static_cast<LONG>(::GetLastError());
        AfxThrowFileException(CFileException::OsErrorToCause(osError), osError);
    }
    if (written != count)
        AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL);
}

void CStdioFile::WriteString(LPCSTR text)
{
    Write(text, static_cast<UINT>(std::strlen(text)));
}

UINT CStdioFile::Read(void* data, UINT count)
{
    if (!IsOpen())
        AfxThrowFileException(CFileException::genericException);
    DWORD read = 0;
    if (!::ReadFile(m_hFile, data, count, &read, nullptr)) {
        const LONG osError = static_cast<LONG>(::GetLastError());
        AfxThrowFileException(CFileException::OsErrorToCause(osError), osError);
    }
    return read;
}

BOOL CStdioFile::ReadString(CString& line)
{
    line.Empty();
    char ch;
    bool any = false;
    while (Read(&ch, 1) == 1) {
        any = true;
        if (ch == '\n') {
            if (line.GetLength() > 0 && line[line.GetLength() - 1] == '\r')
                line = line.Left(line.GetLength() - 1);
            return TRUE;
        }
        line += ch;
    }
    return any;
}

void CStdioFile::Close()
{
    if (!IsOpen())
        return;
    HANDLE h = m_hFile;
    m_hFile = INVALID_HANDLE_VALUE;
    if (!::CloseHandle(h)) {
        const LONG osError = static_cast<LONG>(::GetLastError());
        AfxThrowFileException(CFileException::OsErrorToCause(osError), osError);
    }
}

void CStdioFile::Abort()
{
    if (IsOpen()) {
        ::CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}
