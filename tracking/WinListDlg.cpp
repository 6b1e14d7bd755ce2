#include "tracking/WinListDlg.h"

#include "desktop/DwmApi.h"
#include "framework/Guard.h"
#include "framework/Trace.h"
#include "res/resource.h"

#include <cstring>

namespace {

bool HasHandle(const std::vector<WindowEntry>& list, HWND hwnd)
{
    for (const WindowEntry& e : list) {
        if (e.hwnd == hwnd)
            return true;
    }
    return false;
}

}  // namespace

WindowVerdict FilterBeforeProcess(const WindowFacts& w, HWND ownPage, DWORD ownProcessId)
{
    if (w.hwnd == ownPage)
        return SkipOwnPage;
    if (!(w.style & WS_SYSMENU) || !(w.style & WS_MINIMIZEBOX) || !(w.style & WS_VISIBLE))
        return SkipStyle;
    if (w.title == "Program Manager")
        return SkipProgramManager;
    if (w.title.IsEmpty())
        return SkipEmptyTitle;
    // Our own windows never get a thumbnail, whatever the executable is called.
    if (w.processId == ownProcessId)
        return SkipOwnProcess;
    return Tracked;
}

WindowVerdict FilterAfterProcess(const WindowFacts& w)
{
    if (w.processName.IsEmpty())
        return SkipEmptyProcessName;
    if (w.processName == "Kestrova.exe")
        return SkipOwnProgramName;
    if (w.rect.right == w.rect.left || w.rect.bottom == w.rect.top)
        return SkipEmptyRect;
    return Tracked;
}

BEGIN_MESSAGE_MAP(CWinListDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CWinListDlg::CWinListDlg(CWnd* parent) : CDialog(IDD_WINLIST_DIALOG, parent), m_nextAddition(0), m_bSuspended(0) {}

CWinListDlg::~CWinListDlg() {}

void CWinListDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_WINLIST, m_list);
}

BOOL CWinListDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_list.SetExtendedStyle(IsVistaOrLater() ? (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES) : LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, "Title", LVCFMT_LEFT, 150);
    m_list.InsertColumn(1, "ProcessName", LVCFMT_LEFT, 100);
    SetTimer(IDT_WINLIST_SCAN, 1000);
    return TRUE;
}

void CWinListDlg::OnTimer(UINT_PTR id)
{
    if (id == IDT_WINLIST_SCAN) {
        // Killed for the duration of the work, so the next tick comes 1000 ms after it ends.
        KillTimer(IDT_WINLIST_SCAN);
        HWND self = m_hWnd;
        Tick();
        if (::IsWindow(self))
            SetTimer(IDT_WINLIST_SCAN, 1000);
    }
    CDialog::OnTimer(id);
}

void CWinListDlg::Tick()
{
    if (m_bSuspended)
        return;
    if (!m_addedList.empty())
        DeliverNextAddition();
    else
        Rescan();
}

void CWinListDlg::Rescan()
{
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    m_list.DeleteAllItems();
    EnumerateWindows();
    DiffWindowLists();
    m_list.SendMessage(WM_SETREDRAW, TRUE);
}

void CWinListDlg::EnumerateWindows()
{
    m_processNames.BeginScan();
    ::EnumWindows(&CWinListDlg::EnumWindowsProc, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK CWinListDlg::EnumWindowsProc(HWND hwnd, LPARAM context)
{
    CWinListDlg* page = reinterpret_cast<CWinListDlg*>(context);
    AfxCallGuarded("EnumWindowsProc", 0, [&] {
        page->CollectWindow(hwnd);
        return 0;
    });
    return TRUE;
}

void CWinListDlg::CollectWindow(HWND hwnd)
{
    WindowFacts w;
    w.hwnd = hwnd;
    w.style = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_STYLE));
    char title[256];
    std::memset(title, 0, sizeof(title));
    ::GetWindowTextA(hwnd, title, sizeof(title));
    w.title = title;
    w.processId = 0;
    ::GetWindowThreadProcessId(hwnd, &w.processId);
    if (FilterBeforeProcess(w, m_hWnd, ::GetCurrentProcessId()) != Tracked)
        return;
    w.processName = m_processNames.Lookup(w.processId);
    // IsIconic is this bit of the style; read once, it saves a server round trip per window.
    if (w.style & WS_MINIMIZE) {
        WINDOWPLACEMENT placement;
        std::memset(&placement, 0, sizeof(placement));
        placement.length = sizeof(placement);
        ::GetWindowPlacement(hwnd, &placement);
        w.rect = placement.rcNormalPosition;
    } else {
        ::GetWindowRect(hwnd, &w.rect);
    }
    if (FilterAfterProcess(w) != Tracked)
        return;

    WindowEntry entry;
    entry.hwnd = hwnd;
    entry.processId = w.processId;
    entry.title = w.title;
    entry.processName = w.processName;
    m_scanList.push_back(entry);

    if (m_hWnd && IsWindowVisible()) {
        const int row = m_list.InsertItem(m_list.GetItemCount(), entry.title);
        m_list.SetItemText(row, 1, entry.processName);
    }
}

void CWinListDlg::DiffWindowLists()
{
    m_addedList.clear();
    for (const WindowEntry& e : m_scanList) {
        if (!HasHandle(m_currentList, e.hwnd))
            m_addedList.push_back(e);
    }
    m_removedList.clear();
    for (const WindowEntry& e : m_currentList) {
        if (!HasHandle(m_scanList, e.hwnd))
            m_removedList.push_back(e);
    }
    if (!m_removedList.empty()) {
        for (CWinListListener* listener : m_listeners)
            listener->DelWindow(&m_removedList);
    }
    if (!m_addedList.empty()) {
        m_nextAddition = 0;
        DeliverNextAddition();
    }
    m_currentList = m_scanList;
    m_scanList.clear();
}

void CWinListDlg::DeliverNextAddition()
{
    if (m_addedList.empty() || m_listeners.empty())
        return;
    if (m_nextAddition < 0 || m_nextAddition >= static_cast<int>(m_addedList.size())) {
        m_addedList.clear();
        return;
    }
    m_deliveryList.assign(1, m_addedList[m_nextAddition]);
    for (CWinListListener* listener : m_listeners)
        listener->AddWindow(&m_deliveryList);
    ++m_nextAddition;
    if (m_nextAddition >= static_cast<int>(m_addedList.size()))
        m_addedList.clear();
}

void CWinListDlg::goSuspend()
{
    m_bSuspended = 1;
    AfxTrace("CControlDlg::goSuspend()\n");
    for (CWinListListener* listener : m_listeners)
        listener->DelWindow(&m_currentList);
    m_currentList.clear();
    m_addedList.clear();
    m_nextAddition = 0;
}

void CWinListDlg::returnSuspend()
{
    m_bSuspended = 0;
    AfxTrace("CWinListDlg::returnSuspend()\n");
}
