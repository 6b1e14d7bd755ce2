#pragma once
// Files written whole or not at all: the new content goes into a temporary copy beside the file,
// which then takes the file's place in one move. A failure leaves the file as it was.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/String.h"

// The temporary copy beside path: path with ".tmp" appended.
CString TempFilePath(const CString& path);

// Puts the finished temporary copy in the file's place, its data flushed to the disk first. FALSE,
// with GetLastError set, when it cannot; the file is then unchanged and the copy is still there.
BOOL CommitTempFile(const CString& tempPath, const CString& path);

// The system calls a commit makes, in its order; a test swaps them to watch that order.
struct CommitCalls {
    BOOL(WINAPI* flush)(HANDLE file);
    BOOL(WINAPI* move)(LPCSTR from, LPCSTR to, DWORD flags);
};
// The calls every later commit makes; returns those it made before.
CommitCalls SetCommitCalls(const CommitCalls& calls);

// Runs fill on the temporary copy, then commits it. With startFromFile the copy begins as the
// file's present bytes (nothing when there is no file), so what fill leaves alone survives.
// FALSE, with GetLastError set, on any failure: the copy is deleted and the file is unchanged.
// An exception from fill deletes the copy and goes on to the caller. An empty path fails.
BOOL WriteFileWhole(const CString& path, BOOL startFromFile, const std::function<BOOL(const CString& tempPath)>& fill);

// The file's bytes. FALSE, with GetLastError set, when it cannot be opened or read.
BOOL ReadFileBytes(const CString& path, std::string* bytes);

// Writes bytes as the whole file, whole or not at all.
BOOL WriteBytesWhole(const CString& path, const std::string& bytes);

// One key and its text for WriteProfileWhole.
typedef std::pair<CString, CString> ProfileValue;

// Writes the keys, in their order, into one section of an ini file through the system's profile
// functions, whole or not at all; other sections and keys keep their bytes.
BOOL WriteProfileWhole(const CString& path, LPCSTR section, const std::vector<ProfileValue>& values);
