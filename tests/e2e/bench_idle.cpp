// What Kestrova costs while nothing happens, and how long it takes to show its tray icon:
// - idle CPU over 30 s of the Kestrova process (read from /proc: Wine's GetProcessTimes reports 0
//   for another process), with 0 and with 16 thumbnails, and the wineserver's share meanwhile;
// - start-up to the tray icon against kv_tray_floor.exe, a program that only adds a tray icon.
#include "bench.h"
#include "e2e.h"

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace kv;

namespace {

const int kSources = 16;
const DWORD kIdlePeriodMs = 30000;
const double kIdleTargetPercent = 2.5;
const double kStartupTargetRatio = 1.3;
const int kStartupRounds = 7;

Process StartSources()
{
    std::string args;
    for (int i = 0; i < kSources; ++i) {
        if (i) args += " --window";
        args += " --title \"idle source " + std::to_string(i) + "\" --size 800x600 --pattern " + std::to_string(i) +
                " --noactivate --pos " + std::to_string(20 + 20 * i) + "," + std::to_string(10 + 10 * i);
    }
    Process helper = Start(BuiltFile("kv_helper.exe"), args);
    Require(WaitFor([&] {
                int open = 0;
                for (HWND hwnd : TopWindows(helper.Pid())) open += IsWindowVisible(hwnd) ? 1 : 0;
                return open == kSources;
            }, 10000),
            "the %d sources did not open", kSources);
    return helper;
}

// CPU use in % of one CPU of Kestrova and of the wineserver over the idle period.
void MeasureIdle(const std::string& kestrovaEntry, const char* what)
{
    const std::string server = WineserverProcEntry();
    const double app0 = LinuxCpuMs(kestrovaEntry);
    const double server0 = server.empty() ? -1 : LinuxCpuMs(server);
    const double t0 = NowMs();
    Pump(kIdlePeriodMs);
    const double elapsed = NowMs() - t0;
    const double app = LinuxCpuMs(kestrovaEntry) - app0;
    Require(app0 >= 0 && app >= 0, "the CPU time of %s cannot be read", kestrovaEntry.c_str());
    BenchFigure((std::string("idle CPU of the Kestrova process over 30 s, ") + what).c_str(), 100.0 * app / elapsed,
                "% of a CPU", std::string(what).find("16") != std::string::npos ? kIdleTargetPercent : 0);
    if (server0 >= 0) {
        BenchReport((std::string("wineserver's CPU meanwhile, ") + what).c_str(),
                    100.0 * (LinuxCpuMs(server) - server0) / elapsed, "% of a CPU");
    } else {
        BenchReport("wineserver's CPU: no KV_WINESERVER_PID (run through tools/run-tests.sh --bench)", 0, "");
    }
}

// Waits up to 30 s for the wineserver to settle (the last bench's windows and processes going).
void WaitQuietServer()
{
    const std::string server = WineserverProcEntry();
    if (server.empty()) return;
    const double t0 = NowMs();
    while (NowMs() - t0 < 30000) {
        const double cpu0 = LinuxCpuMs(server);
        Pump(1000);
        if (LinuxCpuMs(server) - cpu0 <= 30) return;  // 3% of a CPU
    }
}

}  // namespace

KV_BENCH(idle_cpu)
{
    WaitQuietServer();
    Scratch s;
    // The defaults: LIMIT 16, INTERVAL 5 (a step every 500 ms), slots down the left edge.
    App kestrova = StartApp(s.InstallApp(s.Folder("app")), "", s.Root());
    SetCursorPos(1270, 1000);
    const DWORD pid = kestrova.proc.Pid();
    const std::string entry = LinuxProcEntryOf("idle_cpu\\app\\Kestrova.exe");
    Require(!entry.empty(), "no /proc entry for Kestrova.exe");
    Pump(2000);  // the first tracking ticks
    MeasureIdle(entry, "0 thumbnails");

    Process helper = StartSources();
    Require(WaitFor([&] { return static_cast<int>(Thumbnails(pid).size()) == kSources; }, 40000),
            "%d thumbnails of %d", static_cast<int>(Thumbnails(pid).size()), kSources);
    Pump(2000);
    MeasureIdle(entry, "16 thumbnails (INTERVAL 5)");
    Require(ExitByTray(kestrova), "still running after the tray's exit");
}
