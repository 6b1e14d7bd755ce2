#include "app/KestrovaDlg.h"

#include "app/AboutDlg.h"
#include "app/ConsoleExit.h"
#include "desktop/DwmApi.h"
#include "desktop/Globals.h"
#include "app/HomePage.h"
#include "app/PanelPosition.h"
#include "framework/App.h"
#include "framework/Trace.h"
#include "res/resource.h"

#include <cstring>

namespace {
const MARGINS kGlassMargins = {9, 8, 23, 14};
}  // namespace

BEGIN_MESSAGE_MAP(CKestrovaDlg, CDialog)
    ON_WM_CREATE()
    ON_MESSAGE(WM_ENDSESSION, &CKestrovaDlg::OnEndSession)
    ON_MESSAGE(WM_POWERBROADCAST, &CKestrovaDlg::OnPowerBroadcast)
    ON_MESSAGE(WM_TRAYNOTIFY, &CKestrovaDlg::OnTrayNotify)
    ON_REGISTERED_MESSAGE(TaskbarCreatedMsg, &CKestrovaDlg::OnTaskbarCreated)
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_WINDOWPOSCHANGING()
    ON_WM_TIMER()
    ON_COMMAND(ID_TRAY_EXIT, &CKestrovaDlg::OnExit)
    ON_COMMAND(ID_TRAY_MAINPANEL, &CKestrovaDlg::OnMainPanel)
    ON_WM_MOVE()
    ON_NOTIFY(NM_CLICK, IDC_HOMEPAGE_LINK, &CKestrovaDlg::OnClickHomePageLink)
    ON_MESSAGE(WM_DWMCOMPOSITIONCHANGED, &CKestrovaDlg::OnCompositionChanged)
    ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CKestrovaDlg::CKestrovaDlg(CWnd* parent)
    : CDialog(IDD_KESTROVA_DIALOG, parent),
      m_hTrayWnd(nullptr),
      m_nid(),
      m_bPanelVisible(0),
      m_bComposition(FALSE),
      m_glassMargins(),
      m_bTrayAddFailed(false)
{
    m_hIcon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_hTrayIcon = ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

CKestrovaDlg::~CKestrovaDlg() {}

void CKestrovaDlg::AddWindow(const std::vector<WindowEntry>* list)
{
    if (!list)
        return;
    for (const WindowEntry& entry : *list) {
        AfxTrace("AddWindow() title=%s, exe=%s\n", entry.title.GetString(), entry.processName.GetString());
        m_controlDlg.AddThumbnail(entry);
    }
}

void CKestrovaDlg::DelWindow(const std::vector<WindowEntry>* list)
{
    if (!list)
        return;
    for (const WindowEntry& entry : *list) {
        // A window whose park goes on has its drawing turned off, which clears its visible bit: the scan
        // takes it for gone, and finds it again once it draws. A suspension closes every thumbnail.
        if (!m_winListDlg.m_bSuspended && ::IsWindow(entry.hwnd) && m_controlDlg.ParkGoesOn(entry.hwnd))
            continue;
        AfxTrace("DelWindow() title=%s, exe=%s\n", entry.title.GetString(), entry.processName.GetString());
        m_controlDlg.RemoveThumbnail(entry);
    }
}

int CKestrovaDlg::OnCreate(LPCREATESTRUCTA create)
{
    TaskbarCreatedMsg = ::RegisterWindowMessageA("TaskbarCreated");
    return CDialog::OnCreate(create);
}

// wParam FALSE means the end of the session was cancelled (ENDSESSION_LOGOFF may still be set):
// the program runs on then.
LRESULT CKestrovaDlg::OnEndSession(WPARAM wParam, LPARAM)
{
    if (!wParam)
        return 0;
    m_controlDlg.SaveExclusionData();
    CDialog::OnOK();
    return 0;
}

LRESULT CKestrovaDlg::OnPowerBroadcast(WPARAM wParam, LPARAM)
{
    if (wParam == PBT_APMSUSPEND)
        m_winListDlg.goSuspend();
    else if (wParam == PBT_APMRESUMESUSPEND)
        m_winListDlg.returnSuspend();
    return Default();
}

BOOL CKestrovaDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CMenu sysMenu = GetSystemMenu(FALSE);
    if (sysMenu.GetSafeHmenu()) {
        CString aboutText;
        aboutText.LoadString(IDS_ABOUTBOX);
        if (!aboutText.IsEmpty()) {
            sysMenu.AppendMenu(MF_SEPARATOR);
            sysMenu.AppendMenu(MF_STRING, IDM_ABOUTBOX, aboutText);
        }
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    m_controlDlg.Create(IDD_CONTROL_DIALOG, this);
    m_controlDlg.ShowWindow(SW_SHOW);
    m_limitDlg.Create(IDD_LIMIT_DIALOG, this);
    m_limitDlg.ShowWindow(SW_SHOW);
    m_controlDlg.m_pLimitDlg = &m_limitDlg;
    m_limitDlg.SetIniPath(m_controlDlg.m_strIniPath);

    // The listener is in place before the first tracking tick.
    m_winListDlg.m_listeners.push_back(this);
    m_winListDlg.Create(IDD_WINLIST_DIALOG, this);

    if (DebugMode == 1) {
        OnMainPanel();
        PlaceWindowList();
    }
    InitTrayIconData();
    AddTrayIcon();
    ShowPanel(FALSE);

    SafeDwmIsCompositionEnabled(&m_bComposition);
    ApplyGlassFrame();
    SetTimer(IDT_TRAYCHECK, 1000);
    SetConsoleExitWindow(m_hWnd);
    return TRUE;
}

void CKestrovaDlg::ShowPanel(BOOL show)
{
    m_bPanelVisible = show ? 1 : 0;
    ShowWindow(show ? SW_SHOW : SW_HIDE);
    if (show) {
        ShowWindow(SW_SHOWNORMAL);  // restores a minimised panel
        if (DebugMode == 1 && m_winListDlg.m_hWnd)
            m_winListDlg.ShowWindow(SW_SHOW);
    } else if (m_winListDlg.m_hWnd) {
        m_winListDlg.ShowWindow(SW_HIDE);
    }
}

void CKestrovaDlg::OnWindowPosChanging(WINDOWPOS* pos)
{
    CDialog::OnWindowPosChanging(pos);
    if (m_bPanelVisible)
        pos->flags |= SWP_SHOWWINDOW;
    else
        pos->flags &= ~SWP_SHOWWINDOW;
}

void CKestrovaDlg::OnMainPanel()
{
    if (!m_bPanelVisible) {
        RECT frame, window, work;
        GetFrameAndWindowRect(m_hWnd, &frame, &window);
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const POINT corner = PanelCornerPosition(frame, window, work);
        ::SetWindowPos(m_hWnd, HWND_TOP, corner.x, corner.y, 0, 0, SWP_NOSIZE);
        ShowPanel(TRUE);
    }
    if (IsIconic())
        ShowWindow(SW_SHOWNORMAL);
    SetForegroundWindow();
}

void CKestrovaDlg::PlaceWindowList()
{
    if (!m_winListDlg.m_hWnd || !m_winListDlg.IsWindowVisible())
        return;
    CRect main, page;
    GetWindowRect(&main);
    m_winListDlg.GetWindowRect(&page);
    ::SetWindowPos(m_winListDlg.m_hWnd, HWND_NOTOPMOST, main.left - page.Width(),
                   main.top + ::GetSystemMetrics(SM_CYCAPTION), 0, 0, SWP_NOSIZE);
}

void CKestrovaDlg::OnMove(int x, int y)
{
    CDialog::OnMove(x, y);
    PlaceWindowList();
}

void CKestrovaDlg::ApplyGlassFrame()
{
    if (m_bComposition) {
        if (m_glassMargins.cyTopHeight != 0) {
            SafeDwmExtendFrameIntoClientArea(m_hWnd, &m_glassMargins);
        } else if (SafeDwmExtendFrameIntoClientArea(m_hWnd, &kGlassMargins) >= 0) {
            m_glassMargins = kGlassMargins;
        }
    }
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

LRESULT CKestrovaDlg::OnCompositionChanged(WPARAM, LPARAM)
{
    SafeDwmIsCompositionEnabled(&m_bComposition);
    ApplyGlassFrame();
    return Default();
}

HBRUSH CKestrovaDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor)
{
    HBRUSH brush = CDialog::OnCtlColor(dc, wnd, ctlColor);
    if (m_bComposition) {
        dc->SetBkMode(TRANSPARENT);
        return static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    }
    return brush;
}

void CKestrovaDlg::OnPaint()
{
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CKestrovaDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

void CKestrovaDlg::OnSysCommand(UINT id, LPARAM lParam)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(id, lParam);
}

void CKestrovaDlg::OnClickHomePageLink(NMHDR*, LRESULT* result)
{
    OpenHomePage(m_hWnd);
    *result = 0;
}

void CKestrovaDlg::OnExit()
{
    ShowPanel(FALSE);
    SendMessage(WM_ENDSESSION, TRUE, 0);
}

void CKestrovaDlg::OnOK()
{
    ShowPanel(FALSE);
}

// Escape and the close box hide the panel through ShowPanel, so the tray can show it again.
void CKestrovaDlg::OnCancel()
{
    ShowPanel(FALSE);
}

void CKestrovaDlg::PostNcDestroy()
{
    SetConsoleExitWindow(nullptr);
    m_trayIcon.Remove();
    CDialog::PostNcDestroy();
}
