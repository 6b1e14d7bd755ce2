#include "framework/Controls.h"

#include "framework/SpinValue.h"

int CListCtrl::InsertColumn(int column, LPCSTR heading, int format, int width)
{
    LVCOLUMNA col = {};
    col.mask = LVCF_TEXT | LVCF_FMT | (width >= 0 ? LVCF_WIDTH : 0);
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<LPSTR>(heading);
    return static_cast<int>(
        ::SendMessageA(m_hWnd, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int item, LPCSTR text)
{
    LVITEMA lvi = {};
    lvi.mask = LVIF_TEXT;
    lvi.iItem = item;
    lvi.pszText = const_cast<LPSTR>(text);
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi)));
}

int CListCtrl::InsertItem(int item, LPCSTR text, int image)
{
    LVITEMA lvi = {};
    lvi.mask = LVIF_TEXT | LVIF_IMAGE;
    lvi.iItem = item;
    lvi.pszText = const_cast<LPSTR>(text);
    lvi.iImage = image >= 0 ? image : I_IMAGENONE;
    return static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi)));
}

BOOL CListCtrl::SetItemText(int item, int subItem, LPCSTR text)
{
    LVITEMA lvi = {};
    lvi.iSubItem = subItem;
    lvi.pszText = const_cast<LPSTR>(text);
    return static_cast<BOOL>(
        ::SendMessageA(m_hWnd, LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    char buffer[1024] = {};
    LVITEMA lvi = {};
    lvi.iSubItem = subItem;
    lvi.pszText = buffer;
    lvi.cchTextMax = sizeof(buffer);
    ::SendMessageA(m_hWnd, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi));
    return CString(buffer);
}

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    LVITEMA lvi = {};
    lvi.stateMask = mask;
    lvi.state = state;
    return static_cast<BOOL>(
        ::SendMessageA(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lvi)));
}

void CHotKeyCtrl::GetHotKey(WORD& vk, WORD& modifiers) const
{
    const WORD key = LOWORD(::SendMessageA(m_hWnd, HKM_GETHOTKEY, 0, 0));
    vk = LOBYTE(key);
    modifiers = HIBYTE(key);
}

void CSpinButtonCtrl::GetRange32(int& lower, int& upper) const
{
    ::SendMessageA(m_hWnd, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&lower), reinterpret_cast<LPARAM>(&upper));
}

int CSpinButtonCtrl::PositionNow() const
{
    BOOL error = FALSE;
    return static_cast<int>(::SendMessageA(m_hWnd, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&error)));
}

int CSpinButtonCtrl::SetPos32(int pos)
{
    const int old = static_cast<int>(::SendMessageA(m_hWnd, UDM_SETPOS32, 0, pos));
    int lower = 0;
    int upper = 0;
    GetRange32(lower, upper);
    m_nLastPos = SpinValueFromText(nullptr, pos, lower, upper);
    m_bLastPosKnown = true;
    return old;
}

// The control tells its parent after every step of its arrows, keys or wheel; the buddy shows the
// new position then, so reading it back cannot change it.
BOOL CSpinButtonCtrl::OnChildNotify(UINT, WPARAM wParam, LPARAM, LRESULT*)
{
    if (LOWORD(wParam) == SB_THUMBPOSITION) {
        m_nLastPos = PositionNow();
        m_bLastPosKnown = true;
    }
    return FALSE;
}

int CSpinButtonCtrl::ReadValue() const
{
    int lower = 0;
    int upper = 0;
    GetRange32(lower, upper);
    const int last = m_bLastPosKnown ? m_nLastPos : PositionNow();
    HWND buddy = GetBuddy();
    if (!buddy)
        return SpinValueFromText(nullptr, last, lower, upper);
    CString text;
    AfxGetWindowText(buddy, text);
    return SpinValueFromText(text, last, lower, upper);
}
