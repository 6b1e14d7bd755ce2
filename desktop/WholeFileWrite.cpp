#include "desktop/WholeFileWrite.h"

#include "framework/Handle.h"

namespace {

CommitCalls g_commitCalls = {::FlushFileBuffers, ::MoveFileExA};

// Deletes the temporary copy on every road that does not commit it, an exception included.
class TempFileGuard {
public:
    explicit TempFileGuard(const CString& path) : m_path(path) {}
    ~TempFileGuard()
    {
        if (m_armed) {
            const DWORD error = ::GetLastError();
            ::DeleteFileA(m_path);
            ::SetLastError(error);
        }
    }
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    void Release() { m_armed = false; }

private:
    CString m_path;
    bool m_armed = true;
};

// Closes now; FALSE when the close fails (data not written).
BOOL CloseChecked(CFileHandle& file)
{
    return ::CloseHandle(file.Detach());
}

BOOL WriteAllBytes(HANDLE file, const std::string& bytes)
{
    DWORD written = 0;
    return bytes.empty() || (::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                             written == bytes.size());
}

// The copy starts as the file's bytes; no file means an empty start (no copy at all).
BOOL CopyFileBytes(const CString& path, const CString& tempPath)
{
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    // Written by hand, not CopyFile: a copy would keep the file's time and read-only attribute.
    CFileHandle copy(::CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy || !WriteAllBytes(copy.Get(), bytes))
        return FALSE;
    return CloseChecked(copy);
}

}  // namespace

CString TempFilePath(const CString& path)
{
    return path + ".tmp";
}

BOOL CommitTempFile(const CString& tempPath, const CString& path)
{
    // Its writer closed it without a flush: after a power loss the new name could hold data that
    // never reached the disk, with the old file gone. The flush of any handle writes the whole file.
    CFileHandle copy(::CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy || !g_commitCalls.flush(copy.Get()) || !CloseChecked(copy))
        return FALSE;
    return g_commitCalls.move(tempPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

CommitCalls SetCommitCalls(const CommitCalls& calls)
{
    const CommitCalls previous = g_commitCalls;
    g_commitCalls = calls;
    return previous;
}

BOOL ReadFileBytes(const CString& path, std::string* bytes)
{
    bytes->clear();
    CFileHandle file(
        ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return FALSE;
    char buffer[4096];
    DWORD got = 0;
    for (;;) {
        if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &got, nullptr))
            return FALSE;
        if (got == 0)
            return TRUE;
        bytes->append(buffer, got);
    }
}

BOOL WriteBytesWhole(const CString& path, const std::string& bytes)
{
    return WriteFileWhole(path, FALSE, [&](const CString& tempPath) {
        CFileHandle copy(
            ::CreateFileA(tempPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!copy || !WriteAllBytes(copy.Get(), bytes))
            return FALSE;
        return CloseChecked(copy);
    });
}

BOOL WriteFileWhole(const CString& path, BOOL startFromFile, const std::function<BOOL(const CString& tempPath)>& fill)
{
    if (path.IsEmpty()) {
        ::SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    const CString tempPath = TempFilePath(path);
    ::DeleteFileA(tempPath);  // a copy left behind by a crash
    TempFileGuard guard(tempPath);
    if (startFromFile && !CopyFileBytes(path, tempPath))
        return FALSE;
    if (!fill(tempPath) || !CommitTempFile(tempPath, path))
        return FALSE;
    guard.Release();
    return TRUE;
}

BOOL WriteProfileWhole(const CString& path, LPCSTR section, const std::vector<ProfileValue>& values)
{
    return WriteFileWhole(path, TRUE, [&](const CString& tempPath) {
        for (const ProfileValue& v : values) {
            if (!::WritePrivateProfileStringA(section, v.first, v.second, tempPath))
                return FALSE;
        }
        return TRUE;
    });
}
