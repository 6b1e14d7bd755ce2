#include "tracking/LimitDlg.h"

#include "res/resource.h"

BEGIN_MESSAGE_MAP(CLimitDlg, CDialog)
END_MESSAGE_MAP()

CLimitDlg::CLimitDlg(CWnd* parent) : CDialog(IDD_LIMIT_DIALOG, parent) {}

CLimitDlg::~CLimitDlg() {}

void CLimitDlg::SetIniPath(CString path)
{
    m_strIniPath = path;
    LoadExclusionRules();
}

void CLimitDlg::LoadExclusionRules() {}
