// Window tracking seen from outside: the debug console's AddWindow and DelWindow traces for helper
// windows, suspend and resume, the rules file at exit, and the exclusion list page's commands.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "e2e.h"

#include <commctrl.h>

using namespace kv;

namespace {

const char kRulesFile[] = "ExclusionData.ini";
const char kHelperClass[] = "KvHelperWindow";
const int kDetectionList = 1000;  // on the detection page
const DWORD kTick = 1000;
// One tick to the next scan, with room for a loaded machine.
const DWORD kNextScan = 2500;
// Consecutive additions come a tick apart; less than this means two in one tick.
const DWORD kMinAdditionGap = 600;

// ---- traces on Kestrova's debug console ----

struct Trace {
    std::string kind;  // "AddWindow", "DelWindow", "goSuspend" or "returnSuspend"
    std::string title;
    std::string exe;
    DWORD seenAt;  // when the harness first saw it
};

// The console holds rows of fixed width: a wrapped line runs on into the next row, and the rows
// are padded with blanks. Titles here are ASCII, since Wine's console garbles DBCS text.
std::vector<Trace> ParseTraces(const std::string& text)
{
    static const struct {
        const char* marker;
        const char* kind;
        bool window;
    } kMarkers[] = {
        {"AddWindow() title=", "AddWindow", true},
        {"DelWindow() title=", "DelWindow", true},
        {"CControlDlg::goSuspend()", "goSuspend", false},
        {"CWinListDlg::returnSuspend()", "returnSuspend", false},
    };
    std::vector<Trace> traces;
    size_t pos = 0;
    for (;;) {
        size_t best = std::string::npos;
        int which = -1;
        for (int i = 0; i < 4; ++i) {
            const size_t at = text.find(kMarkers[i].marker, pos);
            if (at < best)
                best = at, which = i;
        }
        if (which < 0)
            return traces;
        Trace t{kMarkers[which].kind, "", "", 0};
        pos = best + strlen(kMarkers[which].marker);
        if (kMarkers[which].window) {
            const size_t exeAt = text.find(", exe=", pos);
            const size_t extAt = exeAt == std::string::npos ? exeAt : text.find(".exe", exeAt);
            if (extAt == std::string::npos)
                return traces;  // still being written
            t.title = text.substr(pos, exeAt - pos);
            t.exe = text.substr(exeAt + 6, extAt + 4 - (exeAt + 6));
            pos = extAt + 4;
        }
        traces.push_back(t);
    }
}

class Traces {
public:
    explicit Traces(DWORD pid) : m_pid(pid), m_lastChange(GetTickCount()) {}

    void Poll()
    {
        std::string text;
        if (!ReadConsoleOf(m_pid, &text))
            return;
        std::vector<Trace> now = ParseTraces(text);
        Require(now.size() >= m_all.size(), "the console lost traces: %u seen, %u now", unsigned(m_all.size()),
                unsigned(now.size()));
        for (size_t i = m_all.size(); i < now.size(); ++i) {
            now[i].seenAt = GetTickCount();
            m_all.push_back(now[i]);
            m_lastChange = now[i].seenAt;
        }
    }

    // After Poll: the traces of kind, of windows of exe when exe is given.
    std::vector<Trace> Of(const char* kind, const std::string& exe = "") const
    {
        std::vector<Trace> found;
        for (const Trace& t : m_all) {
            if (t.kind == kind && (exe.empty() || t.exe == exe))
                found.push_back(t);
        }
        return found;
    }

    size_t Count(const char* kind, const std::string& exe = "")
    {
        Poll();
        return Of(kind, exe).size();
    }

    // Waits for n traces of kind (of exe's windows when exe is given); on time-out, records a
    // failure that lists what was seen, and returns false.
    bool Await(const char* kind, const std::string& exe, size_t n, DWORD timeoutMs, const char* what)
    {
        if (WaitFor([&] { return Count(kind, exe) >= n; }, timeoutMs))
            return true;
        Expect(false, "%s: %u of %u %s traces%s%s in %lu ms; seen:%s", what, unsigned(Count(kind, exe)), unsigned(n),
               kind, exe.empty() ? "" : " of ", exe.c_str(), timeoutMs, Text().c_str());
        return false;
    }

    // No trace for longer than a tick: nothing is pending, and the last tick scanned.
    void WaitQuiet()
    {
        bool quiet = WaitFor(
            [&] {
                Poll();
                return GetTickCount() - m_lastChange > kTick + 500;
            },
            15000);
        Require(quiet, "tracking never settled: %s", Text().c_str());
    }

    std::string Text() const
    {
        std::string text;
        for (const Trace& t : m_all)
            text += "\n    " + t.kind + " [" + t.title + "] " + t.exe;
        return text.empty() ? " (none)" : text;
    }

