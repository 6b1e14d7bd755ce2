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
#include "bench_clock.h"
#include "bench_scan.h"

namespace {

class NullListener : public CWinListListener {
public:
    void AddWindow(const std::vector<WindowEntry>*) override {}
    void DelWindow(const std::vector<WindowEntry>*) override {}
};

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
    if (message == WM_SETREDRAW || message == LVM_DELETEALLITEMS || message == LVM_INSERTITEMA)
        ++g_listCalls;
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
    if (!out)
        return 2;

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    CWinListDlg page;
    NullListener listener;
    page.m_listeners.push_back(&listener);
    if (!page.Create(IDD_WINLIST_DIALOG, nullptr))
        return 3;
    page.KillTimer(IDT_WINLIST_SCAN);  // the bench drives the ticks
    ::SetWindowSubclass(page.m_list.m_hWnd, CountingListProc, 1, 0);

    // The flat sides share one page of the same template, hidden as the page is.
    flatscan::Scan floor, literal;
    floor.page = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_WINLIST_DIALOG), nullptr,
                                      PlainDialogProc, 0);
    floor.list = ::GetDlgItem(floor.page, IDC_WINLIST);
    if (!floor.page || !floor.list)
        return 3;
    ::SetWindowSubclass(floor.list, CountingListProc, 1, 0);
    floor.ownProcess = ::GetCurrentProcessId();
    literal.page = floor.page;
    literal.list = floor.list;
    literal.literal = true;

    // The first scan finds every window new; the ticks after it hand them on one at a time.
    page.Tick();
    while (!page.m_addedList.empty())
        page.Tick();
    flatscan::Tick(floor);
    flatscan::Tick(literal);

    std::vector<double> tick, floorMs, literalMs, bare;
    int windows = 0, changedTicks = 0, tickListCalls = 0, floorListCalls = 0;
    const int warmUp = 3;
    for (int round = 0; round < warmUp + rounds; ++round) {
        // Alternating which goes first, so that neither always finds the other's work cached. The
        // literal reading comes after both in one round of four, as often before either side's
        // turn to go first: it is slow, and it leaves the server's caches as it likes.
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
                flatChanges += flatscan::Tick(floor);
                floorTime = NowMs() - t0;
                floorCalls = g_listCalls;
            }
        }
        if (round % 8 == 3 || round % 8 == 6) {
            const double t0 = NowMs();
            flatChanges += flatscan::Tick(literal);
            literalTime = NowMs() - t0;
        }
        int visited = 0;
        const double t0 = NowMs();
        ::EnumWindows(BareVisit, reinterpret_cast<LPARAM>(&visited));
        const double bareTime = NowMs() - t0;
        if (!page.m_addedList.empty() || !page.m_removedList.empty() || flatChanges) {
            // Something came or went: hand the additions on and leave this round out.
            ++changedTicks;
            while (!page.m_addedList.empty())
                page.Tick();
            continue;
        }
        if (round < warmUp)
            continue;
        windows = visited;
        tickListCalls = tickCalls;
        floorListCalls = floorCalls;
        tick.push_back(tickTime);
        floorMs.push_back(floorTime);
        if (literalTime >= 0)
            literalMs.push_back(literalTime);
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
