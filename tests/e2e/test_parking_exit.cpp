// Parked windows and the end of the program, seen from outside: sources that answer only slowly hold
// up neither the panel nor the exit, and no exit, however it ends, leaves a window parked for good.
#include <string>
#include <vector>

#include "e2e.h"
#include "kv_pattern.h"

using namespace kv;

namespace {

// Ten slots of 110x80 along the bottom edge from x 100.
const char kSettings[] =
    "[SYSTEM]\r\nLOCATION=3\r\nSIZE=0\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
    "BOTTOMMARGIN=50\r\nTRANSPARENT=60\r\nLIMIT=10\r\nINTERVAL=1\r\n";
const RECT kNormal = {300, 150, 620, 390};

std::string StateText(HWND h)
{
    char text[128];
    snprintf(text, sizeof(text), " style 0x%08lx ex 0x%08lx alpha %d%s", static_cast<unsigned long>(StyleOf(h)),
             static_cast<unsigned long>(ExStyleOf(h)), LayeredAlpha(h), IsIconic(h) ? " minimised" : "");
    return RectText(WindowRectOf(h)) + text;
}

int ThumbnailCount(DWORD pid)
{
    int n = 0;
    for (HWND hwnd : TopWindows(pid))
        n += IsThumbnail(hwnd) ? 1 : 0;
    return n;
}

bool Parked(HWND h)
{
    return !IsIconic(h) && !IsWindowEnabled(h);
}

struct Source {
    Process process;
    HWND h = nullptr;
    DWORD style = 0;  // its own, minimised
    DWORD exStyle = 0;
};

// One helper process per window: a busy one answers each question only after its work.
void StartSources(int count, int minimised, const char* extra, std::vector<Source>* sources)
{
    sources->resize(count);
    for (int i = 0; i < count; ++i) {
        Source& s = (*sources)[i];
        const std::string title = "source " + std::to_string(i);
        s.process = Start(BuiltFile("kv_helper.exe"),
                          std::string(extra) + " --title \"" + title + "\" --pos 300,150 --size 320x240");
        Require(
            WaitFor(
                [&] { return (s.h = FindTopWindow(s.process.Pid(), nullptr, title.c_str())) && IsWindowVisible(s.h); },
                10000),
            "%s did not open", title.c_str());
        s.style = StyleOf(s.h) | WS_MINIMIZE;
        s.exStyle = ExStyleOf(s.h);
    }
    // Minimised in the background: a minimised foreground window is another road.
    if (count > minimised)
        Foreground(sources->back().h);
    for (int i = 0; i < minimised; ++i)
        PostMessageA((*sources)[i].h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

// Minimised with its own styles, and its own restore brings it back where it was, usable.
void ExpectBack(const Source& s, const char* what, DWORD timeoutMs)
{
    const std::string title = TextOf(s.h);
    Expect(WaitFor([&] { return IsIconic(s.h) && StyleOf(s.h) == s.style && ExStyleOf(s.h) == s.exStyle; }, timeoutMs),
           "%s, %s: not minimised with its own styles: %s", what, title.c_str(), StateText(s.h).c_str());
    PostMessageA(s.h, WM_SYSCOMMAND, SC_RESTORE, 0);
    Expect(WaitFor([&] { return !IsIconic(s.h) && SameRect(WindowRectOf(s.h), kNormal); }, 5000),
           "%s, %s: restored to %s", what, title.c_str(), RectText(WindowRectOf(s.h)).c_str());
    Expect(IsWindowEnabled(s.h) && LayeredAlpha(s.h) == -1, "%s, %s: restored disabled or layered: %s", what,
           title.c_str(), StateText(s.h).c_str());
}

}  // namespace

namespace {

void BusySourcesHoldUpNeitherThePanelNorTheExit(const char* name, const char* args)
{
    Scratch scratch;
    SetCursorPos(1270, 300);
    std::vector<Source> sources;
    // Busy from the start: each answers only between its works, also while it is parked.
    StartSources(8, 0, "", &sources);
    for (const Source& s : sources)
        PostMessageA(s.h, kHelperStartBusy, 900, 0);
    Require(WaitFor(
                [&] {
                    for (const Source& s : sources) {
                        if (!GetPropA(s.h, kHelperBusyProp))
                            return false;
                    }
                    return true;
                },
                5000),
            "%s: the sources are not busy", name);
    for (int i = 0; i < 3; ++i)
        PostMessageA(sources[i].h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    const std::string folder = scratch.Folder("app");
    WriteBytes(folder + "\\Kestrova.ini", kSettings);
    App app = StartApp(scratch.InstallApp(folder), args, scratch.Root());
    const DWORD pid = app.proc.Pid();
    DWORD start = GetTickCount();
    Require(WaitFor(
                [&] {
                    int parked = 0;
                    for (int i = 0; i < 3; ++i)
                        parked += Parked(sources[i].h) ? 1 : 0;
                    return ThumbnailCount(pid) == 8 && parked == 3;
                },
                30000),
            "%s: %d thumbnails, source 0 %s", name, ThumbnailCount(pid), StateText(sources[0].h).c_str());
    Log("%s: 8 thumbnails, 3 parked after %lu ms", name, static_cast<unsigned long>(GetTickCount() - start));

    // Every opening: the sources' works never line up with the user's click.
    std::string times;
    DWORD slowest = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        start = GetTickCount();
        PostTray(app.main, WM_LBUTTONDBLCLK);
        Require(WaitFor([&] { return IsWindowVisible(app.main) != FALSE; }, 10000),
                "%s: the panel did not open (after%s ms)", name, times.c_str());
        const DWORD opened = GetTickCount() - start;
        slowest = opened > slowest ? opened : slowest;
        times += " " + std::to_string(opened);
        PostMessageA(app.main, WM_SYSCOMMAND, SC_CLOSE, 0);
        Require(WaitFor([&] { return !IsWindowVisible(app.main); }, 10000), "%s: the panel did not close", name);
    }
    Log("%s: the panel opened in%s ms", name, times.c_str());
    Expect(slowest < 500, "%s: the panel took%s ms to open", name, times.c_str());

    start = GetTickCount();
    Expect(ExitByTray(app, 15000), "%s: still running after the tray's exit", name);
    const DWORD exited = GetTickCount() - start;
    Log("%s: the exit took %lu ms", name, static_cast<unsigned long>(exited));
    Expect(exited < 3000, "%s: the exit took %lu ms", name, static_cast<unsigned long>(exited));
    for (int i = 0; i < 3; ++i)
        ExpectBack(sources[i], name, 10000);
    for (Source& s : sources) {
        PostMessageA(s.h, WM_CLOSE, 0, 0);
        s.process.WaitExit(3000);
    }
}

}  // namespace

KV_E2E_TEST(busy_sources_hold_up_neither_the_panel_nor_the_exit_off_screen)
{
    BusySourcesHoldUpNeitherThePanelNorTheExit("off screen", "");
}

KV_E2E_TEST(busy_sources_hold_up_neither_the_panel_nor_the_exit_in_place)
{
    BusySourcesHoldUpNeitherThePanelNorTheExit("in place", "-LAYERED");
}

namespace {

const char* const kMethods[][2] = {{"off screen", ""}, {"in place", "-LAYERED"}};

bool ParkedLook(HWND h, bool inPlace)
{
    if (IsIconic(h) || IsWindowEnabled(h))
        return false;
    const RECT parked = {kNormal.left + 10000, kNormal.top + 10000, kNormal.right + 10000, kNormal.bottom + 10000};
    return inPlace ? SameRect(WindowRectOf(h), kNormal) && LayeredAlpha(h) == 0 : SameRect(WindowRectOf(h), parked);
}

std::string ExcludeTitles(int count)
{
    std::string rules = "[SYSTEM]\r\nEXCLUSIONNUM=" + std::to_string(count) + "\r\n";
    for (int i = 0; i < count; ++i) {
        rules += "[ITEM" + std::to_string(i) + "]\r\nTITLEFLAG=1\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=1\r\nTITLE=source " +
                 std::to_string(i) + "\r\nPNAME=\r\nTPART=\r\n";
    }
    return rules;
}

}  // namespace

KV_E2E_TEST(exit_while_a_parked_source_hangs_then_a_quick_restart)
{
    Scratch scratch;
    SetCursorPos(1270, 300);
    int n = 0;
    for (const auto& method : kMethods) {
        const char* name = method[0];
        const bool inPlace = *method[1] != 0;
        std::vector<Source> sources;
        StartSources(1, 0, "", &sources);
        const Source& s = sources[0];
        const std::string folder = scratch.Folder("app" + std::to_string(n++));
        WriteBytes(folder + "\\Kestrova.ini", kSettings);
        const std::string exe = scratch.InstallApp(folder);
        App first = StartApp(exe, method[1], scratch.Root());
        Require(WaitFor([&] { return ThumbnailCount(first.proc.Pid()) == 1; }, 8000), "%s: no thumbnail", name);
        PostMessageA(s.h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        Require(WaitFor([&] { return ParkedLook(s.h, inPlace); }, 5000), "%s: not parked: %s", name,
                StateText(s.h).c_str());

        HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kHelperRelease);
        ResetEvent(release);
        SetPropA(s.h, kHelperHangOnNullProp, reinterpret_cast<HANDLE>(1));
        // Once released, it takes the style writes well before the queued move and minimise.
        SetPropA(s.h, kHelperSentOnlyProp, reinterpret_cast<HANDLE>(1500));
        Require(WaitFor([&] { return GetPropA(s.h, kHelperHungProp) != nullptr; }, 5000), "%s: no hang", name);
        Expect(ExitByTray(first), "%s: the first run did not end", name);
        App second = StartApp(exe, method[1], scratch.Root());
        Require(WaitFor([&] { return ThumbnailCount(second.proc.Pid()) == 1; }, 8000), "%s: no thumbnail again", name);
        SetEvent(release);
        CloseHandle(release);
        // Back from the first run's put-back, then parked again by the second from its own normal position.
        Expect(WaitFor([&] { return ParkedLook(s.h, inPlace); }, 10000), "%s: not parked again from its place: %s",
               name, StateText(s.h).c_str());
        Expect(ExitByTray(second), "%s: the second run did not end", name);
        ExpectBack(s, name, 5000);
        PostMessageA(s.h, WM_CLOSE, 0, 0);
        sources[0].process.WaitExit(3000);
    }
}

KV_E2E_TEST(maximised_window_left_parked_by_a_kill_comes_back_maximised)
{
    Scratch scratch;
    SetCursorPos(1270, 300);
    std::vector<Source> sources;
    StartSources(1, 0, "--maximized", &sources);
    const Source& s = sources[0];
    Require(WaitFor([&] { return IsZoomed(s.h) && WindowRectOf(s.h).right - WindowRectOf(s.h).left > 1000; }, 5000),
            "not maximised");
    const RECT maximised = WindowRectOf(s.h);
    const std::string folder = scratch.Folder("app");
    WriteBytes(folder + "\\Kestrova.ini", kSettings);
    const std::string exe = scratch.InstallApp(folder);
    App first = StartApp(exe, "", scratch.Root());
    Require(WaitFor([&] { return ThumbnailCount(first.proc.Pid()) == 1; }, 8000), "no thumbnail");
    PostMessageA(s.h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Require(WaitFor([&] { return Parked(s.h); }, 5000), "not parked: %s", StateText(s.h).c_str());
    Require(TerminateProcess(first.proc.Handle(), 1) && first.proc.WaitExit(5000), "not killed");

    // The next run puts it back, then parks it again as a minimised window; its exit puts it back again.
    App second = StartApp(exe, "", scratch.Root());
    Require(WaitFor([&] { return ThumbnailCount(second.proc.Pid()) == 1 && Parked(s.h); }, 8000),
            "not parked by the second run: %s", StateText(s.h).c_str());
    Expect(ExitByTray(second), "the second run did not end");
    Expect(WaitFor([&] { return IsIconic(s.h) && IsWindowEnabled(s.h); }, 5000), "not minimised: %s",
           StateText(s.h).c_str());
    PostMessageA(s.h, WM_SYSCOMMAND, SC_RESTORE, 0);
    Expect(WaitFor([&] { return !IsIconic(s.h) && IsZoomed(s.h) && SameRect(WindowRectOf(s.h), maximised); }, 5000),
           "not back maximised at %s: %s", RectText(maximised).c_str(), StateText(s.h).c_str());
    PostMessageA(s.h, WM_CLOSE, 0, 0);
    sources[0].process.WaitExit(3000);
}

namespace {

// kHalfway: the first window half-way back: its drawing off (which clears its visible bit), or
// minimised again while still disabled or invisible.
enum KillPoint { kAtOnce, kFirstBack, kHalfBack, kHalfway };

// Six windows, each of a process of its own, parked in place by a run of the program installed in
// folder; *exe gets the installed program.
App StartWithSixParked(Scratch& scratch, const std::string& folder, std::vector<Source>* sources, std::string* exe)
{
    SetCursorPos(1270, 300);
    StartSources(6, 0, "", sources);
    WriteBytes(folder + "\\Kestrova.ini", kSettings);
    *exe = scratch.InstallApp(folder);
    App app = StartApp(*exe, "-LAYERED", scratch.Root());
    Require(WaitFor([&] { return ThumbnailCount(app.proc.Pid()) == 6; }, 15000), "%d thumbnails",
            ThumbnailCount(app.proc.Pid()));
    for (const Source& s : *sources)
        PostMessageA(s.h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Require(WaitFor(
                [&] {
                    for (const Source& s : *sources) {
                        if (!ParkedLook(s.h, true))
                            return false;
                    }
                    return true;
                },
                10000),
            "not all parked");
    return app;
}

void CloseSources(std::vector<Source>* sources)
{
    for (Source& s : *sources) {
        PostMessageA(s.h, WM_CLOSE, 0, 0);
        s.process.WaitExit(3000);
    }
}

// Six windows parked in place, the exit killed at the given point, the next start puts all of them back.
void KilledDuringTheExit(KillPoint point)
{
    Scratch scratch;
    std::vector<Source> sources;
    const std::string folder = scratch.Folder("app");
    std::string exe;
    App first = StartWithSixParked(scratch, folder, &sources, &exe);

    auto back = [&] {
        int n = 0;
        for (const Source& s : sources)
            n += IsIconic(s.h) || IsWindowEnabled(s.h) || LayeredAlpha(s.h) != 0 ? 1 : 0;
        return n;
    };
    PostMessageA(first.main, WM_COMMAND, kCmdTrayExit, 0);
    if (point == kFirstBack) {
        WaitFor([&] { return back() >= 1; }, 5000);
    } else if (point == kHalfBack) {
        WaitFor([&] { return back() >= 3; }, 5000);
    } else if (point == kHalfway) {
        // Looked at without a pause: the state may last only a moment.
        const DWORD start = GetTickCount();
        auto halfway = [&] {
            for (const Source& s : sources) {
                if (!IsWindowVisible(s.h) || (IsIconic(s.h) && (!IsWindowEnabled(s.h) || LayeredAlpha(s.h) == 0)))
                    return true;
            }
            return false;
        };
        while (!halfway() && GetTickCount() - start < 5000)
            Sleep(0);
    }
    TerminateProcess(first.proc.Handle(), 1);
    Require(first.proc.WaitExit(5000), "not killed");
    Log("killed with %d of 6 windows on their way back", back());

    WriteBytes(folder + "\\ExclusionData.ini", ExcludeTitles(6));
    App second = StartApp(exe, "-LAYERED", scratch.Root());
    for (const Source& s : sources)
        ExpectBack(s, "after the restart", 5000);
    Expect(ExitByTray(second), "the second run did not end");
    CloseSources(&sources);
}

}  // namespace

// No window waits for another: a kill at any moment of the exit leaves as few half-way as can be.
KV_E2E_TEST(exit_puts_every_parked_window_back_at_once)
{
    Scratch scratch;
    std::vector<Source> sources;
    std::string exe;
    App app = StartWithSixParked(scratch, scratch.Folder("app"), &sources, &exe);
    // When each one was first seen usable: enabled and not invisible, or minimised.
    std::vector<DWORD> backAt(sources.size(), 0);
    const DWORD start = GetTickCount();
    PostMessageA(app.main, WM_COMMAND, kCmdTrayExit, 0);
    auto allBack = [&] {
        bool all = true;
        for (size_t i = 0; i < sources.size(); ++i) {
            const HWND h = sources[i].h;
            if (!backAt[i] && (IsIconic(h) || (IsWindowEnabled(h) && LayeredAlpha(h) != 0)))
                backAt[i] = GetTickCount();
            all = all && backAt[i];
        }
        return all;
    };
    while (!allBack() && GetTickCount() - start < 10000)
        Sleep(1);
    std::string times;
    DWORD first = INFINITE, last = 0;
    for (DWORD at : backAt) {
        times += " " + (at ? std::to_string(at - start) : std::string("never"));
        first = at && at < first ? at : first;
        last = at > last ? at : last;
    }
    Log("back after%s ms", times.c_str());
    Require(allBack(), "not every window came back:%s ms", times.c_str());
    Expect(last - first < 500, "the windows came back one after another:%s ms", times.c_str());
    Expect(app.proc.WaitExit(5000), "still running after the exit");
    for (const Source& s : sources)
        ExpectBack(s, "after the exit", 5000);
    CloseSources(&sources);
}

KV_E2E_TEST(exit_killed_at_once_then_restarted)
{
    KilledDuringTheExit(kAtOnce);
}
KV_E2E_TEST(exit_killed_with_one_window_back_then_restarted)
{
    KilledDuringTheExit(kFirstBack);
}
KV_E2E_TEST(exit_killed_with_half_the_windows_back_then_restarted)
{
    KilledDuringTheExit(kHalfBack);
}
KV_E2E_TEST(exit_killed_with_a_window_half_way_back_then_restarted)
{
    KilledDuringTheExit(kHalfway);
}
