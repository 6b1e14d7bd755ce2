#include "strip/WebReload.h"

#include <cstring>

BrowserKind BrowserOf(const char* processName)
{
    if (!processName)
        return kNotBrowser;
    if (std::strcmp(processName, "iexplore.exe") == 0)
        return kInternetExplorer;
    if (std::strcmp(processName, "firefox.exe") == 0)
        return kFirefox;
    if (std::strcmp(processName, "chrome.exe") == 0)
        return kChrome;
    return kNotBrowser;
}

int ClampReloadInterval(int seconds)
{
    return seconds < kMinReloadSeconds ? kMinReloadSeconds : seconds > kMaxReloadSeconds ? kMaxReloadSeconds : seconds;
}

UINT ReloadPeriodMs(int seconds)
{
    return static_cast<UINT>(ClampReloadInterval(seconds)) * 1000u;
}

ReloadMenuStates ReloadMenuFor(const char* processName, int webReload)
{
    if (BrowserOf(processName) == kNotBrowser)
        return {MF_GRAYED, MF_GRAYED, MF_GRAYED};
    const bool on = webReload == 1;
    return {on ? UINT(MF_GRAYED) : UINT(MF_ENABLED), on ? UINT(MF_ENABLED) : UINT(MF_GRAYED), UINT(MF_ENABLED)};
}

bool ShouldPostReload(int webReload, bool isWindow, DWORD windowProcessId, DWORD sourceProcessId)
{
    return webReload == 1 && isWindow && windowProcessId != 0 && windowProcessId == sourceProcessId;
}

DWORD StyleAfterReload(DWORD readBefore, DWORD current)
{
    return (current & ~WS_DISABLED) | (readBefore & WS_DISABLED);
}
