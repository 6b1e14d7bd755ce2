#pragma once
#include "app/TrayIcon.h"
#include "framework/Dialog.h"
#include "strip/ControlDlg.h"
#include "tracking/LimitDlg.h"
#include "tracking/WinListDlg.h"
#include "tracking/WindowEntry.h"

#include <shellapi.h>
#include <uxtheme.h>

const UINT WM_TRAYNOTIFY = WM_USER + 100;
const UINT_PTR IDT_TRAYCHECK = 103;
extern UINT TaskbarCreatedMsg;

// The main window: hidden most of the time, reached through the tray icon. Hosts the pages and
// turns tray commands, session end and power events into the program's reactions.
class CKestrovaDlg : public CDialog, public CWinListListener {
public:
    explicit CKestrovaDlg(CWnd* parent = nullptr);
    ~CKestrovaDlg() override;

    void AddWindow(const std::vector<WindowEntry>* list) override;
    void DelWindow(const std::vector<WindowEntry>* list) override;

    void ShowPanel(BOOL show);
    void InitTrayIconData();
    void AddTrayIcon();
    void PlaceWindowList();
    void ApplyGlassFrame();

    HICON m_hIcon;
    HICON m_hTrayIcon;
    CWinListDlg m_winListDlg;
    CControlDlg m_controlDlg;
    CLimitDlg m_limitDlg;
    HWND m_hTrayWnd;
    NOTIFYICONDATAA m_nid;
    int m_bPanelVisible;
    BOOL m_bComposition;
    MARGINS m_glassMargins;
    bool m_bTrayAddFailed;  // the last try failed; traced once until the icon is there
    CTrayIcon m_trayIcon;

protected:
    void PostNcDestroy() override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    int OnCreate(LPCREATESTRUCTA create);
    LRESULT OnEndSession(WPARAM wParam, LPARAM lParam);
    LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnWindowPosChanging(WINDOWPOS* pos);
    void OnTimer(UINT_PTR id);
    void OnExit();
    void OnMainPanel();
    void OnMove(int x, int y);
    void OnClickHomePageLink(NMHDR* hdr, LRESULT* result);
    LRESULT OnCompositionChanged(WPARAM wParam, LPARAM lParam);
    HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);

    DECLARE_MESSAGE_MAP()

private:
    void ShowTrayMenu();
};
