#pragma once
// Adding the tray icon without ever waiting on the user-interface thread.
#include <windows.h>
#include <shellapi.h>

// Shell_NotifyIconA, or a stand-in for it in tests.
typedef BOOL (WINAPI* NotifyIconCall)(DWORD message, PNOTIFYICONDATAA data);

// One try: NIM_ADD, and after a time-out NIM_MODIFY, since the shell may have added the icon all
// the same. True when the icon is there; otherwise *error is the add's error. IDT_TRAYCHECK tries again.
bool TryAddTrayIcon(NotifyIconCall notify, NOTIFYICONDATAA* data, DWORD* error);
