#pragma once
// Dialog data exchange: moves values between a dialog's fields and its controls, in the
// direction m_bSaveAndValidate says. A value that fails validation tells the user, puts the focus
// on the control and makes UpdateData return FALSE.
#include "framework/String.h"

#include <windows.h>

class CWnd;

class CDataExchange {
public:
    CDataExchange(CWnd* dlg, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlg), m_hLastControl(nullptr)
    {}
    // The control with this id; a missing control is a failure.
    HWND PrepareCtrl(int id);
    [[noreturn]] void Fail();

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

private:
    HWND m_hLastControl;
};

void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// value is the index of the checked button in the group that starts at id, -1 for none.
void DDX_Radio(CDataExchange* dx, int id, int& value);

// Parses a whole decimal integer, allowing surrounding blanks; FALSE for anything else or overflow.
BOOL AfxParseInt(const char* text, int* value);
