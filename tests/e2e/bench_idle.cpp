// What Kestrova costs while nothing happens, with 16 thumbnails (INTERVAL 5: a step every 500 ms):
// the CPU time of every Linux process of the prefix (the wineserver, the explorer, the services,
// the helper, this harness) plus the X server, read from /proc (Wine's GetProcessTimes reports 0
// for another process), over periods of three kinds in turn: Kestrova running, its floor
// kv_idle_floor.exe running (the same timers making the flat calls), and neither. The same 16
// source windows stay open throughout. Kestrova's own share is its process; the system's share is
// what the rest costs above the periods with neither.
#include "bench.h"
#include "e2e.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace kv;

namespace {

const int kSources = 16;
const DWORD kPeriodMs = 12000;
const int kPeriodsEach = 3;

Process StartSources()
{
    std::string args;
    for (int i = 0; i < kSources; ++i) {
        if (i)
            args += " --window";
        args += " --title \"idle source " + std::to_string(i) + "\" --size 800x600 --pattern " + std::to_string(i) +
                " --noactivate --pos " + std::to_string(20 + 20 * i) + "," + std::to_string(10 + 10 * i);
    }
    Process helper = Start(BuiltFile("kv_helper.exe"), args);
    Require(WaitFor([&] { return VisibleTopWindows(helper.Pid()) == kSources; }, 10000), "the %d sources did not open",
            kSources);
    return helper;
}

// Waits up to 30 s for the wineserver to settle (the last bench's windows and processes going).
void WaitQuietServer()
{
    const std::string server = WineserverProcEntry();
    if (server.empty())
        return;
    const double t0 = NowMs();
    while (NowMs() - t0 < 30000) {
        const double cpu0 = LinuxCpuMs(server);
        Pump(1000);
        if (LinuxCpuMs(server) - cpu0 <= 30)
            return;  // 3% of a CPU
    }
}

struct Period {
    double own;     // % of a CPU: the measured program's own process (0 with neither)
    double others;  // % of a CPU: every other process of the prefix and the X server
};

// One idle period: the CPU time each process of the prefix spent, split into the one whose
// command line holds ownExe ("" for none) and the rest.
Period MeasurePeriod(const std::string& ownExe)
{
    const std::vector<std::string> entries = PrefixProcEntries();
    const std::string own = ownExe.empty() ? std::string() : ProcEntryAmong(entries, ownExe);
    Require(ownExe.empty() || !own.empty(), "no process of the prefix runs %s", ownExe.c_str());
    std::map<std::string, double> before;
    for (const std::string& e : entries)
        before[e] = LinuxRunTimeMs(e);
    const double t0 = NowMs();
    Pump(kPeriodMs);
    const double elapsed = NowMs() - t0;
    Period p = {0, 0};
    for (const std::string& e : entries) {
        const double now = LinuxRunTimeMs(e);
        if (now < 0 || before[e] < 0)
            continue;  // gone meanwhile
        (e == own ? p.own : p.others) += 100.0 * (now - before[e]) / elapsed;
    }
    return p;
}

struct Place {
    RECT rect;
    int alpha;
};

// Kestrova with the sources' 16 thumbnails, settled; their window rectangles and alphas go to places.
App StartKestrova(const std::string& exe, const std::string& cwd, std::vector<Place>* places)
{
    App kestrova = StartApp(exe, "", cwd);
    const DWORD pid = kestrova.proc.Pid();
    Require(WaitFor([&] { return static_cast<int>(Thumbnails(pid).size()) == kSources; }, 40000), "%d thumbnails of %d",
            static_cast<int>(Thumbnails(pid).size()), kSources);
    Pump(2000);  // the last one's show animation and first steps
    // The floor's thumbnails take the same places and alphas; which shows which source costs the same.
    places->clear();
    for (HWND t : Thumbnails(pid))
        places->push_back({WindowRectOf(t), AlphaOf(t)});
    return kestrova;
}

}  // namespace

KV_BENCH(idle_cpu)
{
    Require(!PrefixProcEntries().empty(), "no process of the prefix found (run through tools/run-tests.sh --bench)");
    WaitQuietServer();
    Scratch s;
    // The defaults: LIMIT 16, INTERVAL 5 (a step every 500 ms), slots down the left edge.
    const std::string exe = s.InstallApp(s.Folder("app"));
    const std::string floorExe = BuiltFile("kv_idle_floor.exe");
    const std::string rectsFile = s.Root() + "\\thumbnails.txt";
    SetCursorPos(1270, 1000);
    Process helper = StartSources();
    Require(helper.WaitIdle(10000), "the sources never went idle");

    std::vector<Period> kestrova, floor, neither;
    std::vector<Place> places;
    for (int cycle = 0; cycle < kPeriodsEach; ++cycle) {
        // Each kind in each place of the cycle once; Kestrova first in the first, for its rectangles.
        for (int place = 0; place < 3; ++place) {
            const int kind = (place + cycle) % 3;
            if (kind == 0) {
                App app = StartKestrova(exe, s.Root(), &places);
                kestrova.push_back(MeasurePeriod("idle_cpu\\app\\Kestrova.exe"));
                Require(ExitByTray(app), "Kestrova did not end by the tray's exit");
            } else if (kind == 1) {
                std::string text;
                for (const Place& p : places)
                    text += std::to_string(p.rect.left) + " " + std::to_string(p.rect.top) + " " +
                            std::to_string(p.rect.right) + " " + std::to_string(p.rect.bottom) + " " +
                            std::to_string(p.alpha < 0 ? 255 : p.alpha) + "\n";
                WriteBytes(rectsFile, text);
                Process p = Start(floorExe, "\"" + rectsFile + "\"");
                HWND main = nullptr;
                Require(
                    WaitFor([&] { return (main = FindTopWindow(p.Pid(), "KvIdleFloor", nullptr)) != nullptr; }, 20000),
                    "the idle floor did not start");
                Pump(2000);
                floor.push_back(MeasurePeriod("kv_idle_floor.exe"));
                PostMessageA(main, WM_CLOSE, 0, 0);
                Require(p.WaitExit(10000), "the idle floor did not end");
            } else {
                Pump(2000);
                neither.push_back(MeasurePeriod(""));
            }
        }
    }
    auto own = [](const std::vector<Period>& v) {
        std::vector<double> x;
        for (const Period& p : v)
            x.push_back(p.own);
        return Median(x);
    };
    auto others = [](const std::vector<Period>& v) {
        std::vector<double> x;
        for (const Period& p : v)
            x.push_back(p.others);
        return Median(x);
    };
    const double base = others(neither);
    BenchReport("periods of each kind", kPeriodsEach, "periods of 12 s");
    BenchReport("the prefix and the X server with neither running", base, "% of a CPU");
    BenchReport("the prefix and the X server with Kestrova running, all of it", own(kestrova) + others(kestrova),
                "% of a CPU");
    BenchReport("the prefix and the X server with the floor running, all of it", own(floor) + others(floor),
                "% of a CPU");
    BenchFloor("idle CPU, Kestrova's own process, 16 thumbnails (INTERVAL 5), % of a CPU", own(kestrova), own(floor),
               "%", 0);
    BenchFloor(
        "idle CPU, the system's share (the prefix's other processes and the X server, above the periods "
        "with neither), % of a CPU",
        others(kestrova) - base, others(floor) - base, "%", 0);
}
