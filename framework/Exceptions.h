#pragma once
// Framework exceptions. Thrown by value, caught by const reference; never allowed to cross a
// window procedure, dialog procedure, hook or callback (see AfxCallGuarded in Guard.h).
#include <windows.h>

class CException {
public:
    virtual ~CException() {}
    virtual const char* What() const = 0;
};

class CMemoryException : public CException {
public:
    const char* What() const override { return "out of memory"; }
};

class CInvalidArgException : public CException {
public:
    const char* What() const override { return "invalid argument"; }
};

class CFileException : public CException {
public:
    enum Cause {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };
    explicit CFileException(int cause = none, LONG osError = 0) : m_cause(cause), m_lOsError(osError) {}
    const char* What() const override;
    static int OsErrorToCause(LONG osError);

    int m_cause;
    LONG m_lOsError;
};

// DDX validation failure: the user has already been told; UpdateData returns FALSE.
class CUserException : public CException {
public:
    const char* What() const override { return "user exception"; }
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowFileException(int cause, LONG osError = 0);
[[noreturn]] void AfxThrowUserException();
