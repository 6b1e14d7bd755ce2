// The hidden main panel, its tray road and the ways the program ends.
#include <string>

#include "e2e.h"

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
        if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != "#32770") continue;
        list += (list.empty() ? "'" : ", '") + TextOf(hwnd) + "' " + RectText(WindowRectOf(hwnd));
    }
    return list;
}

bool ShownAtCorner(HWND hwnd) { return IsWindowVisible(hwnd) && AtCorner(hwnd); }

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
        {"Escape key", [](HWND w) { Require(Foreground(w), "the panel never came to the front"); SendKey(VK_ESCAPE); }},
        {"close box", [](HWND w) { PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    Scratch s;
    App app = StartApp(s.InstallApp(s.Folder("app")), "", s.Root());
    for (const Case& c : cases) {
        PostTray(app.main, WM_LBUTTONDBLCLK);
        Require(WaitFor([&] { return IsWindowVisible(app.main); }, 5000), "%s: the panel did not show", c.name);
        // Away from the corner, so that the next double click must place it anew.
        SetWindowPos(app.main, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        bool moved = WaitFor([&] { RECT r = WindowRectOf(app.main); return r.left == 100 && r.top == 100; }, 3000);
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
        if (c.before) WriteBytes(rules, c.before);
        App app = StartApp(s.InstallApp(folder), "", s.Root());
        if (!c.before) Expect(!FileExists(rules), "%s: rules written before the exit", c.name);

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
        App app = StartApp(s.InstallApp(folder), "", s.Root());
        DWORD_PTR result = 1;
        bool answered = SendMessageTimeoutA(app.main, WM_ENDSESSION, c.ending, c.flags, SMTO_ABORTIFHUNG, 5000,
                                            &result);
        Expect(answered && result == 0, "WM_ENDSESSION(%u, 0x%lx): answered %d with %lu", unsigned(c.ending),
               c.flags, answered, static_cast<unsigned long>(result));
        if (c.ends) {
            Expect(app.proc.WaitExit(5000), "WM_ENDSESSION(%u, 0x%lx): still running", unsigned(c.ending), c.flags);
            Expect(app.proc.ExitCode() == 0, "WM_ENDSESSION(%u, 0x%lx): exit code %lu", unsigned(c.ending), c.flags,
                   app.proc.ExitCode());
            Expect(FileExists(rules), "WM_ENDSESSION(%u, 0x%lx): no %s", unsigned(c.ending), c.flags, kRulesFile);
        } else {
            Expect(HoldsFor([&] { return app.proc.Running() && IsWindow(app.main); }, 1500),
                   "WM_ENDSESSION(%u, 0x%lx): the program ended", unsigned(c.ending), c.flags);
            Expect(!FileExists(rules), "WM_ENDSESSION(%u, 0x%lx): %s written", unsigned(c.ending), c.flags,
                   kRulesFile);
            Expect(ExitByTray(app), "WM_ENDSESSION(%u, 0x%lx), then the tray's exit: still running",
                   unsigned(c.ending), c.flags);
        }
    }
}
