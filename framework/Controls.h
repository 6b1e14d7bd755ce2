#pragma once
// Thin control wrappers, bound to dialog controls through DDX_Control.
#include "framework/Wnd.h"

#include <commctrl.h>

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(::SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
    void SetCheck(int check) { ::SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }
};

class CStatic : public CWnd {};

class CEdit : public CWnd {
public:
    void SetLimitText(UINT max) { ::SendMessageA(m_hWnd, EM_SETLIMITTEXT, max, 0); }
    void SetSel(int start, int end) { ::SendMessageA(m_hWnd, EM_SETSEL, static_cast<WPARAM>(start), end); }
};

class CLinkCtrl : public CWnd {};

// The system's hot-key field (msctls_hotkey32): a virtual-key code and HOTKEYF_ flags.
class CHotKeyCtrl : public CWnd {
public:
    void SetHotKey(WORD vk, WORD modifiers) { ::SendMessageA(m_hWnd, HKM_SETHOTKEY, MAKEWORD(vk, modifiers), 0); }
    void GetHotKey(WORD& vk, WORD& modifiers) const;
    void SetRules(WORD invalidCombinations, WORD modifiers)
    {
        ::SendMessageA(m_hWnd, HKM_SETRULES, invalidCombinations, MAKELPARAM(modifiers, 0));
    }
};

class CSpinButtonCtrl : public CWnd {
public:
    CSpinButtonCtrl() : m_nLastPos(0), m_bLastPosKnown(false) {}
    void SetRange32(int lower, int upper) { ::SendMessageA(m_hWnd, UDM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
    void GetRange32(int& lower, int& upper) const;
    int SetPos32(int pos);
    HWND GetBuddy() const { return reinterpret_cast<HWND>(::SendMessageA(m_hWnd, UDM_GETBUDDY, 0, 0)); }
    // The number the user sees in the buddy when it is a whole decimal within the range, else the
    // control's own last position (set, or reached with its arrows); clamped to the range.
    // UDM_GETPOS alone cannot tell an empty buddy from 0, and reading it so overwrites the position.
    int ReadValue() const;

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    int PositionNow() const;
    int m_nLastPos;
    bool m_bLastPosKnown;
};

class CListCtrl : public CWnd {
public:
    DWORD SetExtendedStyle(DWORD style)
    {
        return static_cast<DWORD>(::SendMessageA(m_hWnd, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style));
    }
    int InsertColumn(int column, LPCSTR heading, int format = LVCFMT_LEFT, int width = -1);
    int InsertItem(int item, LPCSTR text);
    // An item with an image; a negative image shows none, never image 0.
    int InsertItem(int item, LPCSTR text, int image);
    BOOL SetItemText(int item, int subItem, LPCSTR text);
    CString GetItemText(int item, int subItem) const;
    BOOL DeleteItem(int item) { return ListView_DeleteItem(m_hWnd, item); }
    BOOL DeleteAllItems() { return ListView_DeleteAllItems(m_hWnd); }
    int GetItemCount() const { return ListView_GetItemCount(m_hWnd); }
    int GetNextItem(int item, int flags) const { return ListView_GetNextItem(m_hWnd, item, flags); }
    int GetSelectionMark() const { return ListView_GetSelectionMark(m_hWnd); }
    int SetSelectionMark(int item) { return ListView_SetSelectionMark(m_hWnd, item); }
    int SetHotItem(int item) { return ListView_SetHotItem(m_hWnd, item); }
    HIMAGELIST SetImageList(HIMAGELIST list, int type) { return ListView_SetImageList(m_hWnd, list, type); }
    BOOL SetItemState(int item, UINT state, UINT mask);
    BOOL EnsureVisible(int item, BOOL partialOK) { return ListView_EnsureVisible(m_hWnd, item, partialOK); }
};
