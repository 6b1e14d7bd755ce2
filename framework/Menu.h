#pragma once
// CMenu: owns a menu it loaded or created and destroys it with itself; a menu taken from a window
// or a parent menu (system menu, submenu) is only borrowed.
#include <windows.h>

class CWnd;

class CMenu {
public:
    CMenu() : m_hMenu(nullptr), m_bOwned(false) {}
    static CMenu Borrow(HMENU menu)
    {
        CMenu m;
        m.m_hMenu = menu;
        return m;
    }
    ~CMenu() { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;
    CMenu(CMenu&& o) noexcept : m_hMenu(o.m_hMenu), m_bOwned(o.m_bOwned)
    {
        o.m_hMenu = nullptr;
        o.m_bOwned = false;
    }
    CMenu& operator=(CMenu&& o) noexcept;

    BOOL LoadMenu(UINT id);
    BOOL CreatePopupMenu();
    BOOL DestroyMenu();
    CMenu GetSubMenu(int position) const { return Borrow(::GetSubMenu(m_hMenu, position)); }
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, LPCSTR text = nullptr)
    {
        return ::AppendMenuA(m_hMenu, flags, id, text);
    }
    UINT CheckMenuItem(UINT id, UINT check) { return ::CheckMenuItem(m_hMenu, id, check); }
    UINT EnableMenuItem(UINT id, UINT enable) { return ::EnableMenuItem(m_hMenu, id, enable); }
    BOOL DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr);
    HMENU GetSafeHmenu() const { return m_hMenu; }
    operator HMENU() const { return m_hMenu; }

    HMENU m_hMenu;

private:
    bool m_bOwned;
};
