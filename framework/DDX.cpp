#include "framework/DDX.h"

#include "framework/App.h"
#include "framework/Exceptions.h"
#include "framework/Trace.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

HWND CDataExchange::PrepareCtrl(int id)
{
    HWND control = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    if (!control) {
        AfxTrace("DDX: no control %d\n", id);
        Fail();
    }
    m_hLastControl = control;
    return control;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && m_hLastControl) {
        ::SetFocus(m_hLastControl);
        ::SendMessageA(m_hLastControl, EM_SETSEL, 0, -1);
    }
    AfxThrowUserException();
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd)
        return;
    HWND item = dx->PrepareCtrl(id);
    if (!control.SubclassWindow(item))
        dx->Fail();
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        AfxGetWindowText(control, value);
    } else {
        ::SetWindowTextA(control, value);
    }
}

BOOL AfxParseInt(const char* text, int* value)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    if (!*text)
        return FALSE;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return FALSE;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end)
        return FALSE;
    *value = static_cast<int>(parsed);
    return TRUE;
}

void DDX_Text(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        // The whole text: a fixed buffer would cut off trailing junk or the digits after blanks.
        CString text;
        AfxGetWindowText(control, text);
        int parsed = 0;
        if (!AfxParseInt(text, &parsed)) {
            AfxMessageBox("整数を入力してください。", MB_ICONEXCLAMATION);
            dx->Fail();
        }
        value = parsed;
    } else {
        char buffer[16];
        wsprintfA(buffer, "%d", value);
        ::SetWindowTextA(control, buffer);
    }
}

void DDX_Check(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
        return;
    }
    // A box has three states at most; anything else shows unticked and reads back as 0.
    if (value < 0 || value > 2)
        value = 0;
    ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = -1;
    // The group runs from the first button up to the next control with WS_GROUP.
    int index = 0;
    for (HWND h = control; h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        if (h != control && (::GetWindowLongA(h, GWL_STYLE) & WS_GROUP))
            break;
        if (!(::SendMessageA(h, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
            continue;
        if (dx->m_bSaveAndValidate) {
            if (::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED)
                value = index;
        } else {
            ::SendMessageA(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        ++index;
    }
}
