#pragma once
#include <windows.h>

#include "framework/String.h"

// The full path of the process's executable, or "" when it cannot be read. A 32-bit reader cannot
// list a 64-bit process's modules; the image path still names it.
void ReadProcessImagePath(DWORD processId, CString& path);
