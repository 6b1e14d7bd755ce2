// The hidden main panel, its tray road and the ways the program ends.
#include <cstdio>
#include <string>

#include "e2e.h"

#include <shellapi.h>

using namespace kv;

namespace {

const char kRulesFile[] = "ExclusionData.ini";
const char kSettingsFile[] = "Kestrova.ini";

// The visible frame touches the work area's right and bottom edges.
bool AtCorner(HWND hwnd)
{
    RECT frame = FrameBounds(hwnd), work = WorkArea();
    return frame.right == work.right && frame.bottom == work.bottom;
}

std::string Placement(HWND hwnd)
{
    return "frame " + RectText(FrameBounds(hwnd)) + ", work area " + RectText(WorkArea()) +
           (IsWindowVisible(hwnd) ? ", visible" : ", hidden");
}

// The program's visible dialogs (the panel, the detection page), as "'caption' (rect)" items.
// Thumbnails may show: in debug mode the console window gets one.
std::string VisibleDialogs(DWORD pid)
{
    std::string list;
    for (HWND hwnd : TopWindows(pid)) {
        if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != "#32770")
            continue;
        list += (list.empty() ? "'" : ", '") + TextOf(hwnd) + "' " + RectText(WindowRectOf(hwnd));
    }
    return list;
}

bool ShownAtCorner(HWND hwnd)
{
    return IsWindowVisible(hwnd) && AtCorner(hwnd);
}

}  // namespace

KV_E2E_TEST(panel_hidden_until_tray_double_click)
{
    Scratch s;
    int n = 0;
    for (const char* args : {"", "-D574"}) {
        App app = StartApp(s.InstallApp(s.Folder("case" + std::to_string(n++))), args, s.Root());
        bool hidden = HoldsFor([&] { return VisibleDialogs(app.proc.Pid()).empty(); }, 1500);
        Expect(hidden, "[%s]: after start-up these show: %s", args, VisibleDialogs(app.proc.Pid()).c_str());

        PostTray(app.main, WM_LBUTTONDOWN);
        PostTray(app.main, WM_LBUTTONUP);
        Expect(HoldsFor([&] { return !IsWindowVisible(app.main); }, 500), "[%s]: a single click showed the panel",
               args);

        PostTray(app.main, WM_LBUTTONDBLCLK);
        bool shown = WaitFor([&] { return ShownAtCorner(app.main); }, 5000);
        Expect(shown, "[%s]: after the double click: %s", args, Placement(app.main).c_str());
        Expect(ExitByTray(app), "[%s]: still running after the tray's exit", args);
    }
}

