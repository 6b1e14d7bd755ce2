// The main window's tray icon: its data, its add and re-add, its notifications and its menu.
#include "app/KestrovaDlg.h"

#include "framework/Menu.h"
#include "framework/Trace.h"
#include "res/resource.h"

#include <cstddef>
#include <cstring>

namespace {
// The full ANSI structure, as the shell of Vista and later expects it (508 bytes on x86).
static_assert(sizeof(NOTIFYICONDATAA) == offsetof(NOTIFYICONDATAA, hBalloonIcon) + sizeof(HICON),
              "NOTIFYICONDATAA must be the full structure");
const UINT kTrayDataSize = sizeof(NOTIFYICONDATAA);
}  // namespace

UINT TaskbarCreatedMsg = 0;

void CKestrovaDlg::InitTrayIconData()
{
    std::memset(&m_nid, 0, sizeof(m_nid));
    m_hTrayWnd = m_hWnd;
    m_nid.cbSize = kTrayDataSize;
    m_nid.hWnd = m_hWnd;
    m_nid.uID = 0;
    m_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_nid.uCallbackMessage = WM_TRAYNOTIFY;
    m_nid.hIcon = m_hTrayIcon;
    lstrcpynA(m_nid.szTip, "Kestrova", sizeof(m_nid.szTip));
}

// A shell that keeps timing out must not freeze the program: IDT_TRAYCHECK tries again each second.
void CKestrovaDlg::AddTrayIcon()
{
    DWORD error = 0;
    if (m_trayIcon.Add(&m_nid, &error)) {
        m_bTrayAddFailed = false;
        return;
    }
    if (!m_bTrayAddFailed)  // once per run of failures, not every second
        AfxTrace("通知領域にアイコンを登録できませんでした。 err=%d\n", static_cast<int>(error));
    m_bTrayAddFailed = true;
}

void CKestrovaDlg::OnTimer(UINT_PTR id)
{
    if (id == IDT_TRAYCHECK && !m_trayIcon.Refresh(&m_nid))
        AddTrayIcon();  // the icon is gone
    CDialog::OnTimer(id);
}

LRESULT CKestrovaDlg::OnTrayNotify(WPARAM, LPARAM lParam)
{
    switch (lParam) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            return 0;
        case WM_LBUTTONDBLCLK:
            OnMainPanel();
            return 0;
        case WM_RBUTTONUP:
            ShowTrayMenu();
            return 0;
    }
    return Default();
}

// The taskbar was re-created: the icon went with it.
LRESULT CKestrovaDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    AddTrayIcon();
    return Default();
}

void CKestrovaDlg::ShowTrayMenu()
{
    SetForegroundWindow();  // so the menu closes when the user clicks elsewhere
    POINT cursor;
    ::GetCursorPos(&cursor);
    CMenu menu;
    if (!menu.LoadMenu(IDR_TRAY))
        return;
    CMenu popup = menu.GetSubMenu(0);
    popup.TrackPopupMenu(0, cursor.x, cursor.y, this);
}
