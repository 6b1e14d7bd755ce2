// The in-process half of the tracking benchmark, started by the harness's KV_BENCH(tracking)
// once the helper windows are open:
//   kv_tracking_bench.exe ROUNDS RESULT_FILE
// Drives the detection page's own tick, on a page with its window and list (hidden, as in the
// program) and a listener that does nothing. In the same rounds, on a list of the same template:
// - the floor, Kestrova's call sequence made flat: the same reads in the same order, the process
//   checked once per scan by its creation time, the same list calls;
// - the literal reading: every candidate's process name looked up afresh (no cache), IsIconic
//   asked for each window, which shows what the cache saves.
// Writes "key value" lines to RESULT_FILE (medians of the rounds); the exit code is 0 when the
// ticks reached a steady state.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "res/resource.h"
#include "tracking/WinListDlg.h"
#include "tracking/WindowEntry.h"
#include "bench_clock.h"

namespace {

class NullListener : public CWinListListener {
public:
    void AddWindow(const std::vector<WindowEntry>*) override {}
    void DelWindow(const std::vector<WindowEntry>*) override {}
};

struct FloorWindow {
    HWND hwnd;
    DWORD processId;
    char title[256];
    char processName[1024];
};

struct FloorProcess {
    ULONGLONG created;
    char name[1024];
};

// A flat side's state: its page and list, the last scan, and what it knows of processes.
struct FlatScan {
    HWND page = nullptr;
    HWND list = nullptr;
    bool literal = false;
    DWORD ownProcess = 0;
    std::vector<FloorWindow> scan, current;
    std::map<DWORD, FloorProcess> processes;  // the floor's: name by id, checked once a scan
    std::vector<DWORD> checked;
};

ULONGLONG CreationTime(DWORD processId)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process) return 0;
    FILETIME created, exited, kernel, user;
    ULONGLONG result = 0;
    if (::GetProcessTimes(process, &created, &exited, &kernel, &user))
        result = (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    ::CloseHandle(process);
    return result;
}

void LookUpName(DWORD processId, char* name)
{
    CString found;
    GetProcessNameFromId(processId, found);
    lstrcpynA(name, found, 1024);
}

// The floor's name of a process: read once, then its creation time checked once per scan.
void CachedName(FlatScan& f, DWORD processId, char* name)
{
    auto it = f.processes.find(processId);
    if (std::find(f.checked.begin(), f.checked.end(), processId) == f.checked.end()) {
        f.checked.push_back(processId);
        const ULONGLONG created = CreationTime(processId);
        if (it == f.processes.end() || it->second.created != created || !created) {
            FloorProcess p;
            p.created = created;
            LookUpName(processId, p.name);
            it = f.processes.insert_or_assign(processId, p).first;
        }
    }
    lstrcpynA(name, it->second.name, 1024);
}