KV_E2E_TEST(hidden_panel_comes_back_at_corner)
{
    struct Case {
        const char* name;
        void (*hide)(HWND mainWnd);
    } cases[] = {
        {"Escape key",
         [](HWND w) {
             Require(Foreground(w), "the panel never came to the front");
             SendKey(VK_ESCAPE);
         }},
        {"close box", [](HWND w) { PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    Scratch s;
    App app = StartApp(s.InstallApp(s.Folder("app")), "", s.Root());
    for (const Case& c : cases) {
        PostTray(app.main, WM_LBUTTONDBLCLK);
        Require(WaitFor([&] { return IsWindowVisible(app.main); }, 5000), "%s: the panel did not show", c.name);
        // Away from the corner, so that the next double click must place it anew.
        SetWindowPos(app.main, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        bool moved = WaitFor(
            [&] {
                RECT r = WindowRectOf(app.main);
                return r.left == 100 && r.top == 100;
            },
            3000);
        Require(moved, "%s: cannot move the panel: %s", c.name, Placement(app.main).c_str());

        c.hide(app.main);
        Expect(WaitFor([&] { return !IsWindowVisible(app.main); }, 3000), "%s: the panel stays", c.name);
        PostTray(app.main, WM_LBUTTONDBLCLK);
        bool shown = WaitFor([&] { return ShownAtCorner(app.main); }, 5000);
        Expect(shown, "%s, then double click: %s", c.name, Placement(app.main).c_str());
    }
    Expect(ExitByTray(app), "still running after the tray's exit");
}

KV_E2E_TEST(tray_exit_ends_and_writes_rules)
{
    struct Case {
        const char* name;
        const char* before;  // nullptr: no file
        const char* after;
    } cases[] = {
        {"no file", nullptr, "[SYSTEM]\r\nEXCLUSIONNUM=0\r\n"},
        {"one rule",
         "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=1\r\n"
         "TITLE=表示テスト\r\nPNAME=notepad.exe\r\nTPART=\r\n",
         "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=1\r\n"
         "TITLE=表示テスト\r\nPNAME=notepad.exe\r\nTPART=\r\n"},
    };
    Scratch s;
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        const std::string rules = folder + "\\" + kRulesFile;
        if (c.before)
            WriteBytes(rules, c.before);
        App app = StartApp(s.InstallApp(folder), "", s.Root());
        if (!c.before)
            Expect(!FileExists(rules), "%s: rules written before the exit", c.name);

        PostMessageA(app.main, WM_COMMAND, kCmdTrayExit, 0);
        Require(app.proc.WaitExit(5000), "%s: still running 5 s after the tray's exit", c.name);
        Expect(app.proc.ExitCode() == 0, "%s: exit code %lu", c.name, app.proc.ExitCode());
        std::string written = ReadBytes(rules);
        Expect(written == c.after, "%s: %s holds [%s]", c.name, kRulesFile, written.c_str());
        Expect(!FileExists(folder + "\\" + kSettingsFile), "%s: %s written", c.name, kSettingsFile);
    }
}

KV_E2E_TEST(session_end_message)
{
    struct Case {
        WPARAM ending;
        LPARAM flags;
        bool ends;
    } cases[] = {
        {TRUE, 0, true},
        {TRUE, LPARAM(ENDSESSION_LOGOFF), true},
        {FALSE, LPARAM(ENDSESSION_LOGOFF), false},  // the session end was cancelled after all
        {FALSE, 0, false},
    };
    Scratch s;
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        const std::string rules = folder + "\\" + kRulesFile;
        // The flags are 32 bits wide on either architecture.
        char name[48];
        std::snprintf(name, sizeof name, "WM_ENDSESSION(%u, 0x%x)", unsigned(c.ending), unsigned(c.flags));
        App app = StartApp(s.InstallApp(folder), "", s.Root());
        DWORD_PTR result = 1;
        bool answered =
            SendMessageTimeoutA(app.main, WM_ENDSESSION, c.ending, c.flags, SMTO_ABORTIFHUNG, 5000, &result);
        Expect(answered && result == 0, "%s: answered %d with %lu", name, answered, static_cast<unsigned long>(result));
        if (c.ends) {
            Expect(app.proc.WaitExit(5000), "%s: still running", name);
            Expect(app.proc.ExitCode() == 0, "%s: exit code %lu", name, app.proc.ExitCode());
            Expect(FileExists(rules), "%s: no %s", name, kRulesFile);
        } else {
            Expect(HoldsFor([&] { return app.proc.Running() && IsWindow(app.main); }, 1500), "%s: the program ended",
                   name);
            Expect(!FileExists(rules), "%s: %s written", name, kRulesFile);
            Expect(ExitByTray(app), "%s, then the tray's exit: still running", name);
        }
    }
}

namespace {

// The shell holds an icon of (window, id 0): a modify that changes nothing succeeds only then.
bool TrayIconThere(HWND mainWnd)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = mainWnd;
    return Shell_NotifyIconA(NIM_MODIFY, &nid) != FALSE;
}

bool DeleteTrayIcon(HWND mainWnd)
{
    NOTIFYICONDATAA nid = {};
    nid.cbSize = sizeof(nid);
    nid.hWnd = mainWnd;
    return Shell_NotifyIconA(NIM_DELETE, &nid) != FALSE;
}

// Wine's taskbar draws its icons from the right end, each 4 px wider than a small icon; the
// program's is the only one there.
POINT TrayIconCentre()
{
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    Require(tray != nullptr, "no taskbar");
    const RECT r = WindowRectOf(tray);
    return POINT{r.right - (GetSystemMetrics(SM_CXSMICON) + 4) / 2, (r.top + r.bottom) / 2};
}

HWND VisibleMenu(DWORD pid)
{
    for (HWND hwnd : TopWindows(pid)) {
        if (ClassOf(hwnd) == "#32768" && IsWindowVisible(hwnd))
            return hwnd;
    }
    return nullptr;
}

}  // namespace

KV_E2E_TEST(tray_icon_through_the_shell)
{
    Scratch s;
    const std::string folder = s.Folder("app");
    App app = StartApp(s.InstallApp(folder), "", s.Root());
    Expect(WaitFor([&] { return TrayIconThere(app.main); }, 3000), "no tray icon after start-up");

    // Deleted from outside: IDT_TRAYCHECK adds it again within about a second.
    Require(DeleteTrayIcon(app.main), "cannot delete the icon");
    const DWORD deletedAt = GetTickCount();
    Expect(WaitFor([&] { return TrayIconThere(app.main); }, 3000), "the icon did not come back");
    const DWORD back = GetTickCount() - deletedAt;
    Log("back %lu ms after it was deleted", back);
    Expect(back <= 2000, "the icon came back only %lu ms after it was deleted", back);

    // A new taskbar announces itself: the icon is there again before the message returns.
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    Require(DeleteTrayIcon(app.main), "cannot delete the icon again");
    DWORD_PTR result = 0;
    SendMessageTimeoutA(app.main, taskbarCreated, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
    Expect(TrayIconThere(app.main), "no icon at once after TaskbarCreated");

    // Its right-click menu, opened through the icon on the taskbar: the last item is 終了.
    Require(WaitFor([&] { return TrayIconThere(app.main); }, 3000), "no icon to click");
    ClickAt(TrayIconCentre(), MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    HWND menu = nullptr;
    Require(WaitFor([&] { return (menu = VisibleMenu(app.proc.Pid())) != nullptr; }, 5000),
            "no menu after a right click on the icon at (%ld,%ld)", TrayIconCentre().x, TrayIconCentre().y);
    Expect(!IsWindowVisible(app.main), "the right click showed the panel");
    const RECT m = WindowRectOf(menu);
    ClickAt(POINT{m.left + 20, m.bottom - 8}, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    Require(app.proc.WaitExit(10000), "still running after 終了 in the tray menu");
    Expect(app.proc.ExitCode() == 0, "exit code %lu", app.proc.ExitCode());
    Expect(FileExists(folder + "\\" + kRulesFile), "the exit wrote no %s", kRulesFile);
    Expect(!TrayIconThere(app.main), "the icon stays after the exit");
}

// The process has no thumbnail left while its exit still runs: in debug mode it lingers a second
// after its windows are gone, so the check cannot come too late.
KV_E2E_TEST(exit_leaves_no_thumbnail_behind)
{
    Scratch s;
    Process helper = Start(BuiltFile("kv_helper.exe"),
                           "--title \"exit one\" --pos 300,100 --size 320x240 --window "
                           "--title \"exit two\" --pos 400,300 --size 320x240 --minimized");
    Require(WaitFor([&] { return FindTopWindow(helper.Pid(), nullptr, "exit two") != nullptr; }, 5000),
            "the helper did not open");
    App app = StartApp(s.InstallApp(s.Folder("app")), "-D574", s.Root());
    const DWORD pid = app.proc.Pid();
    Require(WaitFor([&] { return Thumbnails(pid).size() == 2; }, 8000), "%u thumbnails",
            unsigned(Thumbnails(pid).size()));

    PostMessageA(app.main, WM_COMMAND, kCmdTrayExit, 0);
    const bool exiting = WaitFor([&] { return !IsWindow(app.main) || !app.proc.Running(); }, 10000);
    Require(exiting && app.proc.Running(), "the exit was not seen while it ran (main window %s, running %d)",
            IsWindow(app.main) ? "still there" : "gone", app.proc.Running());
    std::string left;
    for (HWND hwnd : TopWindows(pid)) {
        if (IsWindowVisible(hwnd))
            left += " [" + ClassOf(hwnd) + " '" + TextOf(hwnd) + "']";
    }
    Expect(left.empty(), "visible windows left while the exit runs:%s", left.c_str());
    Expect(app.proc.WaitExit(10000), "still running after the exit");
    for (const char* title : {"exit one", "exit two"}) {
        HWND h = FindTopWindow(helper.Pid(), nullptr, title);
        Expect(h && IsWindowVisible(h) && IsWindowEnabled(h), "%s is gone, hidden or disabled after the exit", title);
    }
    Expect(IsIconic(FindTopWindow(helper.Pid(), nullptr, "exit two")), "the parked window is not minimised again");
}

// Closing the debug console: Windows ends the process when the handler returns, so the handler
// first has the exit road save the rules and put the parked window back.
KV_E2E_TEST(debug_console_closed_takes_the_exit_road)
{
    Scratch s;
    const std::string folder = s.Folder("app");
    const RECT normal = {300, 150, 620, 390};
    Process helper =
        Start(BuiltFile("kv_helper.exe"), "--title \"console parked\" --pos 300,150 --size 320x240 --minimized");
    HWND h = nullptr;
    Require(WaitFor([&] { return (h = FindTopWindow(helper.Pid(), nullptr, "console parked")) && IsIconic(h); }, 5000),
            "the helper did not open minimised");
    App app = StartApp(s.InstallApp(folder), "-D574", s.Root());
    const bool parked = WaitFor([&] { return !IsWindowEnabled(h) && WindowRectOf(h).left >= 9000; }, 8000);
    Require(parked, "the helper was not parked: %s", RectText(WindowRectOf(h)).c_str());

    // As Windows delivers a console event: a thread of the process runs CtrlRoutine. Under Wine,
    // GenerateConsoleCtrlEvent refuses CTRL_CLOSE_EVENT, and closing the console window ends the
    // process without calling any handler.
    FARPROC ctrlRoutine = GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine");
    Require(ctrlRoutine != nullptr, "no CtrlRoutine in kernelbase.dll");
    const auto routine = reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void (*)()>(ctrlRoutine));
    HANDLE thread = CreateRemoteThread(app.proc.Handle(), nullptr, 0, routine,
                                       reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(CTRL_CLOSE_EVENT)), 0, nullptr);
    Require(thread != nullptr, "cannot start CtrlRoutine in the program (error %lu)", GetLastError());
    CloseHandle(thread);
    Require(app.proc.WaitExit(10000), "still running after its console was closed");

    const std::string rules = ReadBytes(folder + "\\" + kRulesFile);
    Expect(rules == "[SYSTEM]\r\nEXCLUSIONNUM=0\r\n", "%s holds [%s]", kRulesFile, rules.c_str());
    Expect(WaitFor([&] { return IsIconic(h) && IsWindowEnabled(h); }, 3000), "the helper is not back: %s, %s",
           RectText(WindowRectOf(h)).c_str(), IsWindowEnabled(h) ? "enabled" : "disabled");
    PostMessageA(h, WM_SYSCOMMAND, SC_RESTORE, 0);
    Expect(WaitFor([&] { return !IsIconic(h) && SameRect(WindowRectOf(h), normal); }, 3000),
           "restored to %s, expected %s", RectText(WindowRectOf(h)).c_str(), RectText(normal).c_str());
}
