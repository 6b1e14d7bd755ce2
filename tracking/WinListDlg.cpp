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

BEGIN_MESSAGE_MAP(CWinListDlg, CDialog)
    ON_WM_TIMER()
END_MESSAGE_MAP()

CWinListDlg::CWinListDlg(CWnd* parent)
    : CDialog(IDD_WINLIST_DIALOG, parent), m_nextAddition(0), m_bSuspended(0), m_suspensions(0)
{}

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

namespace {

// Sets the tracking timer again when the tick ends, also when a listener raised.
class TickTimerRearm {
public:
    explicit TickTimerRearm(HWND page) : m_page(page) {}
    ~TickTimerRearm()
    {
        if (::IsWindow(m_page))
            ::SetTimer(m_page, IDT_WINLIST_SCAN, 1000, nullptr);
    }
    TickTimerRearm(const TickTimerRearm&) = delete;
    TickTimerRearm& operator=(const TickTimerRearm&) = delete;

private:
    HWND m_page;
};

}  // namespace

void CWinListDlg::OnTimer(UINT_PTR id)
{
    if (id == IDT_WINLIST_SCAN) {
        // Killed for the duration of the work, so the next tick comes 1000 ms after it ends.
        KillTimer(IDT_WINLIST_SCAN);
        TickTimerRearm rearm(m_hWnd);
        Tick();
    }
    CDialog::OnTimer(id);
}

void CWinListDlg::Tick()
{
    if (m_bSuspended)
        return;
    if (!m_addedList.empty()) {
        ReportClosedWindows();
        DeliverNextAddition();
    } else {
        Rescan();
    }
}

bool CWinListDlg::WindowExists(HWND hwnd) const
{
    return ::IsWindow(hwnd) != FALSE;
}

void CWinListDlg::ReportClosedWindows()
{
    m_removedList.clear();
    std::vector<WindowEntry> kept;
    for (const WindowEntry& e : m_currentList)
        (WindowExists(e.hwnd) ? kept : m_removedList).push_back(e);
    if (m_removedList.empty())
        return;
    m_currentList.swap(kept);

    // The pending list loses them too; the index keeps pointing at the same next window.
    std::vector<WindowEntry> pending;
    int next = 0;
    for (int i = 0; i < static_cast<int>(m_addedList.size()); ++i) {
        if (HasHandle(m_removedList, m_addedList[i].hwnd))
            continue;
        pending.push_back(m_addedList[i]);
        if (i < m_nextAddition)
            ++next;
    }
    m_addedList.swap(pending);
    m_nextAddition = next;
    if (m_nextAddition >= static_cast<int>(m_addedList.size()))
        m_addedList.clear();

    // Removals are always safe to report, also to the listeners after one that suspended tracking.
    ReportRemoved(m_removedList);
}

void CWinListDlg::Rescan()
{
    m_scanList.clear();  // nothing of a scan that was cut short
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
    // The style rejects most top-level windows: their title and process are never read.
    if (FilterByStyle(w, m_hWnd) != Tracked)
        return;
    w.title = ReadWindowTitle(hwnd);
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

CString CWinListDlg::ReadWindowTitle(HWND hwnd) const
{
    char title[256];
    std::memset(title, 0, sizeof(title));
    ::GetWindowTextA(hwnd, title, sizeof(title));
    return title;
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
    // The result is in place before any listener runs: a suspension inside a callback empties it
    // for good, and an exception leaves no half-made state.
    m_currentList.swap(m_scanList);
    m_scanList.clear();
    m_nextAddition = 0;
    if (!m_removedList.empty())
        ReportRemoved(m_removedList);
    DeliverNextAddition();
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
    // Counted before the calls: a listener that raises must not get the same window twice.
    ++m_nextAddition;
    if (m_nextAddition >= static_cast<int>(m_addedList.size()))
        m_addedList.clear();
    // The listeners walk a copy of their own: a tick nested in a callback refills the member.
    const std::vector<WindowEntry> delivery = m_deliveryList;
    const unsigned suspensions = m_suspensions;
    for (CWinListListener* listener : m_listeners) {
        // A suspension inside a callback reported this window gone; no later listener may add it.
        if (m_suspensions != suspensions)
            break;
        listener->AddWindow(&delivery);
    }
}

void CWinListDlg::ReportRemoved(const std::vector<WindowEntry>& removed)
{
    // A copy: a resume and a tick nested in a callback clear and refill the page's lists.
    const std::vector<WindowEntry> gone = removed;
    for (CWinListListener* listener : m_listeners)
        listener->DelWindow(&gone);
}

void CWinListDlg::goSuspend()
{
    m_bSuspended = 1;
    ++m_suspensions;
    AfxTrace("CControlDlg::goSuspend()\n");
    // Emptied before any listener runs: a resume and a scan nested in a callback keep their result.
    std::vector<WindowEntry> tracked;
    tracked.swap(m_currentList);
    m_addedList.clear();
    m_nextAddition = 0;
    for (CWinListListener* listener : m_listeners)
        listener->DelWindow(&tracked);
}

void CWinListDlg::returnSuspend()
{
    m_bSuspended = 0;
    AfxTrace("CWinListDlg::returnSuspend()\n");
}
