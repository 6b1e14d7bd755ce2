#include "framework/Exceptions.h"

const char* CFileException::What() const
{
    switch (m_cause) {
        case fileNotFound:
            return "file not found";
        case badPath:
            return "bad path";
        case accessDenied:
            return "access denied";
        case sharingViolation:
            return "sharing violation";
        case diskFull:
            return "disk full";
        case endOfFile:
            return "end of file";
        default:
            return "file error";
    }
}

int CFileException::OsErrorToCause(LONG osError)
{
    switch (osError) {
        case ERROR_FILE_NOT_FOUND:
            return fileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return badPath;
        case ERROR_TOO_MANY_OPEN_FILES:
            return tooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
            return accessDenied;
        case ERROR_SHARING_VIOLATION:
            return sharingViolation;
        case ERROR_LOCK_VIOLATION:
            return lockViolation;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return diskFull;
        case ERROR_HANDLE_EOF:
            return endOfFile;
        default:
            return genericException;
    }
}

void AfxThrowMemoryException()
{
    throw CMemoryException();
}
void AfxThrowInvalidArgException()
{
    throw CInvalidArgException();
}
void AfxThrowFileException(int cause, LONG osError)
{
    throw CFileException(cause, osError);
}
void AfxThrowUserException()
{
    throw CUserException();
}
