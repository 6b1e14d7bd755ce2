#include "app/TrayIcon.h"

#include <cstring>

bool TryAddTrayIcon(NotifyIconCall notify, NOTIFYICONDATAA* data, DWORD* error)
{
    if (notify(NIM_ADD, data))
        return true;
    *error = ::GetLastError();
    return *error == ERROR_TIMEOUT && notify(NIM_MODIFY, data);
}

bool CTrayIcon::Add(NOTIFYICONDATAA* data, DWORD* error)
{
    m_owner = data->hWnd;
    m_id = data->uID;
    return TryAddTrayIcon(m_notify, data, error);
}

bool CTrayIcon::Refresh(NOTIFYICONDATAA* data)
{
    return m_notify(NIM_MODIFY, data) != FALSE;
}

void CTrayIcon::Remove()
{
    if (!m_owner)
        return;
    NOTIFYICONDATAA nid;
    std::memset(&nid, 0, sizeof(nid));
    nid.cbSize = sizeof(nid);
    nid.hWnd = m_owner;
    nid.uID = m_id;
    m_notify(NIM_DELETE, &nid);
    m_owner = nullptr;
}
