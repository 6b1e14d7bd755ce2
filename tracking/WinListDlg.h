#pragma once
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "tracking/ProcessNameCache.h"
#include "tracking/WindowEntry.h"
#include "tracking/WindowFilter.h"

#include <vector>

const UINT_PTR IDT_WINLIST_SCAN = 101;

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
