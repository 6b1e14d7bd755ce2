// The cost of one steady-state tracking tick against the bare enumeration of the same windows.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench.h"
#include "e2e.h"

using namespace kv;

namespace {

const int kProcesses = 10;
const int kWindowsEach = 10;
const int kRounds = 200;

std::string HelperArgs(int process)
{
    std::string args;
    for (int w = 0; w < kWindowsEach; ++w) {
        const int n = process * kWindowsEach + w;
        if (w) args += " --window";
        args += " --title \"bench " + std::to_string(n) + "\" --noactivate --size 200x150 --pos " +
                std::to_string(20 + 100 * (n % 10)) + "," + std::to_string(20 + 80 * (n / 10));
    }
    return args;
}

int VisibleWindows(const std::vector<Process>& helpers)
{
    int count = 0;
    for (const Process& p : helpers) {
        for (HWND hwnd : TopWindows(p.Pid())) count += IsWindowVisible(hwnd) ? 1 : 0;
    }
    return count;
}

}  // namespace

KV_BENCH(tracking)
{
    Scratch s;
    const std::string helper = s.InstallHelper(s.Folder("helpers"), "kvbench.exe");
    std::vector<Process> helpers;
    for (int p = 0; p < kProcesses; ++p) helpers.push_back(Start(helper, HelperArgs(p)));
    const int wanted = kProcesses * kWindowsEach;
    Require(WaitFor([&] { return VisibleWindows(helpers) == wanted; }, 30000), "%d of %d helper windows showed",
            VisibleWindows(helpers), wanted);

    const std::string resultFile = s.Root() + "\\result.txt";
    std::map<std::string, double> result =
        RunBenchProgram("kv_tracking_bench.exe", std::to_string(kRounds) + " \"" + resultFile + "\"", resultFile);
    Require(result.count("tick_mean_ms") && result.count("bare_mean_ms"), "no result in %s", resultFile.c_str());

    BenchReport("top-level windows", result["top_level_windows"], "windows");
    BenchReport("tracked windows", result["tracked_windows"], "windows");
    BenchReport("measured rounds", result["measured_rounds"], "rounds");
    BenchReport("rounds left out (windows changed)", result["changed_ticks"], "rounds");
    BenchReport("tick mean", result["tick_mean_ms"], "ms");
    BenchReport("tick worst", result["tick_worst_ms"], "ms");
    BenchReport("bare enumeration mean", result["bare_mean_ms"], "ms");
    BenchReport("bare enumeration worst", result["bare_worst_ms"], "ms");
    const double bare = result["bare_mean_ms"];
    BenchReport("ratio of the means, tick / bare enumeration", bare > 0 ? result["tick_mean_ms"] / bare : 0, "x");
}
