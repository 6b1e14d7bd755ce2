#pragma once
// CStdioFile: a file of lines. It always works in binary, so the CR LF that callers write reaches
// the disk unchanged; ReadString drops the line end (LF or CR LF).
#include "framework/Exceptions.h"
#include "framework/String.h"

class CStdioFile {
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyWrite = 0x0020,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };

    CStdioFile() : m_hFile(INVALID_HANDLE_VALUE) {}
    ~CStdioFile() { Abort(); }
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;

    // FALSE on failure, with the cause in *error when given.
    BOOL Open(LPCSTR path, UINT flags, CFileException* error = nullptr);
    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    // Write failures (a full disk, for one) raise CFileException.
    void Write(const void* data, UINT count);
    void WriteString(LPCSTR text);
    UINT Read(void* data, UINT count);
    BOOL ReadString(CString& line);
    // Raises CFileException when the close fails; Abort never raises.
    void Close();
    void Abort();
    const CString& GetFilePath() const { return m_strPath; }

    HANDLE m_hFile;

private:
    CString m_strPath;
};
