#include "app/TrayIcon.h"

bool TryAddTrayIcon(NotifyIconCall notify, NOTIFYICONDATAA* data, DWORD* error)
{
    if (notify(NIM_ADD, data))
        return true;
    *error = ::GetLastError();
    return *error == ERROR_TIMEOUT && notify(NIM_MODIFY, data);
}
