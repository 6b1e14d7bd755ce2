#pragma once
// The record of one tracked top-level window, the interface through which the detection page
// reports windows, and the lookup of a process's executable name.
#include <windows.h>
#include <vector>

#include "framework/String.h"

struct WindowEntry {
    HWND hwnd = nullptr;  // the entry's identity: entries are compared by handle only
    DWORD processId = 0;
    CString title;        // at most 255 bytes
    CString processName;  // executable base name, no folder
};

// The array belongs to the caller and lives only for the call; keep copies, not the pointer.
// Null or empty means nothing to do.
class CWinListListener {
public:
    virtual void AddWindow(const std::vector<WindowEntry>* entries) = 0;
    virtual void DelWindow(const std::vector<WindowEntry>* entries) = 0;

protected:
    ~CWinListListener() {}  // never deleted through the interface
};

// The executable base name of the process, or "" when it cannot be found out.
void GetProcessNameFromId(DWORD processId, CString& name);

// Its fallback for a process whose modules cannot be listed: the base name of the image path
// (Vista and later) into name, at most size bytes. false when there is none.
bool GetImageBaseName(HANDLE process, char* name, DWORD size);

// The text after the last backslash (double-byte aware), or the whole path without one.
const char* PathBaseName(const char* path);
