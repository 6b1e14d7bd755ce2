// The refresh cycle's cost with 16 sources of 800x600: one refresh step against the bare capture
// of the same source (in kv_refresh_bench.exe, on the program's own code), the GDI objects and
// working set after 10 and 1000 steps, and Kestrova's CPU use while it refreshes 16 thumbnails.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench.h"
#include "e2e.h"

using namespace kv;

namespace {

const int kSources = 16;

Process StartSources()
{
    std::string args;
    for (int i = 0; i < kSources; ++i) {
        if (i) args += " --window";
        args += " --title \"bench source " + std::to_string(i) + "\" --size 800x600 --pattern " + std::to_string(i) +
                " --noactivate --pos " + std::to_string(20 + 20 * i) + "," + std::to_string(10 + 10 * i);
    }
    Process helper = Start(BuiltFile("kv_helper.exe"), args);
    Require(WaitFor([&] {
                int open = 0;
                for (HWND hwnd : TopWindows(helper.Pid())) open += IsWindowVisible(hwnd) ? 1 : 0;
                return open == kSources;
            }, 10000),
            "the 16 sources did not open");
    Require(helper.WaitIdle(10000), "the sources never went idle");
    return helper;
}

int ThumbnailCount(DWORD pid) { return static_cast<int>(Thumbnails(pid).size()); }

std::string Lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

// Wine's GetProcessTimes reports 0 for another process, so the CPU time is read from the Linux
// process that runs it: the /proc entry whose command line names the executable.
std::string ProcEntryOf(const std::string& exePathPart)
{
    for (const std::string& entry : ListFolder("Z:\\proc")) {
        if (entry.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string cmdline = ReadBytes("Z:\\proc\\" + entry + "\\cmdline");
        if (Lower(cmdline).find(Lower(exePathPart)) != std::string::npos) return "Z:\\proc\\" + entry;
    }
    return std::string();
}

// User and system time of a Linux process in ms; -1 when it cannot be read.
double CpuMs(const std::string& procEntry)
{
    const std::string stat = ReadBytes(procEntry + "\\stat");
    const size_t end = stat.rfind(')');
    if (end == std::string::npos) return -1;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    double user = 0, system = 0;
    // After the name: state is field 3, utime 14 and stime 15, in ticks of 10 ms.
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14) user = atof(field.c_str());
        if (n == 15) system = atof(field.c_str());
    }
    return (user + system) * 10.0;
}

}  // namespace

KV_BENCH(refresh_step)
{
    Process helper = StartSources();
    Scratch s;
    const std::string resultFile = s.Root() + "\\result.txt";
    std::map<std::string, double> result =
        RunBenchProgram("kv_refresh_bench.exe", "\"" + resultFile + "\"", resultFile);
    Require(result.count("step_mean_ms") && result.count("bare_mean_ms"), "no result in %s", resultFile.c_str());

    BenchReport("measured steps", result["measured_steps"], "steps");
    BenchReport("refresh step mean (capture, stretch, paint)", result["step_mean_ms"], "ms");
    // The bare capture as a capture needs it: its 800x600 bitmap made and filled, PrintWindow, stretch.
    BenchReport("bare PrintWindow+StretchBlt capture mean, with its bitmap", result["bare_with_buffer_mean_ms"], "ms");
    const double bare = result["bare_with_buffer_mean_ms"];
    printf("refresh step / bare PrintWindow+StretchBlt ratio %.3f\n", bare > 0 ? result["step_mean_ms"] / bare : 0.0);
    BenchReport("bare PrintWindow+StretchBlt calls alone, into ready bitmaps, mean", result["bare_mean_ms"], "ms");
    const double calls = result["bare_mean_ms"];
    BenchReport("step / the bare calls alone", calls > 0 ? result["step_mean_ms"] / calls : 0, "x");
    BenchReport("part: idle wait for the source process", result["part_idle_wait_ms"], "ms");
    BenchReport("part: answer check (WM_NULL)", result["part_answer_check_ms"], "ms");
    BenchReport("part: capture (check, bitmap, PrintWindow, HALFTONE stretch)", result["part_capture_ms"], "ms");
    BenchReport("part: source invalidated and redrawn", result["part_source_redraw_ms"], "ms");
    BenchReport("part: thumbnail painted", result["part_paint_ms"], "ms");
    BenchReport("GDI objects after 10 steps (framework count)", result["gdi_after_10"], "objects");
    BenchReport("GDI objects after 1000 steps (framework count)", result["gdi_after_1000"], "objects");
    BenchReport("working set after 10 steps", result["working_set_mb_after_10"], "MB");
    BenchReport("working set after 1000 steps", result["working_set_mb_after_1000"], "MB");
}

KV_BENCH(refresh_idle_cpu)
{
    Process helper = StartSources();
    Scratch s;
    // The defaults: LIMIT 16, INTERVAL 5 (a step every 500 ms), slots down the left edge.
    App kestrova = StartApp(s.InstallApp(s.Folder("app")), "", s.Root());
    SetCursorPos(1270, 1000);
    const DWORD pid = kestrova.proc.Pid();
    Require(WaitFor([&] { return ThumbnailCount(pid) == kSources; }, 40000), "%d thumbnails of 16",
            ThumbnailCount(pid));

    const std::string entry = ProcEntryOf("refresh_idle_cpu\\app\\Kestrova.exe");
    Require(!entry.empty(), "no /proc entry for Kestrova.exe");
    const DWORD kPeriodMs = 30000;
    const double cpu0 = CpuMs(entry);
    const DWORD t0 = GetTickCount();
    Pump(kPeriodMs);
    const double cpu = CpuMs(entry) - cpu0;
    const double elapsed = GetTickCount() - t0;
    Require(cpu0 >= 0 && cpu >= 0, "the CPU time of %s cannot be read", entry.c_str());
    BenchReport("Kestrova CPU time over 30 s of idle refresh, 16 thumbnails", cpu, "ms");
    BenchReport("Kestrova CPU use over 30 s of idle refresh, 16 thumbnails", 100.0 * cpu / elapsed, "%");
    Require(ExitByTray(kestrova), "still running after the tray's exit");
}
