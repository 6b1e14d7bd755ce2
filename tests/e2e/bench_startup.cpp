// Start-up to the tray icon against kv_tray_floor.exe, which makes in one flat sequence what must
// be done before the icon, from Kestrova's own resources and with the same imported DLLs. Both
// start from the same folder with the same two ini files beside them, in alternating rounds.
#include "bench.h"
#include "e2e.h"

#include <shellapi.h>

#include <string>
#include <vector>

using namespace kv;

namespace {

const double kTargetRatio = 1.2;
const int kRounds = 16;

// True once hwnd has the tray icon id 0: a modify of nothing succeeds only then.
bool HasTrayIcon(HWND hwnd)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = hwnd;
    nid.uID = 0;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

// Milliseconds from the start of exe to the tray icon of its main window, the one known window
// both programs make from the same template; the process stays running, its main window in *main.
double TimeToTrayIcon(const std::string& exe, Process* started, HWND* main)
{
    const double t0 = NowMs();
    *started = Start(exe, "");
    const DWORD pid = started->Pid();
    *main = nullptr;
    bool shown = false;
    while (NowMs() - t0 < 20000) {
        if (!*main)
            *main = MainWindowOf(pid);
        if (*main && (shown = HasTrayIcon(*main)))
            break;
        Sleep(1);
    }
    Require(shown, "%s showed no tray icon", exe.c_str());
    return NowMs() - t0;
}

}  // namespace

KV_BENCH(startup)
{
    Scratch s;
    const std::string folder = s.Folder("app");
    const std::string app = s.InstallApp(folder);
    const std::string floorExe = folder + "\\kv_tray_floor.exe";
    Require(CopyFileA(BuiltFile("kv_tray_floor.exe").c_str(), floorExe.c_str(), FALSE), "cannot copy the floor");
    const std::vector<std::string> imports = ImportedDlls(app), floorImports = ImportedDlls(floorExe);
    Require(!imports.empty() && imports == floorImports, "the floor imports %d DLLs, Kestrova %d other ones",
            static_cast<int>(floorImports.size()), static_cast<int>(imports.size()));
    // Settings and two rules, so that both read real files.
    WriteBytes(folder + "\\Kestrova.ini", "[SYSTEM]\r\nLOCATION=1\r\nSIZE=1\r\nLIMIT=16\r\nINTERVAL=5\r\n");
    WriteBytes(folder + "\\ExclusionData.ini",
               "[SYSTEM]\r\nEXCLUSIONNUM=2\r\n"
               "[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=1\r\nTITLE=bench\r\nPNAME=\r\nTPART=\r\n"
               "[ITEM1]\r\nTITLEFLAG=0\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\nTITLE=\r\nPNAME=bench.exe\r\nTPART=\r\n");

    std::vector<double> kestrova, floor;
    for (int round = 0; round < kRounds; ++round) {
        // Alternating which starts first, so that neither always finds the other's files cached.
        for (int part = 0; part < 2; ++part) {
            Process p;
            HWND main = nullptr;
            if ((part == 0) == (round % 2 == 0)) {
                kestrova.push_back(TimeToTrayIcon(app, &p, &main));
                App running;
                running.main = main;
                running.proc = std::move(p);
                Require(ExitByTray(running), "Kestrova did not end by the tray's exit");
            } else {
                floor.push_back(TimeToTrayIcon(floorExe, &p, &main));
                PostMessageA(main, WM_CLOSE, 0, 0);
                Require(p.WaitExit(10000), "the tray floor did not end");
            }
        }
    }
    BenchReport("rounds", kRounds, "starts each");
    BenchReport("imported DLLs, each side", static_cast<double>(imports.size()), "DLLs");
    BenchFloor("start-up to the tray icon", Median(kestrova), Median(floor), "ms", kTargetRatio);
}
