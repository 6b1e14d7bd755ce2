#include "app/HomePage.h"

#include <shellapi.h>

const char kHomePageUrl[] = "https://kestrova.example/";

void OpenHomePage(HWND owner)
{
    ::ShellExecuteA(owner, "open", kHomePageUrl, nullptr, nullptr, SW_SHOWNORMAL);
}
