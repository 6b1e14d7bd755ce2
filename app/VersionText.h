#pragma once
// The version line of the About box, read once from the program's own version resource.

extern char VersionText[256];
extern int VersionTextReady;
extern char ModuleFileName[260];

// "Ver.:" and the product version; empty when the resource cannot be read (tried again next time).
const char* GetVersionText();

// The About box's form of the version text: "," becomes "-" and ";" becomes ".".
#include "framework/String.h"
CString AboutVersionLine(const char* versionText);
