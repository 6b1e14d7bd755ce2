#include "framework/Menu.h"

#include "framework/Wnd.h"

CMenu& CMenu::operator=(CMenu&& o) noexcept
{
    if (this != &o) {
        DestroyMenu();
        m_hMenu = o.m_hMenu;
        m_bOwned = o.m_bOwned;
        o.m_hMenu = nullptr;
        o.m_bOwned = false;
    }
    return *this;
}

BOOL CMenu::LoadMenu(UINT id)
{
    DestroyMenu();
    m_hMenu = ::LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    m_bOwned = m_hMenu != nullptr;
    return m_bOwned;
}

BOOL CMenu::CreatePopupMenu()
{
    DestroyMenu();
    m_hMenu = ::CreatePopupMenu();
    m_bOwned = m_hMenu != nullptr;
    return m_bOwned;
}

BOOL CMenu::DestroyMenu()
{
    BOOL ok = FALSE;
    if (m_bOwned && m_hMenu)
        ok = ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;
    m_bOwned = false;
    return ok;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect)
{
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->m_hWnd : nullptr, rect);
}
