// Start-up: one instance only, the command-line switches, the program's own folder.
#include <cstring>
#include <string>

#include "e2e.h"

using namespace kv;

namespace {

const std::string kDebugBanner = "********** Start Kestrova DEBUG MODE  *******";
const std::string kRulesFile = "ExclusionData.ini";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The debug console's text once the start-up traces are on it; false when the process has no console.
bool DebugConsole(const App& app, std::string* text)
{
    if (!ReadConsoleOf(app.proc.Pid(), text)) return false;
    WaitFor([&] { return ReadConsoleOf(app.proc.Pid(), text) && Contains(*text, "CurrentDir="); }, 5000);
    return true;
}

// The first of the control page's mode letters, 0 while the page does not show them.
char ModeLetter(HWND mainWnd)
{
    HWND letters = FindDescendant(mainWnd, kModeLetterId);
    std::string text = letters ? TextOf(letters) : std::string();
    return text.empty() ? 0 : text[0];
}

void ExpectCleanExit(const App& app, const char* what)
{
    if (Expect(ExitByTray(app), "%s: still running after the tray's exit", what)) {
        Expect(app.proc.ExitCode() == 0, "%s: exit code %lu", what, app.proc.ExitCode());
    }
}

}  // namespace

KV_E2E_TEST(second_start_shows_box_and_first_runs_on)
{
    Scratch s;
    App first = StartApp(s.InstallApp(s.Folder("first")), "", s.Root());

    // From another folder: the instance is one per session, not one per folder.
    const std::string secondFolder = s.Folder("second");
    Process second = Start(s.InstallApp(secondFolder), "", s.Root());
    HWND box = WaitMessageBox(second.Pid(), "２重起動", 10000);
    Require(box != nullptr, "no box captioned 2重起動 from the second copy (running: %d)", second.Running());
    Expect(MessageBoxText(box) == "     Kestrovaは既に起動されています.     ", "box text [%s]",
           MessageBoxText(box).c_str());
    Expect(!MainWindowOf(second.Pid()), "the second copy made a main window");
    Expect(!ReadConsoleOf(second.Pid(), nullptr), "the second copy opened a console");

    PressButton(box, IDOK);
    Require(second.WaitExit(5000), "the second copy runs on after OK");
    auto files = ListFolder(secondFolder);
    Expect(files.size() == 1, "the second copy left %u files in its folder", unsigned(files.size()));

    Expect(first.proc.Running() && IsWindow(first.main), "the first copy did not run on");
    ExpectCleanExit(first, "first copy");
}

KV_E2E_TEST(debug_switch_needs_exact_argument)
{
    struct Case {
        const char* args;
        bool console;
    } cases[] = {
        {"", false},
        {"-D574", true},
        {"\"-D574\"", true},  // the quotes belong to the command line, not to the argument
        {"other -D574 words", true},
        {"-d574", false},
        {"-D5745", false},
        {"/D574", false},
        {"D574", false},
        {"\"-D574 \"", false},
    };
    Scratch s;
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        App app = StartApp(s.InstallApp(folder), c.args, s.Root());
        std::string text;
        bool console = DebugConsole(app, &text);
        Expect(console == c.console, "[%s]: console %s", c.args, console ? "opened" : "missing");
        if (console && c.console) {
            for (const std::string& line : {kDebugBanner, std::string("DEBUG_MODE ON"),
                                            std::string("PORTABLE VERSION START"), "CurrentDir=" + folder}) {
                Expect(Contains(text, line), "[%s]: console lacks [%s]; it shows [%s]", c.args, line.c_str(),
                       text.c_str());
            }
            Expect(!Contains(text, "LAYERED_MODE ON"), "[%s]: layered mode is on", c.args);
        }
        Expect(!IsWindowVisible(app.main), "[%s]: the main window shows after start-up", c.args);
        ExpectCleanExit(app, c.args);
    }
}

KV_E2E_TEST(layered_switch_needs_exact_argument)
{
    // LayeredMode shows as the trace "LAYERED_MODE ON" in debug mode and as the mode letter L on one monitor.
    struct Case {
        const char* args;
        bool debug;
        bool layered;
    } cases[] = {
        {"-D574 -LAYERED", true, true},
        {"-LAYERED -D574", true, true},
        {"-D574 -LAYERED -LAYERED", true, true},
        {"-D574 -layered", true, false},
        {"-D574 -LAYEREDX", true, false},
        {"-D574 /LAYERED", true, false},
        {"-D574 LAYERED", true, false},
        {"-LAYERED", false, true},
        {"-layered", false, false},
    };
    Scratch s;
    int n = 0;
    bool letterSeen = false;
    for (const Case& c : cases) {
        App app = StartApp(s.InstallApp(s.Folder("case" + std::to_string(n++))), c.args, s.Root());
        std::string text;
        bool console = DebugConsole(app, &text);
        Expect(console == c.debug, "[%s]: console %s", c.args, console ? "opened" : "missing");
        if (console && c.debug) {
            Expect(Contains(text, "DEBUG_MODE ON"), "[%s]: no DEBUG_MODE ON in [%s]", c.args, text.c_str());
            Expect(Contains(text, "LAYERED_MODE ON") == c.layered, "[%s]: LAYERED_MODE ON %s", c.args,
                   c.layered ? "missing" : "shown");
        }
        if (char letter = ModeLetter(app.main)) {
            letterSeen = true;
            Expect(letter == (c.layered ? 'L' : 'P'), "[%s]: mode letter %c", c.args, letter);
        }
        ExpectCleanExit(app, c.args);
    }
    if (!letterSeen) Log("the control page shows no mode letter yet: LayeredMode checked through the trace only");
}

KV_E2E_TEST(runs_in_dbcs_folder)
{
    // 表 and ソ end in 0x5C, the backslash's byte.
    Require(!strcmp("表示", "\x95\x5c\x8e\xa6"), "sources are not compiled to CP932");
    struct Case {
        const char* folder;
        const char* exe;
        const char* args;
    } cases[] = {
        {"表示", "Kestrova.exe", ""},
        {"表示\\ソフト", "Kestrova.exe", "-D574"},
        // 表's 0x5C is the last in the path: a byte-wise search takes the folder as 表\ソフト plus a lead byte.
        {"表", "ソフト表示.exe", ""},
    };
    Scratch s;
    for (const Case& c : cases) {
        const std::string folder = s.Folder(c.folder);
        // Started from the scratch root: only the program's own folder change puts its files beside it.
        // Wine's console garbles DBCS trace text, so the folder is judged by where the files land.
        App app = StartApp(s.InstallApp(folder, c.exe), c.args, s.Root());
        ExpectCleanExit(app, c.folder);
        Expect(FileExists(folder + "\\" + kRulesFile), "[%s]: no %s in the program's folder", c.folder,
               kRulesFile.c_str());
        Expect(!FileExists(s.Root() + "\\" + kRulesFile), "[%s]: %s written in the start folder", c.folder,
               kRulesFile.c_str());
        DeleteFileA((s.Root() + "\\" + kRulesFile).c_str());
    }
}
