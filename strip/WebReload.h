#pragma once
// Web reload as plain decisions: which browser a thumbnail shows, what its menu offers, how often
// F5 goes out, and what the source's style becomes around the key.
#include <windows.h>

#include "framework/String.h"

enum BrowserKind { kNotBrowser, kInternetExplorer, kFirefox, kChrome };

// The exact, case-sensitive executable names "iexplore.exe", "firefox.exe" and "chrome.exe".
BrowserKind BrowserOf(const char* processName);

const int kMinReloadSeconds = 10;
const int kMaxReloadSeconds = 1800;
const UINT kFirstReloadMs = 1000;

int ClampReloadInterval(int seconds);
// The timer period between two reloads; a stray 0 would post F5 at the timer's floor.
UINT ReloadPeriodMs(int seconds);

// MF_ENABLED or MF_GRAYED for "する", "しない" and "間隔設定".
struct ReloadMenuStates {
    UINT on;
    UINT off;
    UINT interval;
};
ReloadMenuStates ReloadMenuFor(const char* processName, int webReload);

// F5 goes out only while reload is on and the handle still names a window of the thumbnail's
// process: handles are reused.
bool ShouldPostReload(int webReload, bool isWindow, DWORD windowProcessId, DWORD sourceProcessId);

// The style to write back after the key: the disabled bit as it was read, every other bit as the
// window has it now.
DWORD StyleAfterReload(DWORD readBefore, DWORD current);