BOOL CALLBACK FlatVisit(HWND hwnd, LPARAM context)
{
    FlatScan& f = *reinterpret_cast<FlatScan*>(context);
    if (hwnd == f.page) return TRUE;
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_STYLE));
    const DWORD needed = WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    if ((style & needed) != needed) return TRUE;
    FloorWindow w;
    w.hwnd = hwnd;
    std::memset(w.title, 0, sizeof(w.title));
    ::GetWindowTextA(hwnd, w.title, sizeof(w.title));
    if (!strcmp(w.title, "Program Manager") || !w.title[0]) return TRUE;
    w.processId = 0;
    ::GetWindowThreadProcessId(hwnd, &w.processId);
    if (f.literal) {
        LookUpName(w.processId, w.processName);
    } else {
        if (w.processId == f.ownProcess) return TRUE;
        CachedName(f, w.processId, w.processName);
    }
    if (!w.processName[0] || !strcmp(w.processName, "Kestrova.exe")) return TRUE;
    RECT rect;
    const bool iconic = f.literal ? ::IsIconic(hwnd) != FALSE : (style & WS_MINIMIZE) != 0;
    if (iconic) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        ::GetWindowPlacement(hwnd, &placement);
        rect = placement.rcNormalPosition;
    } else {
        ::GetWindowRect(hwnd, &rect);
    }
    if (rect.right == rect.left || rect.bottom == rect.top) return TRUE;
    f.scan.push_back(w);
    if (::IsWindowVisible(f.page)) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(::SendMessageA(f.list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = w.title;
        ::SendMessageA(f.list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    return TRUE;
}

bool Has(const std::vector<FloorWindow>& list, HWND hwnd)
{
    for (const FloorWindow& w : list) {
        if (w.hwnd == hwnd) return true;
    }
    return false;
}

// One flat tick: the list cleared with its redraw off, the enumeration, the diff by handle both ways.
int FlatTick(FlatScan& f)
{
    f.checked.clear();
    ::SendMessageA(f.list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(f.list, LVM_DELETEALLITEMS, 0, 0);
    ::EnumWindows(FlatVisit, reinterpret_cast<LPARAM>(&f));
    int changes = 0;
    for (const FloorWindow& w : f.scan) changes += Has(f.current, w.hwnd) ? 0 : 1;
    for (const FloorWindow& w : f.current) changes += Has(f.scan, w.hwnd) ? 0 : 1;
    f.current.swap(f.scan);
    f.scan.clear();
    ::SendMessageA(f.list, WM_SETREDRAW, TRUE, 0);
    return changes;
}

// The former baseline: the title, process id and rectangle of every window, no filter.
BOOL CALLBACK BareVisit(HWND hwnd, LPARAM context)
{
    char title[256] = {};
    ::GetWindowTextA(hwnd, title, sizeof(title));
    DWORD processId = 0;
    ::GetWindowThreadProcessId(hwnd, &processId);
    RECT rect;
    ::GetWindowRect(hwnd, &rect);
    ++*reinterpret_cast<int*>(context);
    return TRUE;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

// Counts the list calls a tick makes, on either side.
int g_listCalls = 0;
LRESULT CALLBACK CountingListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_SETREDRAW || message == LVM_DELETEALLITEMS || message == LVM_INSERTITEMA) ++g_listCalls;
    return ::DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: kv_tracking_bench.exe ROUNDS RESULT_FILE\n");
        return 2;
    }
    const int rounds = std::max(1, atoi(argv[1]));
    FILE* out = fopen(argv[2], "w");
    if (!out) return 2;

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    CWinListDlg page;
    NullListener listener;
    page.m_listeners.push_back(&listener);
    if (!page.Create(IDD_WINLIST_DIALOG, nullptr)) return 3;
    page.KillTimer(IDT_WINLIST_SCAN);  // the bench drives the ticks
    ::SetWindowSubclass(page.m_list.m_hWnd, CountingListProc, 1, 0);

    // The flat sides share one page of the same template, hidden as the page is.
    FlatScan floor, literal;
    floor.page = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_WINLIST_DIALOG), nullptr,
                                      PlainDialogProc, 0);
    floor.list = ::GetDlgItem(floor.page, IDC_WINLIST);
    if (!floor.page || !floor.list) return 3;
    ::SetWindowSubclass(floor.list, CountingListProc, 1, 0);
    floor.ownProcess = ::GetCurrentProcessId();
    literal.page = floor.page;
    literal.list = floor.list;
    literal.literal = true;

    // The first scan finds every window new; the ticks after it hand them on one at a time.
    page.Tick();
    while (!page.m_addedList.empty()) page.Tick();
    FlatTick(floor);
    FlatTick(literal);

    std::vector<double> tick, floorMs, literalMs, bare;
    int windows = 0, changedTicks = 0, tickListCalls = 0, floorListCalls = 0;
    const int warmUp = 3;
    for (int round = 0; round < warmUp + rounds; ++round) {
        // Alternating which goes first, so that neither always finds the other's work cached. The
        // literal reading comes after both, in every fourth round: it is slow, and it leaves
        // the server's caches as it likes.
        double tickTime = 0, floorTime = 0, literalTime = -1;
        int flatChanges = 0, tickCalls = 0, floorCalls = 0;
        for (int part = 0; part < 2; ++part) {
            g_listCalls = 0;
            const double t0 = NowMs();
            if ((part == 0) == (round % 2 == 0)) {
                page.Tick();
                tickTime = NowMs() - t0;
                tickCalls = g_listCalls;
            } else {
                flatChanges += FlatTick(floor);
                floorTime = NowMs() - t0;
                floorCalls = g_listCalls;
            }
        }
        if (round % 4 == 3) {
            const double t0 = NowMs();
            flatChanges += FlatTick(literal);
            literalTime = NowMs() - t0;
        }
        int visited = 0;
        const double t0 = NowMs();
        ::EnumWindows(BareVisit, reinterpret_cast<LPARAM>(&visited));
        const double bareTime = NowMs() - t0;
        if (!page.m_addedList.empty() || !page.m_removedList.empty() || flatChanges) {
            // Something came or went: hand the additions on and leave this round out.
            ++changedTicks;
            while (!page.m_addedList.empty()) page.Tick();
            continue;
        }
        if (round < warmUp) continue;
        windows = visited;
        tickListCalls = tickCalls;
        floorListCalls = floorCalls;
        tick.push_back(tickTime);
        floorMs.push_back(floorTime);
        if (literalTime >= 0) literalMs.push_back(literalTime);
        bare.push_back(bareTime);
    }

    fprintf(out, "top_level_windows %d\n", windows);
    fprintf(out, "tracked_windows %u\n", static_cast<unsigned>(page.m_currentList.size()));
    fprintf(out, "floor_tracked_windows %u\n", static_cast<unsigned>(floor.current.size()));
    fprintf(out, "literal_tracked_windows %u\n", static_cast<unsigned>(literal.current.size()));
    fprintf(out, "tick_list_calls %d\n", tickListCalls);
    fprintf(out, "floor_list_calls %d\n", floorListCalls);
    fprintf(out, "measured_rounds %u\n", static_cast<unsigned>(tick.size()));
    fprintf(out, "changed_ticks %d\n", changedTicks);
    fprintf(out, "tick_median_ms %.4f\n", Median(tick));
    fprintf(out, "floor_median_ms %.4f\n", Median(floorMs));
    fprintf(out, "literal_median_ms %.4f\n", Median(literalMs));
    fprintf(out, "bare_median_ms %.4f\n", Median(bare));
    fclose(out);
    ::DestroyWindow(floor.page);
    page.DestroyWindow();
    return tick.empty() ? 1 : 0;
}
