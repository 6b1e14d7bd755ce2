#pragma once
// The two ways to the executable of an open process: its first module, or its image path. A 32-bit
// reader cannot list the modules of a 64-bit process; the image path (Vista and later) still names it.
#include <windows.h>

enum ModuleName { kModuleBaseName, kModuleFullPath };

// The first module's base name or full path into name (size bytes, always ended); false when the
// modules cannot be listed or read. Tests replace it to take the image-path road.
extern bool (*ReadFirstModuleName)(HANDLE process, ModuleName part, char* name, DWORD size);

// The full image path into path (size bytes); false when there is none.
bool ReadImagePath(HANDLE process, char* path, DWORD size);
