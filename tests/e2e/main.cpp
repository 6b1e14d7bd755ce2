// kv_e2e.exe --test NAME      run one end-to-end test (CTest runs each as e2e.NAME)
//            --list           list the tests
//            --bench          run the benchmarks
//            --desktop-info   print the desktop's size, work area, taskbar and code page
//            --wait-main MS   wait until a Kestrova main window exists
//            --show-panel     open the panel of the running Kestrova by a tray double click
//            --exit-running   end every running Kestrova by the tray's exit command
//            --wait-thumbnails N MS   wait until the running Kestrova shows N thumbnails
//            --front TITLE PATTERN MS bring the window TITLE forward; wait until a thumbnail shows
//                                     its picture (kv_helper's PATTERN)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench.h"
#include "e2e.h"

namespace {

int DesktopInfo()
{
    RECT work = kv::WorkArea();
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    printf("screen=%dx%d workarea=%ld,%ld,%ld,%ld taskbar=%d acp=%u\n", GetSystemMetrics(SM_CXSCREEN),
           GetSystemMetrics(SM_CYSCREEN), work.left, work.top, work.right, work.bottom,
           tray && IsWindowVisible(tray) ? 1 : 0, GetACP());
    return 0;
}

std::vector<DWORD> RunningApps()
{
    return kv::PidsNamed("Kestrova.exe");
}

int WaitMain(DWORD timeoutMs)
{
    bool found = kv::WaitFor(
        [] {
            for (DWORD pid : RunningApps()) {
                if (kv::MainWindowOf(pid))
                    return true;
            }
            return false;
        },
        timeoutMs);
    printf(found ? "main window up\n" : "no main window\n");
    return found ? 0 : 1;
}

int ShowPanel()
{
    std::vector<DWORD> pids = RunningApps();
    HWND main = pids.empty() ? nullptr : kv::MainWindowOf(pids.front());
    if (!main)
        return 1;
    kv::PostTray(main, WM_LBUTTONDBLCLK);
    return kv::WaitFor([&] { return IsWindowVisible(main) != FALSE; }, 5000) ? 0 : 1;
}

int WaitThumbnails(size_t count, DWORD timeoutMs)
{
    std::vector<DWORD> pids = RunningApps();
    if (pids.empty())
        return 1;
    const bool shown = kv::WaitFor([&] { return kv::Thumbnails(pids.front()).size() >= count; }, timeoutMs);
    printf("%u thumbnails\n", unsigned(kv::Thumbnails(pids.front()).size()));
    return shown ? 0 : 1;
}

// Under Wine a thumbnail shows its source's picture only while that source is the foreground window.
int Front(const char* title, int pattern, DWORD timeoutMs)
{
    std::vector<DWORD> pids = RunningApps();
    HWND source = FindWindowA(nullptr, title);
    if (pids.empty() || !source || !kv::Foreground(source))
        return 1;
    const bool shown = kv::WaitFor(
        [&] {
            for (HWND thumb : kv::Thumbnails(pids.front())) {
                if (kv::PatternMismatch(source, thumb, pattern).empty())
                    return true;
            }
            return false;
        },
        timeoutMs);
    printf(shown ? "picture shown\n" : "no thumbnail shows the picture\n");
    return shown ? 0 : 1;
}

int ExitRunning()
{
    int failures = 0;
    for (DWORD pid : RunningApps()) {
        HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
        HWND main = kv::MainWindowOf(pid);
        if (!h || !main) {
            ++failures;
            continue;
        }
        PostMessageA(main, WM_COMMAND, kv::kCmdTrayExit, 0);
        bool ended = WaitForSingleObject(h, 10000) == WAIT_OBJECT_0;
        printf("Kestrova %lu %s\n", pid, ended ? "ended" : "did not end");
        failures += ended ? 0 : 1;
        CloseHandle(h);
    }
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--test" && argc > 2)
        return kv::RunTest(argv[2]);
    if (mode == "--list") {
        for (const kv::TestCase& t : kv::Registry())
            printf("%s\n", t.name);
        return 0;
    }
    if (mode == "--bench")
        return kv::RunBenchmarks(argc > 2 ? argv[2] : nullptr);
    if (mode == "--desktop-info")
        return DesktopInfo();
    if (mode == "--wait-main" && argc > 2)
        return WaitMain(strtoul(argv[2], nullptr, 10));
    if (mode == "--show-panel")
        return ShowPanel();
    if (mode == "--exit-running")
        return ExitRunning();
    if (mode == "--wait-thumbnails" && argc > 3)
        return WaitThumbnails(strtoul(argv[2], nullptr, 10), strtoul(argv[3], nullptr, 10));
    if (mode == "--front" && argc > 4)
        return Front(argv[2], atoi(argv[3]), strtoul(argv[4], nullptr, 10));
    fprintf(stderr,
            "usage: kv_e2e.exe --test NAME | --list | --bench [NAME] | --desktop-info | --wait-main MS | "
            "--show-panel | --exit-running | --wait-thumbnails N MS | --front TITLE PATTERN MS\n");
    return 2;
}
