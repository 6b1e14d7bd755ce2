// The in-process half of the tracking benchmark, started by the harness's KV_BENCH(tracking)
// once the helper windows are open:
//   kv_tracking_bench.exe ROUNDS RESULT_FILE
// Drives the detection page's own tick with its real enumeration and a listener that does
// nothing, and times it against the bare enumeration of the same windows. Writes "key value"
// lines to RESULT_FILE; the exit code is 0 when the ticks reached a steady state.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "tracking/WinListDlg.h"

namespace {

class NullListener : public CWinListListener {
public:
    void AddWindow(const std::vector<WindowEntry>*) override {}
    void DelWindow(const std::vector<WindowEntry>*) override {}
};

// What every tick reads of each window, and no more.
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

struct Timing {
    std::vector<double> ms;
    double Mean() const
    {
        double sum = 0;
        for (double v : ms) sum += v;
        return ms.empty() ? 0 : sum / ms.size();
    }
    double Worst() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

double Elapsed(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency)
{
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
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

    // The first scan finds every window new; the ticks after it hand them on one at a time.
    page.Tick();
    while (!page.m_addedList.empty()) page.Tick();

    LARGE_INTEGER frequency, t0, t1, t2;
    ::QueryPerformanceFrequency(&frequency);
    Timing tick, bare;
    int windows = 0, changedTicks = 0;
    const int warmUp = 3;
    for (int round = 0; round < warmUp + rounds; ++round) {
        int visited = 0;
        ::QueryPerformanceCounter(&t0);
        ::EnumWindows(BareVisit, reinterpret_cast<LPARAM>(&visited));
        ::QueryPerformanceCounter(&t1);
        page.Tick();
        ::QueryPerformanceCounter(&t2);
        if (!page.m_addedList.empty() || !page.m_removedList.empty()) {
            // Something came or went: hand the additions on and leave this round out.
            ++changedTicks;
            while (!page.m_addedList.empty()) page.Tick();
            continue;
        }
        if (round < warmUp) continue;
        windows = visited;
        bare.ms.push_back(Elapsed(t0, t1, frequency));
        tick.ms.push_back(Elapsed(t1, t2, frequency));
    }

    fprintf(out, "top_level_windows %d\n", windows);
    fprintf(out, "tracked_windows %u\n", static_cast<unsigned>(page.m_currentList.size()));
    fprintf(out, "measured_rounds %u\n", static_cast<unsigned>(tick.ms.size()));
    fprintf(out, "changed_ticks %d\n", changedTicks);
    fprintf(out, "tick_mean_ms %.4f\n", tick.Mean());
    fprintf(out, "tick_worst_ms %.4f\n", tick.Worst());
    fprintf(out, "bare_mean_ms %.4f\n", bare.Mean());
    fprintf(out, "bare_worst_ms %.4f\n", bare.Worst());
    fclose(out);
    return tick.ms.empty() ? 1 : 0;
}
