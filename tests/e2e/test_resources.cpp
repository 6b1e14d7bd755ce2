// Kestrova's own resources over a long run: what it holds for the windows of other processes goes
// when they go.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "e2e.h"
#include "thumb_tools.h"

using namespace kv;

namespace {

// A refresh step every 200 ms, so that each source is captured soon after it comes to the front.
const char kIni[] =
    "[SYSTEM]\r\nLOCATION=0\r\nSIZE=1\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
    "BOTTOMMARGIN=50\r\nLIMIT=8\r\nINTERVAL=2\r\nTRANSPARENT=100\r\n";

std::string TypeDelta(const std::vector<long>& before, const std::vector<long>& after)
{
    std::string text;
    for (size_t t = 0; t < before.size() && t < after.size(); ++t) {
        if (before[t] != after[t])
            text += " type " + std::to_string(t) + ": " + std::to_string(after[t] - before[t]);
    }
    return text;
}

}  // namespace

// Each source process is captured from the screen in the front, one in five parked, and then ends.
KV_E2E_TEST(gdi_objects_stay_flat_as_source_processes_come_and_go)
{
    Scratch scratch;
    const std::string folder = scratch.Folder("app");
    WriteBytes(folder + "\\Kestrova.ini", kIni);
    App app = StartApp(scratch.InstallApp(folder), "", scratch.Root());
    HWND list = FindDescendant(app.main, kThumbList);
    Require(list != nullptr, "no thumbnail list");
    const int perRound = 5;
    auto round = [&](int first) {
        std::vector<Process> sources;
        std::vector<HWND> windows;
        for (int i = first; i < first + perRound; ++i) {
            const std::string title = "gdi " + std::to_string(i);
            sources.push_back(Start(
                BuiltFile("kv_helper.exe"),
                "--title \"" + title + "\" --pos " + std::to_string(300 + 20 * (i - first)) + ",300 --size 320x240"));
            HWND w = nullptr;
            Require(WaitFor([&] { return (w = FindWindowA(nullptr, title.c_str())) != nullptr; }, 10000),
                    "no window %s", title.c_str());
            windows.push_back(w);
        }
        Require(
            WaitFor([&] { return RowCount(list) == perRound && Thumbnails(app.proc.Pid()).size() == size_t(perRound); },
                    20000),
            "round from %d: %d rows", first, RowCount(list));
        for (size_t k = 0; k < windows.size(); ++k) {
            HWND w = windows[k];
            HWND thumb = nullptr;
            Foreground(w);
            Expect(WaitFor(
                       [&] {
                           for (HWND t : Thumbnails(app.proc.Pid())) {
                               if (PatternMismatch(w, t, 0).empty())
                                   thumb = t;
                           }
                           return thumb != nullptr;
                       },
                       5000),
                   "source %d was not captured in the front", first + int(k));
            if (k == 0) {
                ShowWindow(w, SW_MINIMIZE);
                Expect(WaitFor([&] { return !IsIconic(w) && !IsWindowEnabled(w); }, 5000), "source %d was not parked",
                       first);
            }
        }
        for (HWND w : windows)
            PostMessageA(w, WM_CLOSE, 0, 0);
        for (const Process& p : sources)
            Require(p.WaitExit(5000), "a source did not end");
        Require(WaitFor([&] { return RowCount(list) == 0 && Thumbnails(app.proc.Pid()).empty(); }, 10000),
                "round from %d: rows stay", first);
    };
    // The first round makes what is made once: the list's images, the capture's buffers.
    round(0);
    std::vector<long> startTypes, endTypes;
    const long start = GdiObjectsOf(app.proc.Handle(), &startTypes);
    Require(start > 0, "cannot read Kestrova's GDI objects");
    for (int first = perRound; first <= 30; first += perRound)
        round(first);
    const long end = GdiObjectsOf(app.proc.Handle(), &endTypes);
    Expect(end - start <= 5 && start - end <= 5, "GDI objects %ld after 30 source processes, %ld before:%s", end, start,
           TypeDelta(startTypes, endTypes).c_str());
    Require(ExitByTray(app), "still running after the tray's exit");
}

namespace {

// The longest answer of Kestrova's main window while cond is false, sampled until it holds.
DWORD WorstAnswerUntil(HWND main, const std::function<bool()>& cond, DWORD timeoutMs)
{
    DWORD worst = 0;
    const DWORD start = GetTickCount();
    while (!cond() && GetTickCount() - start < timeoutMs) {
        const DWORD asked = GetTickCount();
        DWORD_PTR result = 0;
        SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result);
        worst = std::max<DWORD>(worst, GetTickCount() - asked);
        Pump(20);
    }
    return worst;
}

std::string ManyWindows(const char* prefix, int count)
{
    std::string args;
    for (int i = 0; i < count; ++i)
        args += std::string(i ? " --window" : "") + " --title " + prefix + std::to_string(i) + " --pos " +
                std::to_string(300 + i % 50) + "," + std::to_string(300 + i / 50) + " --size 200x150";
    return args;
}

}  // namespace

// Two processes of 250 windows each, one window of each replaced every 100 ms for a while.
KV_E2E_TEST(ui_answers_while_many_windows_come_and_go)
{
    Scratch scratch;
    const std::string folder = scratch.Folder("app");
    WriteBytes(folder + "\\Kestrova.ini", kIni);
    App app = StartApp(scratch.InstallApp(folder), "", scratch.Root());
    HWND list = FindDescendant(app.main, kThumbList);
    Require(list != nullptr, "no thumbnail list");
    const int perProcess = 250;
    Process a = Start(BuiltFile("kv_helper.exe"), "--churn 100" + ManyWindows("churnA", perProcess));
    Process b = Start(BuiltFile("kv_helper.exe"), "--churn 100" + ManyWindows("churnB", perProcess));
    int rows = 0;
    const DWORD up = WorstAnswerUntil(
        app.main,
        [&] {
            rows = std::max(rows, RowCount(list));
            return false;
        },
        10000);
    Log("worst answer while they churn: %lu ms, at most %d rows", up, rows);
    Expect(rows > 0, "no thumbnail while the windows churned");
    for (HWND w : TopWindows(a.Pid()))
        PostMessageA(w, WM_CLOSE, 0, 0);
    for (HWND w : TopWindows(b.Pid()))
        PostMessageA(w, WM_CLOSE, 0, 0);
    const DWORD down = WorstAnswerUntil(
        app.main, [&] { return RowCount(list) == 0 && !a.Running() && !b.Running(); }, 30000);
    Log("worst answer while they go: %lu ms", down);
    const DWORD worst = std::max(up, down);
    Expect(worst < 500, "Kestrova took %lu ms to answer while windows came and went", worst);
    Require(ExitByTray(app), "still running after the tray's exit");
}
