#include "tracking/LimitSettingDlg.h"

#include "res/resource.h"

BEGIN_MESSAGE_MAP(CLimitSettingDlg, CDialog)
    ON_BN_CLICKED(IDC_FULLNAME, &CLimitSettingDlg::OnClickedFullName)
END_MESSAGE_MAP()

CLimitSettingDlg::CLimitSettingDlg(CWnd* parent)
    : CDialog(IDD_LIMIT_SETTING, parent), m_bFullNameMatch(0), m_bUseProcessName(0), m_bUseTitle(0)
{}

CLimitSettingDlg::~CLimitSettingDlg() {}

void CLimitSettingDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Check(dx, IDC_FULLNAME, m_bFullNameMatch);
    DDX_Check(dx, IDC_USE_PNAME, m_bUseProcessName);
    DDX_Check(dx, IDC_USE_TITLE, m_bUseTitle);
    DDX_Text(dx, IDC_TITLE_PATTERN, m_strTitlePattern);
}

BOOL CLimitSettingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    return TRUE;
}

// Unticking the whole-title match offers the full title as the pattern to start from.
void CLimitSettingDlg::OnClickedFullName()
{
    UpdateData(TRUE);
    if (m_bFullNameMatch == 0 && m_strTitlePattern.IsEmpty()) {
        m_strTitlePattern = m_strTitle;
        UpdateData(FALSE);
    }
}
