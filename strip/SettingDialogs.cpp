#include "strip/SettingDialogs.h"

#include "res/resource.h"
#include "strip/StripSettings.h"
#include "strip/WebReload.h"

CAlphaSettingDlg::CAlphaSettingDlg(CWnd* parent) : CDialog(IDD_ALPHA_SETTING, parent), m_nAlpha(80) {}

void CAlphaSettingDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_ALPHA_SPIN, m_spinAlpha);
}

BOOL CAlphaSettingDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_spinAlpha.SetRange32(kMinTransparency, kMaxTransparency);
    m_spinAlpha.SetPos32(m_nAlpha);
    return TRUE;
}

void CAlphaSettingDlg::OnOK()
{
    m_nAlpha = m_spinAlpha.ReadValue();
    CDialog::OnOK();
}

CUpdateIntervalDlg::CUpdateIntervalDlg(CWnd* parent) : CDialog(IDD_UPDATE_INTERVAL, parent), m_nSeconds(30) {}

void CUpdateIntervalDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_SECONDS_SPIN, m_spinSeconds);
}

BOOL CUpdateIntervalDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_spinSeconds.SetRange32(kMinReloadSeconds, kMaxReloadSeconds);
    m_spinSeconds.SetPos32(m_nSeconds);
    return TRUE;
}

void CUpdateIntervalDlg::OnOK()
{
    m_nSeconds = ClampReloadInterval(m_spinSeconds.ReadValue());
    CDialog::OnOK();
}