    size_t Size() const { return m_all.size(); }
    const Trace& operator[](size_t i) const { return m_all[i]; }

private:
    DWORD m_pid;
    std::vector<Trace> m_all;
    DWORD m_lastChange;
};

std::string Titles(const std::vector<Trace>& traces)
{
    std::string s;
    for (const Trace& t : traces)
        s += (s.empty() ? "" : ", ") + t.title;
    return "[" + s + "]";
}

// Additions one per tick: no two closer than a tick, none after a long gap.
void ExpectOnePerTick(const std::vector<Trace>& adds, const char* what)
{
    for (size_t i = 1; i < adds.size(); ++i) {
        const DWORD gap = adds[i].seenAt - adds[i - 1].seenAt;
        Expect(gap >= kMinAdditionGap && gap <= kNextScan, "%s: %s came %lu ms after %s", what, adds[i].title.c_str(),
               gap, adds[i - 1].title.c_str());
    }
}

// ---- helper windows ----

App StartTracking(const Scratch& s)
{
    return StartApp(s.InstallApp(s.Folder("app")), "-D574", s.Root());
}

Process StartHelper(const Scratch& s, const std::string& exe, const std::string& args)
{
    return Start(s.InstallHelper(s.Folder("helpers"), exe), args);
}

// The helper's windows in the order EnumWindows gives them, which is the order of a scan.
std::vector<std::string> HelperTitles(const Process& helper)
{
    std::vector<std::string> titles;
    for (HWND hwnd : TopWindows(helper.Pid())) {
        if (ClassOf(hwnd) == kHelperClass)
            titles.push_back(TextOf(hwnd));
    }
    return titles;
}

HWND WaitHelperWindow(const Process& helper)
{
    HWND hwnd = nullptr;
    WaitFor([&] { return (hwnd = FindTopWindow(helper.Pid(), kHelperClass, nullptr)) != nullptr; }, 10000);
    return hwnd;
}

int Width(HWND hwnd)
{
    RECT r = WindowRectOf(hwnd);
    return r.right - r.left;
}

// ---- the rules file ----

const char kCanonicalRules[] =
    "[SYSTEM]\r\nEXCLUSIONNUM=3\r\n"
    "[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\nTITLE=表示テスト\r\nPNAME=notepad.exe\r\nTPART=\r\n"
    "[ITEM1]\r\nTITLEFLAG=5\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=0\r\nTITLE=kv second\r\nPNAME=\r\nTPART=second\r\n"
    "[ITEM2]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\nTITLE=\" padded \"\r\nPNAME=kv.exe\r\nTPART=\r\n";

const char kFirstRule[] =
    "[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\nTITLE=kv first\r\nPNAME=first.exe\r\nTPART=\r\n";
const char kSecondRule[] =
    "[ITEM1]\r\nTITLEFLAG=0\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=0\r\nTITLE=kv second\r\nPNAME=second.exe\r\nTPART=sec\r\n";

// Writes the first and the second rule as the rules file in folder; returns the file's path.
std::string WriteTwoRules(const std::string& folder)
{
    const std::string rules = folder + "\\" + kRulesFile;
    WriteBytes(rules, std::string("[SYSTEM]\r\nEXCLUSIONNUM=2\r\n") + kFirstRule + kSecondRule);
    return rules;
}

std::string DefaultRule(int index)
{
    return "[ITEM" + std::to_string(index) +
           "]\r\nTITLEFLAG=0\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=0\r\nTITLE=\r\nPNAME=\r\nTPART=\r\n";
}

// ---- the exclusion list page and message boxes ----

const int kRuleList = 1031;
const int kTitleState = 1001;
const int kProcessState = 1052;
const int kMatchKind = 1043;
const int kTitlePattern = 1036;
const int kDeleteButton = 1042;
const COLORREF kYellow = RGB(255, 255, 180);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kRed = RGB(255, 0, 0);

// A message box of the program: a visible dialog other than the main window with a box's text.
HWND WaitBox(const App& app, DWORD timeoutMs)
{
    HWND box = nullptr;
    WaitFor(
        [&] {
            box = nullptr;
            for (HWND hwnd : TopWindows(app.proc.Pid())) {
                if (hwnd != app.main && IsWindowVisible(hwnd) && ClassOf(hwnd) == "#32770" && GetDlgItem(hwnd, 0xFFFF))
                    box = hwnd;
            }
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

// GetWindowText does not ask another process's edit control for its text; WM_GETTEXT does.
std::string ControlText(HWND control)
{
    char buf[512] = "";
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, sizeof(buf), reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000,
                        &copied);
    return buf;
}

// The colour a control's background shows on the screen, beside its centred text.
COLORREF BackgroundOf(HWND control)
{
    RECT r = WindowRectOf(control);
    HDC screen = GetDC(nullptr);
    const COLORREF color = GetPixel(screen, r.left + 4, (r.top + r.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return color;
}

int RowCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

// The exclusion list page of a panel opened by the tray's double click.
struct RulePage {
    HWND list;
    HWND page;
    std::string Detail(int id) const { return ControlText(GetDlgItem(page, id)); }
};

RulePage ShowRulePage(const App& app)
{
    PostTray(app.main, WM_LBUTTONDBLCLK);
    Require(WaitFor([&] { return IsWindowVisible(app.main) != FALSE; }, 5000), "the panel did not show");
    Require(Foreground(app.main), "the panel never came to the front");
    HWND list = FindDescendant(app.main, kRuleList);
    Require(list != nullptr, "no rule list");
    return RulePage{list, GetParent(list)};
}

void ClickFirstRow(const RulePage& p)
{
    RECT header = WindowRectOf(FindWindowExA(p.list, nullptr, "SysHeader32", nullptr));
    ClickAt(POINT{WindowRectOf(p.list).left + 20, header.bottom + 4}, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
}

}  // namespace

KV_E2E_TEST(filters_decide_what_is_tracked)
{
    const char* kSmall = "--style popup|caption|sysmenu|minimizebox --size 0x200";
    struct Case {
        const char* exe;  // traces are matched by the process name
        std::string args;
        bool tracked;
        bool (*fixture)(HWND);  // the window is what the case says
    } cases[] = {
        {"kvplain.exe", "--title \"kv plain\"", true, [](HWND w) { return IsWindowVisible(w) != FALSE; }},
        {"kvminimised.exe", "--title \"kv minimised\" --minimized", true, [](HWND w) { return IsIconic(w) != FALSE; }},
        {"kvlowerpm.exe", "--title \"program manager\"", true, [](HWND w) { return TextOf(w) == "program manager"; }},
        {"kvprogman.exe", "--title \"Program Manager\"", false, [](HWND w) { return TextOf(w) == "Program Manager"; }},
        {"kvnotitle.exe", "--title \"\"", false, [](HWND w) { return TextOf(w).empty(); }},
        {"kvnominbox.exe", "--title \"kv no minimise box\" --nominbox", false,
         [](HWND w) { return !(StyleOf(w) & WS_MINIMIZEBOX); }},
        {"kvhidden.exe", "--title \"kv hidden\" --hidden", false, [](HWND w) { return !IsWindowVisible(w); }},
        {"kvzerowide.exe", std::string("--title \"kv zero width\" ") + kSmall, false,
         [](HWND w) { return IsWindowVisible(w) && !IsIconic(w) && Width(w) == 0; }},
        // Wine shows other processes a window's current rectangle as its normal one, so the helper
        // makes a zero-wide window iconic by its style, and both rectangles are zero-wide.
        {"kvzeronormal.exe", std::string("--title \"kv zero normal\" --late-style minimize ") + kSmall, false,
         [](HWND w) { return IsIconic(w) && Width(w) == 0; }},
    };
    Scratch s;
    App app = StartTracking(s);
    Traces traces(app.proc.Pid());
    traces.WaitQuiet();

    std::vector<Process> helpers;
    for (const Case& c : cases)
        helpers.push_back(StartHelper(s, c.exe, c.args));
    size_t tracked = 0;
    for (size_t i = 0; i < helpers.size(); ++i) {
        HWND hwnd = WaitHelperWindow(helpers[i]);
        // The helper shows and restyles its window after creating it.
        const bool ready = hwnd && WaitFor([&] { return cases[i].fixture(hwnd); }, 5000);
        Require(ready, "%s: the helper window is not as the case needs (style 0x%08lx, %s)", cases[i].exe,
                hwnd ? StyleOf(hwnd) : 0, hwnd ? RectText(WindowRectOf(hwnd)).c_str() : "none");
        tracked += cases[i].tracked ? 1 : 0;
    }

    for (const Case& c : cases) {
        if (c.tracked)
            traces.Await("AddWindow", c.exe, 1, kTick * (tracked + 1) + kNextScan, "a window that qualifies");
    }
    // Two scans more with every window in place.
    traces.WaitQuiet();
    for (const Case& c : cases) {
        const size_t adds = traces.Count("AddWindow", c.exe);
        Expect(adds == (c.tracked ? 1u : 0u), "%s: added %u times", c.exe, unsigned(adds));
    }
    const size_t gone = traces.Count("DelWindow");
    Expect(gone == 0, "windows reported gone: %s", traces.Text().c_str());
}

KV_E2E_TEST(own_windows_are_never_tracked)
{
    Scratch s;
    int n = 0;
    // Renamed, only the process id tells the program's windows from others.
    for (const char* exe : {"Kestrova.exe", "kvrenamed.exe"}) {
        App app = StartApp(s.InstallApp(s.Folder("case" + std::to_string(n++)), exe), "-D574", s.Root());
        Traces traces(app.proc.Pid());
        PostTray(app.main, WM_LBUTTONDBLCLK);
        Require(WaitFor([&] { return IsWindowVisible(app.main) != FALSE; }, 5000), "%s: the panel did not show", exe);
        Require(StyleOf(app.main) & WS_MINIMIZEBOX, "%s: the panel has no minimise box", exe);
        auto ours = [&] {
            traces.Poll();
            for (const Trace& t : traces.Of("AddWindow")) {
                if (t.exe == exe || t.title == "Kestrova")
                    return true;
            }
            return false;
        };
        const bool never = HoldsFor([&] { return !ours(); }, kTick * 3);
        Expect(never, "%s: its own window tracked: %s", exe, traces.Text().c_str());
        Expect(ExitByTray(app), "%s: still running after the tray's exit", exe);
    }
}

KV_E2E_TEST(window_that_stops_qualifying_is_reported_gone)
{
    struct Case {
        const char* exe;
        void (*leave)(HWND);
        void (*back)(HWND);  // nullptr: it does not come back
    } cases[] = {
        {"kvclosed.exe", [](HWND w) { PostMessageA(w, WM_CLOSE, 0, 0); }, nullptr},
        {"kvhidden.exe", [](HWND w) { ShowWindow(w, SW_HIDE); }, [](HWND w) { ShowWindow(w, SW_SHOWNOACTIVATE); }},
        {"kvretitled.exe", [](HWND w) { SetWindowTextA(w, "Program Manager"); },
         [](HWND w) { SetWindowTextA(w, "kv leaving"); }},
    };
    Scratch s;
    App app = StartTracking(s);
    Traces traces(app.proc.Pid());
    for (const Case& c : cases) {
        traces.WaitQuiet();
        Process helper = StartHelper(s, c.exe, "--title \"kv leaving\"");
        HWND hwnd = WaitHelperWindow(helper);
        Require(hwnd != nullptr, "%s: no window", c.exe);
        traces.Await("AddWindow", c.exe, 1, kNextScan, "a new window, after it showed");

        c.leave(hwnd);
        traces.Await("DelWindow", c.exe, 1, kNextScan, "the window, after it stopped qualifying");
        if (c.back) {
            c.back(hwnd);
            traces.Await("AddWindow", c.exe, 2, kNextScan, "the window, after it qualified again");
        }
        traces.WaitQuiet();
        const size_t adds = traces.Count("AddWindow", c.exe), dels = traces.Count("DelWindow", c.exe);
        Expect(adds == (c.back ? 2u : 1u) && dels == 1, "%s: reported %u times added and %u times gone", c.exe,
               unsigned(adds), unsigned(dels));
    }
}

KV_E2E_TEST(new_windows_handed_on_one_per_tick)
{
    const std::string exe = "kvbatch.exe";
    Scratch s;
    // Open before the program starts, so that its first scan finds them all.
    Process helper = StartHelper(s, exe,
                                 "--title \"kv batch 1\" --window --title \"kv batch 2\" "
                                 "--window --title \"kv batch 3\" --window --title \"kv batch 4\"");
    Require(WaitFor([&] { return HelperTitles(helper).size() == 4; }, 10000), "the helper's windows did not open");
    const std::vector<std::string> zOrder = HelperTitles(helper);

    App app = StartTracking(s);
    Traces traces(app.proc.Pid());
    traces.Await("AddWindow", exe, 4, kTick * 6 + kNextScan, "four windows of the first scan");
    traces.WaitQuiet();

    const std::vector<Trace> adds = traces.Of("AddWindow", exe);
    std::vector<std::string> order;
    for (const Trace& t : adds)
        order.push_back(t.title);
    Expect(order == zOrder, "added %s; the scan order is [%s, %s, %s, %s]", Titles(adds).c_str(), zOrder[0].c_str(),
           zOrder[1].c_str(), zOrder[2].c_str(), zOrder[3].c_str());
    ExpectOnePerTick(adds, "first scan");
}

KV_E2E_TEST(closed_window_goes_while_many_are_pending)
{
    const std::string exe = "kvmany.exe";
    const int kWindows = 24;
    std::string args;
    for (int i = 0; i < kWindows; ++i)
        args += std::string(i ? " --window" : "") + " --noactivate --title \"kv many " + std::to_string(i) + "\"";
    Scratch s;
    Process helper = StartHelper(s, exe, args);
    Require(WaitFor([&] { return HelperTitles(helper).size() == size_t(kWindows); }, 15000),
            "the helper's windows did not open");

    App app = StartTracking(s);
    Traces traces(app.proc.Pid());
    if (!traces.Await("AddWindow", exe, 1, kTick + kNextScan, "the first scan"))
        return;
    traces.Poll();
    const std::string first = traces.Of("AddWindow", exe)[0].title;
    HWND window = FindTopWindow(helper.Pid(), kHelperClass, first.c_str());
    Require(window != nullptr, "no window titled [%s]", first.c_str());

    // Without a check at every tick, the removal would wait for the scan after all 23 deliveries.
    PostMessageA(window, WM_CLOSE, 0, 0);
    Require(WaitFor([&] { return !IsWindow(window); }, 5000), "[%s] did not close", first.c_str());
    const DWORD closedAt = GetTickCount();
    const bool gone = WaitFor(
        [&] {
            for (const Trace& t : (traces.Poll(), traces.Of("DelWindow", exe)))
                if (t.title == first)
                    return true;
            return false;
        },
        kTick * 2 + kNextScan);
    Expect(gone, "[%s] not reported gone %lu ms after it closed; seen:%s", first.c_str(), GetTickCount() - closedAt,
           traces.Text().c_str());
    Expect(traces.Count("AddWindow", exe) < size_t(kWindows) - 2, "the additions were no longer pending");
    Expect(traces.Count("DelWindow", exe) == 1, "other windows reported gone:%s", traces.Text().c_str());
}

KV_E2E_TEST(suspend_reports_all_gone_and_resume_brings_them_back)
{
    const std::string exe = "kvsuspend.exe";
    Scratch s;
    Process helper =
        StartHelper(s, exe, "--title \"kv one\" --window --title \"kv two\" --window --title \"kv three\"");
    Require(WaitFor([&] { return HelperTitles(helper).size() == 3; }, 10000), "the helper's windows did not open");
    std::vector<std::string> titles = HelperTitles(helper);
    std::sort(titles.begin(), titles.end());

    App app = StartTracking(s);
    Traces traces(app.proc.Pid());
    if (!traces.Await("AddWindow", exe, 1, kTick + kNextScan, "the first scan"))
        return;

    // At once, while the other two wait for their ticks.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(app.main, WM_POWERBROADCAST, PBT_APMSUSPEND, 0, SMTO_ABORTIFHUNG, 5000, &result);
    const size_t delivered = traces.Count("AddWindow", exe);
    if (delivered == titles.size())
        Log("all windows were delivered before the suspend: none was pending");
    if (!traces.Await("goSuspend", "", 1, 2000, "the suspend"))
        return;

    // Every window of the helper, pending ones included, once, after the suspend's own trace.
    traces.Poll();
    std::vector<std::string> gone;
    bool suspended = false;
    for (size_t i = 0; i < traces.Size(); ++i) {
        suspended = suspended || traces[i].kind == "goSuspend";
        if (traces[i].kind == "DelWindow" && traces[i].exe == exe) {
            Expect(suspended, "%s reported gone before the suspend", traces[i].title.c_str());
            gone.push_back(traces[i].title);
        }
    }
    std::sort(gone.begin(), gone.end());
    Expect(gone == titles, "the suspend reported %u of the 3 windows gone (%u had been added): %s",
           unsigned(gone.size()), unsigned(delivered), traces.Text().c_str());

    const size_t allAdds = traces.Count("AddWindow");
    const bool idle = HoldsFor([&] { return traces.Count("AddWindow") == allAdds; }, kTick * 2 + 500);
    Expect(idle, "windows added while suspended: %s", traces.Text().c_str());

    const size_t before = traces.Count("AddWindow", exe);
    SendMessageTimeoutA(app.main, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0, SMTO_ABORTIFHUNG, 5000, &result);
    traces.Await("returnSuspend", "", 1, 2000, "the resume");
    traces.Await("AddWindow", exe, before + 3, kTick * 5 + kNextScan, "every window back after the resume");
    traces.WaitQuiet();
    std::vector<Trace> back = traces.Of("AddWindow", exe);
    back.erase(back.begin(), back.begin() + before);
    std::vector<std::string> backTitles;
    for (const Trace& t : back)
        backTitles.push_back(t.title);
    std::sort(backTitles.begin(), backTitles.end());
    Expect(backTitles == titles, "after resume: %s", Titles(back).c_str());
    ExpectOnePerTick(back, "after resume");
}

KV_E2E_TEST(debug_page_lists_tracked_windows)
{
    const std::string exe = "kvlisted.exe";
    Scratch s;
    Process helper = StartHelper(s, exe, "--title \"kv listed 1\" --window --title \"kv listed 2\"");
    Require(WaitFor([&] { return HelperTitles(helper).size() == 2; }, 10000), "the helper's windows did not open");
    App app = StartTracking(s);
    Traces traces(app.proc.Pid());
    if (!traces.Await("AddWindow", exe, 2, kTick * 4 + kNextScan, "the helper's windows"))
        return;
    traces.WaitQuiet();

    HWND page = nullptr, list = nullptr;
    for (HWND hwnd : TopWindows(app.proc.Pid())) {
        if (hwnd != app.main && ClassOf(hwnd) == "#32770" && (list = FindDescendant(hwnd, kDetectionList))) {
            page = hwnd;
            break;
        }
    }
    Require(page != nullptr, "no detection page");
    auto tracked = [&] { return int(traces.Count("AddWindow")) - int(traces.Count("DelWindow")); };
    Expect(!IsWindowVisible(page) && RowCount(list) == 0, "the hidden page shows %d rows", RowCount(list));

    PostTray(app.main, WM_LBUTTONDBLCLK);
    Require(WaitFor([&] { return IsWindowVisible(page) != FALSE; }, 5000), "the page did not show with the panel");
    const RECT main = WindowRectOf(app.main), beside = WindowRectOf(page);
    Expect(beside.right == main.left && beside.top == main.top + GetSystemMetrics(SM_CYCAPTION),
           "the page at %s, the panel at %s", RectText(beside).c_str(), RectText(main).c_str());
    // Rows come with the next scan.
    bool listed = WaitFor([&] { return RowCount(list) == tracked(); }, kNextScan);
    Expect(listed, "%d rows for %d tracked windows", RowCount(list), tracked());

    PostMessageA(FindTopWindow(helper.Pid(), kHelperClass, "kv listed 1"), WM_CLOSE, 0, 0);
    traces.Await("DelWindow", exe, 1, kNextScan, "the closed window");
    listed = WaitFor([&] { return RowCount(list) == tracked(); }, kNextScan);
    Expect(listed, "after the close: %d rows for %d tracked windows", RowCount(list), tracked());
}

KV_E2E_TEST(rules_file_written_at_exit)
{
    const std::string pastCount = "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nPNAME=a.exe\r\n[ITEM1]\r\nPNAME=b.exe\r\n";
    const std::string held = "[SYSTEM]\nEXCLUSIONNUM=1\n[ITEM0]\nPNAME=a.exe\n";
    const std::string aRule =
        "[ITEM0]\r\nTITLEFLAG=0\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=0\r\nTITLE=\r\nPNAME=a.exe\r\nTPART=\r\n";
    struct Case {
        const char* name;
        std::string seed;
        std::string expected;
        bool held;           // another program holds the file open, so it cannot be replaced
        const char* beside;  // the one other file the exit leaves, or null
        std::string besideBytes;
    } cases[] = {
        // LF line ends, blanks around "=", keys in another order: written back in the file's own form.
        {"three rules",
         "[SYSTEM]\nEXCLUSIONNUM = 3\n"
         "[ITEM0]\nPNAME=notepad.exe\nTITLE=表示テスト\nTITLEFLAG=1\nPNAMEFLAG=1\nFULLNAMEFLAG=1\n"
         "[ITEM1]\nTITLEFLAG=5\nTITLE=kv second\nTPART = second\n"
         "[ITEM2]\nTITLEFLAG=1\nPNAMEFLAG=1\nFULLNAMEFLAG=1\nTITLE=\" padded \"\nPNAME=kv.exe\n",
         kCanonicalRules, false, nullptr, ""},
        {"count past the sections", "[SYSTEM]\r\nEXCLUSIONNUM=2\r\n[ITEM0]\r\nTITLEFLAG=1\r\nTITLE=kv\r\n",
         "[SYSTEM]\r\nEXCLUSIONNUM=2\r\n[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=0\r\nTITLE=kv\r\n"
         "PNAME=\r\nTPART=\r\n" +
             DefaultRule(1),
         false, nullptr, ""},
        // A count that leaves sections out cannot be trusted: they are rules, and the bytes are kept.
        {"sections past the count", pastCount,
         "[SYSTEM]\r\nEXCLUSIONNUM=2\r\n" + aRule +
             "[ITEM1]\r\nTITLEFLAG=0\r\nPNAMEFLAG=0\r\nFULLNAMEFLAG=0\r\nTITLE=\r\nPNAME=b.exe\r\nTPART=\r\n",
         false, "ExclusionData.ini.damaged", pastCount},
        // Not replaced: the rules go beside it, and the next start merges them in.
        {"file held open", held, held, true, "ExclusionData.ini.new", "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n" + aRule},
    };
    Scratch s;
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        const std::string rules = folder + "\\" + kRulesFile;
        WriteBytes(rules, c.seed);
        App app = StartApp(s.InstallApp(folder), "", s.Root());
        HANDLE holder = c.held ? CreateFileA(rules.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                               : INVALID_HANDLE_VALUE;
        Require(!c.held || holder != INVALID_HANDLE_VALUE, "%s: cannot hold the file open", c.name);
        const bool ended = ExitByTray(app);
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        Require(ended, "%s: still running after the tray's exit", c.name);
        Expect(app.proc.ExitCode() == 0, "%s: exit code %lu", c.name, app.proc.ExitCode());
        const std::string written = ReadBytes(rules);
        Expect(written == c.expected, "%s: %s holds [%s]", c.name, kRulesFile, written.c_str());
        std::vector<std::string> expectedFiles = {kRulesFile, "Kestrova.exe"};
        if (c.beside) {
            expectedFiles.insert(expectedFiles.begin() + 1, c.beside);
            const std::string beside = ReadBytes(folder + "\\" + c.beside);
            Expect(beside == c.besideBytes, "%s: %s holds [%s]", c.name, c.beside, beside.c_str());
        }
        const std::vector<std::string> files = ListFolder(folder);
        Expect(files == expectedFiles, "%s: the folder holds %u files", c.name, unsigned(files.size()));
    }
}

// A count that cannot be trusted: the sections present are read, the damaged bytes are kept as
// "ExclusionData.ini.damaged", and the file is written anew with the rules read.
KV_E2E_TEST(damaged_rule_count_keeps_the_file)
{
    const std::string items = std::string(kFirstRule) + kSecondRule;
    // kSecondRule numbered 0, as it is written back when it is the only one.
    std::string secondAlone = kSecondRule;
    secondAlone.replace(0, 7, "[ITEM0]");
    struct Case {
        const char* name;
        std::string seed;
        int rules;
        std::string saved;  // the sections written back
    } cases[] = {
        {"negative", "[SYSTEM]\r\nEXCLUSIONNUM=-1\r\n" + items, 2, items},
        {"2^31", "[SYSTEM]\r\nEXCLUSIONNUM=2147483648\r\n" + items, 2, items},
        {"not a number", "[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n" + items, 2, items},
        {"not a number, and no ITEM0", std::string("[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n") + kSecondRule, 1, secondAlone},
        {"no [SYSTEM] section", items, 2, items},
        {"huge, with a gap", "[SYSTEM]\r\nEXCLUSIONNUM=999999999\r\n" + items + DefaultRule(3), 3,
         items + DefaultRule(2)},
    };
    Scratch s;
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        const std::string rules = folder + "\\" + kRulesFile;
        WriteBytes(rules, c.seed);
        Process proc = Start(s.InstallApp(folder), "-D574", s.Root());
        HWND main = nullptr;
        Require(WaitFor([&] { return (main = MainWindowOf(proc.Pid())) != nullptr || !proc.Running(); }, 5000) && main,
                "%s: no main window within 5 s (running: %d)", c.name, proc.Running());
        std::string text;
        const bool traced = WaitFor(
            [&] { return ReadConsoleOf(proc.Pid(), &text) && text.find("cannot be trusted") != std::string::npos; },
            3000);
        Expect(traced, "%s: no trace of the damaged count on the console: [%s]", c.name, text.c_str());

        App app;
        app.proc = std::move(proc);
        app.main = main;
        const RulePage p = ShowRulePage(app);
        Expect(RowCount(p.list) == c.rules, "%s: the list shows %d rules", c.name, RowCount(p.list));
        Require(ExitByTray(app), "%s: still running after the tray's exit", c.name);
        Expect(app.proc.ExitCode() == 0, "%s: exit code %lu", c.name, app.proc.ExitCode());
        Expect(ReadBytes(rules + ".damaged") == c.seed, "%s: the damaged bytes are not kept: [%s]", c.name,
               ReadBytes(rules + ".damaged").c_str());
        const std::string saved = ReadBytes(rules);
        const std::string expected = "[SYSTEM]\r\nEXCLUSIONNUM=" + std::to_string(c.rules) + "\r\n" + c.saved;
        Expect(saved == expected, "%s: %s holds [%s]", c.name, kRulesFile, saved.c_str());
        Expect(!FileExists(rules + ".new"), "%s: %s.new written", c.name, kRulesFile);
    }
}

// Held by another program at start-up, the file cannot be read: it must not be taken for "no
// rules" and emptied at the exit, once the other program lets it go. The exit reads it again.
KV_E2E_TEST(rules_file_locked_at_start_is_kept)
{
    Scratch s;
    const std::string folder = s.Folder("app");
    const std::string rules = WriteTwoRules(folder);
    const std::string before = ReadBytes(rules);
    HANDLE holder = CreateFileA(rules.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Require(holder != INVALID_HANDLE_VALUE, "cannot hold the file open");
    App app = StartApp(s.InstallApp(folder), "", s.Root());
    CloseHandle(holder);
    Require(ExitByTray(app), "still running after the tray's exit");
    Expect(app.proc.ExitCode() == 0, "exit code %lu", app.proc.ExitCode());
    Expect(ReadBytes(rules) == before, "%s holds [%s]", kRulesFile, ReadBytes(rules).c_str());
    const std::vector<std::string> files = ListFolder(folder);
    Expect(files == std::vector<std::string>({kRulesFile, "Kestrova.exe"}), "the folder holds %u files",
           unsigned(files.size()));
}

// A rule made by excluding a window is in the file at once: End Task or a crash loses nothing.
KV_E2E_TEST(excluded_window_rule_survives_a_kill)
{
    const UINT kExclude = 32780;  // the thumbnail menu's exclusion
    Scratch s;
    const std::string folder = s.Folder("app");
    Process helper = StartHelper(s, "kvexclude.exe", "--title \"kv excluded\"");
    Require(WaitHelperWindow(helper) != nullptr, "the helper did not open");
    App app = StartApp(s.InstallApp(folder), "", s.Root());
    HWND thumb = nullptr;
    Require(WaitFor(
                [&] {
                    const std::vector<HWND> all = Thumbnails(app.proc.Pid());
                    thumb = all.size() == 1 ? all[0] : nullptr;
                    return thumb != nullptr;
                },
                8000),
            "%u thumbnails", unsigned(Thumbnails(app.proc.Pid()).size()));
    PostMessageA(thumb, WM_COMMAND, kExclude, 0);
    Require(WaitFor([&] { return !IsWindow(thumb); }, 5000), "the thumbnail stays after its exclusion");

    const std::string rules = folder + "\\" + kRulesFile;
    const std::string expected =
        "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\n"
        "TITLE=kv excluded\r\nPNAME=kvexclude.exe\r\nTPART=\r\n";
    TerminateProcess(app.proc.Handle(), 1);
    Require(app.proc.WaitExit(5000), "still running after TerminateProcess");
    Expect(ReadBytes(rules) == expected, "after the kill %s holds [%s]", kRulesFile, ReadBytes(rules).c_str());
}

KV_E2E_TEST(rule_list_deletes_the_rule_shown)
{
    Scratch s;
    const std::string folder = s.Folder("app");
    const std::string rules = WriteTwoRules(folder);
    App app = StartApp(s.InstallApp(folder), "", s.Root());
    const RulePage p = ShowRulePage(app);
    const HWND list = p.list, page = p.page;
    auto detail = [&](int id) { return p.Detail(id); };
    Require(RowCount(list) == 2, "the list shows %d rules", RowCount(list));

    struct Answer {
        const char* step;
        const char* text;
        int button;
        int rowsAfter;
    };
    auto pressDelete = [&](const Answer& a) {
        PressButton(page, kDeleteButton);
        HWND box = WaitBox(app, 5000);
        Require(box != nullptr, "%s: no message box", a.step);
        Expect(MessageBoxText(box) == a.text, "%s: the box says [%s]", a.step, MessageBoxText(box).c_str());
        PressButton(box, a.button);
        Expect(WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000), "%s: the box stays", a.step);
        const bool rows = HoldsFor([&] { return RowCount(list) == a.rowsAfter; }, 300);
        Expect(rows, "%s: %d rows", a.step, RowCount(list));
    };
    // The details: state texts on green when on, red when off, yellow when blank.
    struct Shown {
        const char* step;
        const char* titleState;
        COLORREF titleColor;
        COLORREF processColor;
        const char* matchKind;
        const char* pattern;
        bool patternEnabled;
    };
    auto expectShown = [&](const Shown& e) {
        HWND title = GetDlgItem(page, kTitleState), process = GetDlgItem(page, kProcessState);
        HWND pattern = GetDlgItem(page, kTitlePattern);
        bool shown = WaitFor(
            [&] {
                return detail(kTitleState) == e.titleState && BackgroundOf(title) == e.titleColor &&
                       BackgroundOf(process) == e.processColor;
            },
            3000);
        shown = shown && detail(kMatchKind) == e.matchKind && detail(kTitlePattern) == e.pattern &&
                (IsWindowEnabled(pattern) != FALSE) == e.patternEnabled;
        Expect(shown, "%s: [%s] on %06lx, process state on %06lx, [%s], [%s], pattern %s", e.step,
               detail(kTitleState).c_str(), BackgroundOf(title), BackgroundOf(process), detail(kMatchKind).c_str(),
               detail(kTitlePattern).c_str(), IsWindowEnabled(pattern) ? "enabled" : "disabled");
    };
    expectShown({"nothing selected", "", kYellow, kYellow, "", "", true});
    pressDelete({"nothing selected", "除外条件を一覧で選択してください", IDOK, 2});

    ClickFirstRow(p);
    expectShown({"the first row clicked", "タイトル有効", kGreen, kGreen, "フルネーム一致", "", true});
    // The keyboard moves the selection to the second rule; the details follow it.
    SendKey(VK_DOWN);
    const Shown second = {"the down key", "タイトル無効", kRed, kGreen, "部分文字列一致", "sec", false};
    expectShown(second);

    const std::string seeded = ReadBytes(rules);
    pressDelete({"answered No", "除外条件を削除しますか？", IDNO, 2});
    expectShown(second);
    Expect(ReadBytes(rules) == seeded, "answered No: the file changed to [%s]", ReadBytes(rules).c_str());
    pressDelete({"answered Yes", "除外条件を削除しますか？", IDYES, 1});
    // The mark stays on row 1, past the end now.
    expectShown({"the last row deleted", "", kYellow, kYellow, "", "", false});

    // Written at once, and the exit writes the same bytes.
    const std::string expected = std::string("[SYSTEM]\r\nEXCLUSIONNUM=1\r\n") + kFirstRule;
    Expect(WaitFor([&] { return ReadBytes(rules) == expected; }, 3000), "after the delete %s holds [%s]", kRulesFile,
           ReadBytes(rules).c_str());
    Require(ExitByTray(app), "still running after the tray's exit");
    const std::string written = ReadBytes(rules);
    Expect(written == expected, "after the exit %s holds [%s]", kRulesFile, written.c_str());
}

KV_E2E_TEST(rule_editor_changes_the_rule_on_ok_only)
{
    const int kChangeButton = 1040;
    const int kFullNameBox = 1051;
    struct Case {
        const char* name;
        int button;
        const char* matchKind;  // shown afterwards
        const char* pattern;
    } cases[] = {
        {"Cancel", IDCANCEL, "フルネーム一致", ""},
        {"OK", IDOK, "部分文字列一致", "kv first"},
    };
    Scratch s;
    const std::string folder = s.Folder("app");
    const std::string rules = WriteTwoRules(folder);
    const std::string seeded = ReadBytes(rules);
    App app = StartApp(s.InstallApp(folder), "", s.Root());
    const RulePage p = ShowRulePage(app);
    ClickFirstRow(p);
    const bool first = WaitFor([&] { return p.Detail(kMatchKind) == "フルネーム一致"; }, 3000);
    Require(first, "the first rule is not shown");

    for (const Case& c : cases) {
        PressButton(p.page, kChangeButton);
        HWND editor = nullptr;
        const bool opened = WaitFor(
            [&] {
                editor = FindTopWindow(app.proc.Pid(), "#32770", "除外条件設定");
                return editor && IsWindowVisible(editor);
            },
            5000);
        Require(opened, "%s: the rule editor did not open", c.name);
        HWND fullName = GetDlgItem(editor, kFullNameBox);
        Expect(SendMessageA(fullName, BM_GETCHECK, 0, 0) == BST_CHECKED, "%s: whole-title match not ticked", c.name);
        // Unticking whole-title match with an empty pattern offers the full title.
        SendMessageA(fullName, BM_SETCHECK, BST_UNCHECKED, 0);
        PressButton(editor, kFullNameBox);
        HWND pattern = GetDlgItem(editor, kTitlePattern);
        const bool offered = WaitFor([&] { return ControlText(pattern) == "kv first"; }, 3000);
        Expect(offered, "%s: the pattern field holds [%s]", c.name, ControlText(pattern).c_str());
        PressButton(editor, c.button);
        Require(WaitFor([&] { return !IsWindow(editor); }, 5000), "%s: the editor stays", c.name);
        const bool shown =
            WaitFor([&] { return p.Detail(kMatchKind) == c.matchKind && p.Detail(kTitlePattern) == c.pattern; }, 3000);
        Expect(shown, "%s: the page shows [%s] [%s]", c.name, p.Detail(kMatchKind).c_str(),
               p.Detail(kTitlePattern).c_str());
        if (c.button == IDCANCEL)
            Expect(ReadBytes(rules) == seeded, "%s: the file changed to [%s]", c.name, ReadBytes(rules).c_str());
    }

    // Killed, as by End Task or a crash: the change made on the page is in the file all the same.
    TerminateProcess(app.proc.Handle(), 1);
    Require(app.proc.WaitExit(5000), "still running after TerminateProcess");
    const std::string changed =
        "[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=0\r\nTITLE=kv first\r\n"
        "PNAME=first.exe\r\nTPART=kv first\r\n";
    const std::string written = ReadBytes(rules);
    Expect(written == std::string("[SYSTEM]\r\nEXCLUSIONNUM=2\r\n") + changed + kSecondRule, "%s holds [%s]",
           kRulesFile, written.c_str());
}

// A thumbnail excluded while the rule editor or the delete question is open puts its rule in front
// of the one the user picked; the answer still acts on the picked rule, not on the row it stood in.
KV_E2E_TEST(rule_pages_act_on_the_picked_rule_after_a_rule_came_in)
{
    const int kChangeButton = 1040;
    const int kFullNameBox = 1051;
    const UINT kExclude = 32780;  // the thumbnail menu's exclusion
    const std::string excluded =
        "TITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\nTITLE=kv excluded\r\nPNAME=kvexclude.exe\r\nTPART=\r\n";
    const std::string firstEdited =
        "TITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=0\r\nTITLE=kv first\r\nPNAME=first.exe\r\nTPART=kv first\r\n";
    const std::string second =
        "TITLEFLAG=0\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=0\r\nTITLE=kv second\r\nPNAME=second.exe\r\nTPART=sec\r\n";
    struct Case {
        const char* name;
        bool edit;  // else delete
        std::string expected;
    } cases[] = {
        {"the editor's OK", true,
         "[SYSTEM]\r\nEXCLUSIONNUM=3\r\n[ITEM0]\r\n" + excluded + "[ITEM1]\r\n" + firstEdited + "[ITEM2]\r\n" + second},
        {"the delete question's Yes", false,
         "[SYSTEM]\r\nEXCLUSIONNUM=2\r\n[ITEM0]\r\n" + excluded + "[ITEM1]\r\n" + second},
    };
    for (const Case& c : cases) {
        Scratch s;
        const std::string folder = s.Folder("app");
        const std::string rules = WriteTwoRules(folder);
        Process helper = StartHelper(s, "kvexclude.exe", "--title \"kv excluded\"");
        Require(WaitHelperWindow(helper) != nullptr, "%s: the helper did not open", c.name);
        App app = StartApp(s.InstallApp(folder), "", s.Root());
        HWND thumb = nullptr;
        Require(WaitFor(
                    [&] {
                        const std::vector<HWND> all = Thumbnails(app.proc.Pid());
                        thumb = all.size() == 1 ? all[0] : nullptr;
                        return thumb != nullptr;
                    },
                    8000),
                "%s: %u thumbnails", c.name, unsigned(Thumbnails(app.proc.Pid()).size()));
        const RulePage p = ShowRulePage(app);
        ClickFirstRow(p);
        Require(WaitFor([&] { return p.Detail(kMatchKind) == "フルネーム一致"; }, 3000),
                "%s: the first rule is not shown", c.name);

        HWND question = nullptr;
        if (c.edit) {
            PressButton(p.page, kChangeButton);
            WaitFor(
                [&] {
                    question = FindTopWindow(app.proc.Pid(), "#32770", "除外条件設定");
                    return question && IsWindowVisible(question);
                },
                5000);
            Require(question != nullptr, "%s: the rule editor did not open", c.name);
            // Unticking whole-title match with an empty pattern offers the full title.
            SendMessageA(GetDlgItem(question, kFullNameBox), BM_SETCHECK, BST_UNCHECKED, 0);
            PressButton(question, kFullNameBox);
            HWND pattern = GetDlgItem(question, kTitlePattern);
            Require(WaitFor([&] { return ControlText(pattern) == "kv first"; }, 3000), "%s: the pattern holds [%s]",
                    c.name, ControlText(pattern).c_str());
        } else {
            PressButton(p.page, kDeleteButton);
            question = WaitBox(app, 5000);
            Require(question != nullptr, "%s: no delete question", c.name);
        }

        // The exclusion runs inside the open dialog's loop.
        PostMessageA(thumb, WM_COMMAND, kExclude, 0);
        Require(WaitFor([&] { return !IsWindow(thumb) && RowCount(p.list) == 3; }, 5000),
                "%s: after the exclusion %d rules, thumbnail %s", c.name, RowCount(p.list),
                IsWindow(thumb) ? "still there" : "gone");
        PressButton(question, c.edit ? IDOK : IDYES);
        Require(WaitFor([&] { return !IsWindow(question) || !IsWindowVisible(question); }, 5000),
                "%s: the dialog stays", c.name);
        Expect(WaitFor([&] { return ReadBytes(rules) == c.expected; }, 3000), "%s: %s holds [%s]", c.name, kRulesFile,
               ReadBytes(rules).c_str());
        TerminateProcess(app.proc.Handle(), 1);
        TerminateProcess(helper.Handle(), 0);
        Require(app.proc.WaitExit(5000) && helper.WaitExit(5000), "%s: still running after TerminateProcess", c.name);
    }
}
