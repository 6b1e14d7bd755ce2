// The in-process half of the tracking benchmark, started by the harness's KV_BENCH(tracking)
// once the helper windows are open:
//   kv_tracking_bench.exe ROUNDS RESULT_FILE
// Drives the detection page's own tick with its real enumeration and a listener that does
// nothing, and in the same rounds its floor: one flat enumeration that makes exactly the reads a
// tick needs. Writes "key value" lines to RESULT_FILE (medians of the rounds); the exit code is 0
// when the ticks reached a steady state.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tracking/WinListDlg.h"
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
};

// The floor's state: the list of the last scan and the processes opened in this one.
struct FloorScan {
    std::vector<FloorWindow> scan, current;
    std::vector<DWORD> opened;
    DWORD ownProcess;
};

// The reads a tick needs, in the cheapest order: the style rejects most windows, then the title
// and the process id, each candidate's process opened once per scan (its creation time tells a
// reused id), and the rectangle.
BOOL CALLBACK FloorVisit(HWND hwnd, LPARAM context)
{
    FloorScan& f = *reinterpret_cast<FloorScan*>(context);
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_STYLE));
    const DWORD needed = WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    if ((style & needed) != needed) return TRUE;
    FloorWindow w;
    w.hwnd = hwnd;
    std::memset(w.title, 0, sizeof(w.title));
    ::GetWindowTextA(hwnd, w.title, sizeof(w.title));
    if (!w.title[0] || !strcmp(w.title, "Program Manager")) return TRUE;
    w.processId = 0;
    ::GetWindowThreadProcessId(hwnd, &w.processId);
    if (w.processId == f.ownProcess) return TRUE;
    if (std::find(f.opened.begin(), f.opened.end(), w.processId) == f.opened.end()) {
        f.opened.push_back(w.processId);
        if (HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, w.processId)) {
            FILETIME created, exited, kernel, user;
            ::GetProcessTimes(process, &created, &exited, &kernel, &user);
            ::CloseHandle(process);
        }
    }
    RECT rect;
    if (style & WS_MINIMIZE) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        ::GetWindowPlacement(hwnd, &placement);
        rect = placement.rcNormalPosition;
    } else {
        ::GetWindowRect(hwnd, &rect);
    }
    if (rect.right == rect.left || rect.bottom == rect.top) return TRUE;
    f.scan.push_back(w);
    return TRUE;
}

bool Has(const std::vector<FloorWindow>& list, HWND hwnd)
{
    for (const FloorWindow& w : list) {
        if (w.hwnd == hwnd) return true;
    }
    return false;
}

// One floor tick: the enumeration and the diff by handle, both ways.
int FloorTick(FloorScan& f)
{
    f.opened.clear();
    ::EnumWindows(FloorVisit, reinterpret_cast<LPARAM>(&f));
    int changes = 0;
    for (const FloorWindow& w : f.scan) changes += Has(f.current, w.hwnd) ? 0 : 1;
    for (const FloorWindow& w : f.current) changes += Has(f.scan, w.hwnd) ? 0 : 1;
    f.current.swap(f.scan);
    f.scan.clear();
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

    CWinListDlg page;  // no window: the list control calls go nowhere, as they cost nothing
    NullListener listener;
    page.m_listeners.push_back(&listener);
    FloorScan floor;
    floor.ownProcess = ::GetCurrentProcessId();

    // The first scan finds every window new; the ticks after it hand them on one at a time.
    page.Tick();
    while (!page.m_addedList.empty()) page.Tick();
    FloorTick(floor);

    std::vector<double> tick, floorMs, bare;
    int windows = 0, changedTicks = 0;
    const int warmUp = 3;
    for (int round = 0; round < warmUp + rounds; ++round) {
        // Alternating which goes first, so that neither always finds the other's work cached.
        const bool tickFirst = round % 2 == 0;
        double tickTime = 0, floorTime = 0;
        int floorChanges = 0;
        for (int part = 0; part < 2; ++part) {
            const double t0 = NowMs();
            if ((part == 0) == tickFirst) {
                page.Tick();
                tickTime = NowMs() - t0;
            } else {
                floorChanges = FloorTick(floor);
                floorTime = NowMs() - t0;
            }
        }
        int visited = 0;
        const double t0 = NowMs();
        ::EnumWindows(BareVisit, reinterpret_cast<LPARAM>(&visited));
        const double bareTime = NowMs() - t0;
        if (!page.m_addedList.empty() || !page.m_removedList.empty() || floorChanges) {
            // Something came or went: hand the additions on and leave this round out.
            ++changedTicks;
            while (!page.m_addedList.empty()) page.Tick();
            continue;
        }
        if (round < warmUp) continue;
        windows = visited;
        tick.push_back(tickTime);
        floorMs.push_back(floorTime);
        bare.push_back(bareTime);
    }

    fprintf(out, "top_level_windows %d\n", windows);
    fprintf(out, "tracked_windows %u\n", static_cast<unsigned>(page.m_currentList.size()));
    fprintf(out, "floor_tracked_windows %u\n", static_cast<unsigned>(floor.current.size()));
    fprintf(out, "measured_rounds %u\n", static_cast<unsigned>(tick.size()));
    fprintf(out, "changed_ticks %d\n", changedTicks);
    fprintf(out, "tick_median_ms %.4f\n", Median(tick));
    fprintf(out, "floor_median_ms %.4f\n", Median(floorMs));
    fprintf(out, "bare_median_ms %.4f\n", Median(bare));
    fclose(out);
    return tick.empty() ? 1 : 0;
}
