#pragma once
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "tracking/ProcessNameCache.h"
#include "tracking/WindowEntry.h"

#include <vector>

const UINT_PTR IDT_WINLIST_SCAN = 101;

// What the filters need to know of one top-level window.
struct WindowFacts {
    HWND hwnd;
    DWORD style;
    CString title;  // at most 255 bytes
    DWORD processId;
    CString processName;
    RECT rect;      // the normal-position rectangle when minimised
};

// Why a window is not tracked; Tracked when it passes every filter. The order is the order in
// which the filters are applied.
enum WindowVerdict {
    Tracked,
    SkipOwnPage,
    SkipStyle,
    SkipProgramManager,
    SkipEmptyTitle,
    SkipOwnProcess,
    SkipEmptyProcessName,
    SkipOwnProgramName,
    SkipEmptyRect,
};
// The own-page and style filters, which need nothing but the handle and the style.
WindowVerdict FilterByStyle(const WindowFacts& w, HWND ownPage);
// Those, then the title and process-id filters, which need no process lookup.
WindowVerdict FilterBeforeProcess(const WindowFacts& w, HWND ownPage, DWORD ownProcessId);
WindowVerdict FilterAfterProcess(const WindowFacts& w);

// The window detection page: finds the desktop's ordinary top-level windows once a second and
// reports to its listeners which appeared and which went.
class CWinListDlg : public CDialog {
public:
    explicit CWinListDlg(CWnd* parent = nullptr);
    ~CWinListDlg() override;

    void goSuspend();
    void returnSuspend();
    // One tracking tick's work (IDT_WINLIST_SCAN re-arms around it).
    void Tick();

    CListCtrl m_list;
    std::vector<CWinListListener*> m_listeners;
    std::vector<WindowEntry> m_scanList;
    std::vector<WindowEntry> m_currentList;
    std::vector<WindowEntry> m_addedList;
    std::vector<WindowEntry> m_removedList;
    int m_nextAddition;
    std::vector<WindowEntry> m_deliveryList;
    int m_bSuspended;
    unsigned m_suspensions;  // goSuspend calls so far: a tick's listener calls stop after one

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id);

    void Rescan();
    // Fills m_scanList with the qualifying windows; tests replace the desktop here.
    virtual void EnumerateWindows();
    void CollectWindow(HWND hwnd);
    // The window text, at most 255 bytes: a send to the window's thread. Tests count it here.
    virtual CString ReadWindowTitle(HWND hwnd) const;
    void DiffWindowLists();
    void DeliverNextAddition();
    // Reports the tracked windows that no longer exist, so that pending additions delay no removal.
    void ReportClosedWindows();
    // DelWindow with these windows to every listener.
    void ReportRemoved(const std::vector<WindowEntry>& removed);
    // False once the window is destroyed; tests replace the desktop here.
    virtual bool WindowExists(HWND hwnd) const;

    DECLARE_MESSAGE_MAP()

private:
    static BOOL CALLBACK EnumWindowsProc(HWND hwnd, LPARAM context);
    ProcessNameCache m_processNames;
};
