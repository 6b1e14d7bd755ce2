#pragma once
// Start-up steps that need no desktop, kept apart from the application object for testing.
#include "framework/String.h"

// True when arg equals sw whole and exactly (the terminating zero takes part in the comparison).
bool IsExactSwitch(const char* arg, const char* sw);

struct CommandLineSwitches {
    int debug;
    int layered;
};
// Tests every argument after the program name against both switches.
CommandLineSwitches ParseSwitches(int argc, char** argv);

// The folder part of a program path: the text before its last backslash (a trail byte is never
// taken for one), or the empty string when there is none.
CString ProgramFolder(const char* programPath);

// The full path of the running program, as the system knows it; empty when it cannot be read.
CString ProgramPath();

// Makes the program's folder the current folder; always 1.
int InitPortableFolder();
