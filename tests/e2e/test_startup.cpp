// Start-up: one instance only, the command-line switches, the program's own folder.
#include <cstring>
#include <string>
#include <vector>

#include "e2e.h"

using namespace kv;

namespace {

const std::string kDebugBanner = "********** Start Kestrova DEBUG MODE  *******";
const std::string kRulesFile = "ExclusionData.ini";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The debug console's text once the start-up traces are on it; false when the process has no console.
bool DebugConsole(const App& app, std::string* text)
{
    if (!ReadConsoleOf(app.proc.Pid(), text))
        return false;
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
        {"-D574 -LAYERED", true, true},  {"-LAYERED -D574", true, true},   {"-D574 -LAYERED -LAYERED", true, true},
        {"-D574 -layered", true, false}, {"-D574 -LAYEREDX", true, false}, {"-D574 /LAYERED", true, false},
        {"-D574 LAYERED", true, false},  {"-LAYERED", false, true},        {"-layered", false, false},
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
    if (!letterSeen)
        Log("the control page shows no mode letter yet: LayeredMode checked through the trace only");
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

// Started by bare name through PATH from another folder, the program still finds its folder: argv[0]
// holds no folder then.
KV_E2E_TEST(started_by_bare_name_through_path)
{
    Scratch s;
    const std::string folder = s.Folder("app");
    const std::string elsewhere = s.Folder("elsewhere");
    // A name of its own, so that the search finds no other copy first.
    s.InstallApp(folder, "KvPathStart.exe");
    // LF line ends: the exit writes the file anew, with CR LF.
    WriteBytes(folder + "\\" + kRulesFile, "[SYSTEM]\nEXCLUSIONNUM=0\n");
    WriteBytes(folder + "\\Kestrova.ini", "[SYSTEM]\r\nTRANSPARENT=80\r\n");

    std::vector<char> path(32767, 0);
    GetEnvironmentVariableA("PATH", path.data(), static_cast<DWORD>(path.size()));
    const std::string oldPath = path.data();
    SetEnvironmentVariableA("PATH", (folder + ";" + oldPath).c_str());
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi = {};
    char command[] = "KvPathStart";
    const BOOL started = CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                                        elsewhere.c_str(), &si, &pi);
    const DWORD error = GetLastError();
    SetEnvironmentVariableA("PATH", oldPath.c_str());
    CloseHandle(nul);
    Require(started, "cannot start KvPathStart through PATH (error %lu)", error);
    CloseHandle(pi.hThread);
    struct Killer {
        HANDLE process;
        ~Killer() { TerminateProcess(process, 1); }
    } killer = {pi.hProcess};
    App app;
    app.proc = Process(pi.hProcess, pi.dwProcessId);
    Require(WaitFor([&] { return (app.main = MainWindowOf(pi.dwProcessId)) != nullptr; }, 15000), "no main window");

    Require(app.proc.WaitIdle(10000), "KvPathStart never went idle");
    HWND transparency = nullptr;
    WaitFor([&] { return (transparency = FindDescendant(app.main, 1025)) != nullptr; }, 5000);
    Expect(transparency && WaitFor([&] { return TextOf(transparency) == "80"; }, 3000),
           "the settings beside the program were not read: TRANSPARENT shows [%s]",
           transparency ? TextOf(transparency).c_str() : "no label");
    Require(ExitByTray(app), "still running after the tray's exit");
    Expect(ReadBytes(folder + "\\" + kRulesFile) == "[SYSTEM]\r\nEXCLUSIONNUM=0\r\n",
           "%s beside the program holds [%s]", kRulesFile.c_str(), ReadBytes(folder + "\\" + kRulesFile).c_str());
    const std::vector<std::string> stray = ListFolder(elsewhere);
    Expect(stray.empty(), "%u files written in the folder it was started from, the first [%s]", unsigned(stray.size()),
           stray.empty() ? "" : stray[0].c_str());
}
