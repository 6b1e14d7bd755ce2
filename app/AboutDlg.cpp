#include "app/AboutDlg.h"

#include "app/HomePage.h"
#include "app/VersionText.h"
#include "res/resource.h"

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
    ON_NOTIFY(NM_CLICK, IDC_HOMEPAGE_LINK, &CAboutDlg::OnClickHomePageLink)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

CAboutDlg::~CAboutDlg() {}

void CAboutDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Text(dx, IDC_VERSION_TEXT, m_strVersion);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    SetWindowText("Kestrova");
    m_strVersion = AboutVersionLine(GetVersionText());
    UpdateData(FALSE);
    return TRUE;
}

void CAboutDlg::OnClickHomePageLink(NMHDR*, LRESULT* result)
{
    OpenHomePage(m_hWnd);
    *result = 0;
}
