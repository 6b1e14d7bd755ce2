#pragma once
// The tray icon: added without ever waiting on the user-interface thread, deleted once.
#include <windows.h>
#include <shellapi.h>

// Shell_NotifyIconA, or a stand-in for it in tests.
typedef BOOL(WINAPI* NotifyIconCall)(DWORD message, PNOTIFYICONDATAA data);

// One try: NIM_ADD, and after a time-out NIM_MODIFY, since the shell may have added the icon all
// the same. True when the icon is there; otherwise *error is the add's error. IDT_TRAYCHECK tries again.
bool TryAddTrayIcon(NotifyIconCall notify, NOTIFYICONDATAA* data, DWORD* error);

// Owns the icon from the first add on: Remove, or else the destructor, deletes it once, also after
// a failed add, since a shell that timed out may have added it all the same.
class CTrayIcon {
public:
    explicit CTrayIcon(NotifyIconCall notify = &::Shell_NotifyIconA) : m_notify(notify) {}
    ~CTrayIcon() { Remove(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    bool Add(NOTIFYICONDATAA* data, DWORD* error);
    // NIM_MODIFY: false when the icon is gone (the shell restarted, or the add never took).
    bool Refresh(NOTIFYICONDATAA* data);
    void Remove();

private:
    NotifyIconCall m_notify;
    HWND m_owner = nullptr;  // set once an add was tried
    UINT m_id = 0;
};
