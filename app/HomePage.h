#pragma once
#include <windows.h>

extern const char kHomePageUrl[];

// Opens the maker's home page in the default browser.
void OpenHomePage(HWND owner);
