#include "tracking/WinListDlg.h"

#include "res/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

HWND H(int n)
{
    return reinterpret_cast<HWND>(static_cast<UINT_PTR>(n));
}

WindowEntry Entry(int n)
{
    WindowEntry e;
    e.hwnd = H(n);
    e.processId = 100 + n;
    e.title.Format("w%d", n);
    e.processName = "app.exe";
    return e;
}

// Records every report as text, e.g. "add 3" or "del 1 2".
class Recorder : public CWinListListener {
public:
    explicit Recorder(std::vector<std::string>* log, const char* name) : m_log(log), m_name(name) {}
    void AddWindow(const std::vector<WindowEntry>* list) override
    {
        Record("add", list);
        React("add");
    }
    void DelWindow(const std::vector<WindowEntry>* list) override
    {
        Record("del", list);
        React("del");
    }

    // The next call of this kind ("add" or "del") suspends tracking, as a power broadcast
    // handled inside the callback would; or raises.
    std::string suspendOn, throwOn;
    CWinListDlg* page = nullptr;

private:
    void React(const std::string& kind)
    {
        if (kind == suspendOn) {
            suspendOn.clear();
            page->goSuspend();
        }
        if (kind == throwOn) {
            throwOn.clear();
            throw std::runtime_error("listener failed");
        }
    }
    void Record(const char* kind, const std::vector<WindowEntry>* list)
    {
        std::string line = m_name + kind;
        for (const WindowEntry& e : *list)
            line += " " + std::to_string(reinterpret_cast<UINT_PTR>(e.hwnd));
        m_log->push_back(line);
    }
    std::vector<std::string>* m_log;
    std::string m_name;
};

// The detection page with the desktop replaced by a list of window numbers.
class FakeDesktopPage : public CWinListDlg {
public:
    std::vector<int> desktop;
    void EnumerateWindows() override
    {
        for (int n : desktop)
            m_scanList.push_back(Entry(n));
    }
    bool WindowExists(HWND hwnd) const override
    {
        return std::find(desktop.begin(), desktop.end(), static_cast<int>(reinterpret_cast<UINT_PTR>(hwnd))) !=
               desktop.end();
    }
};

struct Fixture {
    std::vector<std::string> log;
    Recorder a{&log, ""};
    FakeDesktopPage page;
    Fixture()
    {
        page.m_listeners.push_back(&a);
        a.page = &page;
    }
    std::vector<std::string> TickWith(std::vector<int> desktop)
    {
        page.desktop = desktop;
        log.clear();
        page.Tick();
        return log;
    }
};

typedef std::vector<std::string> Log;

}  // namespace

TEST(WindowTracking, NewWindowsAreHandedOnOnePerTickThenTheNextTickScans)
{
    Fixture f;
    EXPECT_EQ(Log({"add 1"}), f.TickWith({1, 2, 3}));
    // Windows opened while additions are pending wait for the scan after the last delivery.
    EXPECT_EQ(Log({"add 2"}), f.TickWith({1, 2, 3, 4}));
    EXPECT_EQ(Log({"add 3"}), f.TickWith({1, 2, 3, 4}));
    EXPECT_EQ(Log({"add 4"}), f.TickWith({1, 2, 3, 4}));
    EXPECT_EQ(Log(), f.TickWith({1, 2, 3, 4}));
}

TEST(WindowTracking, WindowsThatWentAreReportedTogetherBeforeTheFirstAddition)
{
    Fixture f;
    f.TickWith({1, 2, 3});
    f.TickWith({1, 2, 3});
    f.TickWith({1, 2, 3});
    EXPECT_EQ(Log({"del 1 3", "add 5"}), f.TickWith({2, 5, 6}));
    EXPECT_EQ(Log({"add 6"}), f.TickWith({2, 5, 6}));
}

// Pending additions must not hold back a removal: with hundreds pending, it would wait minutes.
TEST(WindowTracking, ClosedWindowsAreReportedAtEveryTickWhileAdditionsArePending)
{
    struct Case {
        const char* name;
        std::vector<int> closedDesktop;  // the desktop after 1 has been delivered from {1, 2, 3, 4}
        Log tick;                        // the next tick
        Log rest;                        // every later tick on the same desktop, joined
    } cases[] = {
        {"a delivered window", {2, 3, 4}, {"del 1", "add 2"}, {"add 3", "add 4"}},
        {"the next pending window", {1, 3, 4}, {"del 2", "add 3"}, {"add 4"}},
        {"the last pending window", {1, 2, 3}, {"del 4", "add 2"}, {"add 3"}},
        {"delivered and pending together", {3}, {"del 1 2 4", "add 3"}, {}},
        {"every window", {}, {"del 1 2 3 4"}, {}},
    };
    for (const Case& c : cases) {
        Fixture f;
        EXPECT_EQ(Log({"add 1"}), f.TickWith({1, 2, 3, 4})) << c.name;
        EXPECT_EQ(c.tick, f.TickWith(c.closedDesktop)) << c.name;
        Log rest;
        for (int i = 0; i < 5; ++i) {
            const Log tick = f.TickWith(c.closedDesktop);
            rest.insert(rest.end(), tick.begin(), tick.end());
        }
        EXPECT_EQ(c.rest, rest) << c.name;
    }
}

// A power suspend handled inside a callback (a message box, a send to a hung window) empties the
// lists; the tick must not put its own result back, or the windows never return after resume.
TEST(WindowTracking, SuspendInsideACallbackDiscardsTheTick)
{
    struct Case {
        const char* name;
        std::vector<int> before;  // desktop of one tick before the suspension is armed; empty: none
        const char* on;           // the callback that suspends
        std::vector<int> desktop;
        Log tick;
        Log afterResume;  // every tick after resume on the same desktop, joined
    } cases[] = {
        {"removal in a scan",
         {1},
         "del",
         {2, 3},
         {"del 1", "del 2 3", "b:del 2 3", "b:del 1"},
         {"add 2", "b:add 2", "add 3", "b:add 3"}},
        {"addition in a scan",
         {},
         "add",
         {1, 2},
         {"add 1", "del 1 2", "b:del 1 2"},
         {"add 1", "b:add 1", "add 2", "b:add 2"}},
        {"a pending addition",
         {1, 2, 3},
         "add",
         {1, 2, 3},
         {"add 2", "del 1 2 3", "b:del 1 2 3"},
         {"add 1", "b:add 1", "add 2", "b:add 2", "add 3", "b:add 3"}},
        {"a closed window's removal",
         {1, 2, 3},
         "del",
         {2, 3},
         {"del 1", "del 2 3", "b:del 2 3", "b:del 1"},
         {"add 2", "b:add 2", "add 3", "b:add 3"}},
    };
    for (const Case& c : cases) {
        Fixture f;
        Recorder b(&f.log, "b:");
        f.page.m_listeners.push_back(&b);
        if (!c.before.empty())
            f.TickWith(c.before);
        f.a.suspendOn = c.on;
        EXPECT_EQ(c.tick, f.TickWith(c.desktop)) << c.name;
        EXPECT_EQ(Log(), f.TickWith(c.desktop)) << c.name << ": a suspended tick";
        f.page.returnSuspend();
        Log after;
        for (int i = 0; i < 6; ++i) {
            const Log tick = f.TickWith(c.desktop);
            after.insert(after.end(), tick.begin(), tick.end());
        }
        EXPECT_EQ(c.afterResume, after) << c.name;
    }
}

// A listener that raises leaves the lists whole: no window twice, none lost.
TEST(WindowTracking, AListenerThatRaisesLeavesTheListsWhole)
{
    struct Case {
        const char* name;
        std::vector<int> before;
        const char* on;
        std::vector<int> desktop;
        Log after;  // every later tick on the same desktop, joined
    } cases[] = {
        {"the first addition", {}, "add", {1, 2}, {"add 2"}},
        {"a pending addition", {1, 2, 3}, "add", {1, 2, 3}, {"add 3"}},
        {"a removal in a scan", {1}, "del", {2}, {"add 2"}},
        {"a closed window's removal", {1, 2, 3}, "del", {2, 3}, {"add 2", "add 3"}},
    };
    for (const Case& c : cases) {
        Fixture f;
        if (!c.before.empty())
            f.TickWith(c.before);
        f.a.throwOn = c.on;
        EXPECT_THROW(f.TickWith(c.desktop), std::runtime_error) << c.name;
        Log after;
        for (int i = 0; i < 5; ++i) {
            const Log tick = f.TickWith(c.desktop);
            after.insert(after.end(), tick.begin(), tick.end());
        }
        EXPECT_EQ(c.after, after) << c.name;
    }
}

// The tick timer is set again on every road out of a tick; one exception must not end tracking.
TEST(WindowTracking, TheTickTimerIsSetAgainAfterAListenerRaised)
{
    for (const char* throwOn : {"", "add"}) {
        Fixture f;
        f.page.desktop = {1, 2};
        f.a.throwOn = throwOn;
        ASSERT_TRUE(f.page.Create(IDD_WINLIST_DIALOG, nullptr));
        ASSERT_TRUE(::KillTimer(f.page.m_hWnd, IDT_WINLIST_SCAN));
        // The framework stops the exception at the window procedure.
        ::SendMessageA(f.page.m_hWnd, WM_TIMER, IDT_WINLIST_SCAN, 0);
        EXPECT_EQ(Log({"add 1"}), f.log) << "[" << throwOn << "]";
        EXPECT_TRUE(::KillTimer(f.page.m_hWnd, IDT_WINLIST_SCAN)) << "[" << throwOn << "]: timer 101 is not set";
        f.page.DestroyWindow();
    }
}

// Holds what the reports say, as the host does, and once runs a resume and a tick right after the
// first entry of its next removal (a message box shown while a parked source is put back lets both
// in). Notes each list that changed while it was being walked.
class NestingListener : public CWinListListener {
public:
    std::map<UINT_PTR, int> held;  // window number -> thumbnails it would have
    bool nest = false;
    int changedWhileWalked = 0;
    FakeDesktopPage* page = nullptr;
    void AddWindow(const std::vector<WindowEntry>* list) override { Walk(list, 1); }
    void DelWindow(const std::vector<WindowEntry>* list) override
    {
        const bool nestHere = nest;
        nest = false;
        Walk(list, -1, nestHere);
    }

private:
    static std::vector<HWND> Handles(const std::vector<WindowEntry>& list)
    {
        std::vector<HWND> handles;
        for (const WindowEntry& e : list)
            handles.push_back(e.hwnd);
        return handles;
    }
    void Walk(const std::vector<WindowEntry>* list, int change, bool nestHere = false)
    {
        const std::vector<HWND> walked = Handles(*list);
        for (size_t i = 0; i < walked.size(); ++i) {
            const UINT_PTR n = reinterpret_cast<UINT_PTR>(walked[i]);
            held[n] = std::max(0, held[n] + change);
            if (i == 0 && nestHere) {
                page->returnSuspend();
                page->Tick();
            }
        }
        if (Handles(*list) != walked)
            ++changedWhileWalked;
    }
};

// The lists a listener walks stay its own, and a scan nested in a callback is kept: every window on
// the desktop ends with exactly one thumbnail.
TEST(WindowTracking, AResumeAndTickInsideACallbackLeaveOneThumbnailPerWindow)
{
    struct Case {
        const char* name;
        std::vector<int> before;  // the desktop of the ticks before
        int ticksBefore;
        std::vector<int> desktop;  // from then on
        bool suspend;              // the removal is goSuspend's, not the next tick's
    } cases[] = {
        {"the suspension's removals", {1}, 1, {1, 2}, true},
        {"a scan's removals", {1, 2, 3}, 4, {3, 4, 5}, false},
        {"closed windows while additions are pending", {1, 2, 3, 4}, 2, {3, 4}, false},
    };
    for (const Case& c : cases) {
        FakeDesktopPage page;
        NestingListener host;
        host.page = &page;
        page.m_listeners.push_back(&host);
        page.desktop = c.before;
        for (int i = 0; i < c.ticksBefore; ++i)
            page.Tick();
        page.desktop = c.desktop;
        host.nest = true;
        if (c.suspend)
            page.goSuspend();
        for (int i = 0; i < 8; ++i)
            page.Tick();
        std::map<UINT_PTR, int> expected;
        for (int n : c.desktop)
            expected[static_cast<UINT_PTR>(n)] = 1;
        std::map<UINT_PTR, int> held;
        for (const auto& h : host.held) {
            if (h.second != 0)
                held.insert(h);
        }
        std::string text;
        for (const auto& h : held)
            text += " " + std::to_string(h.first) + "x" + std::to_string(h.second);
        EXPECT_EQ(expected, held) << c.name << ": held" << text;
        EXPECT_EQ(0, host.changedWhileWalked) << c.name << ": lists changed while a listener walked them";
    }
}

TEST(WindowTracking, SuspendReportsEveryTrackedWindowPendingOnesIncluded)
{
    Fixture f;
    f.TickWith({1, 2, 3});  // 1 delivered, 2 and 3 pending
    f.log.clear();
    f.page.goSuspend();
    EXPECT_EQ(Log({"del 1 2 3"}), f.log);
    EXPECT_EQ(Log(), f.TickWith({1, 2, 3}));  // suspended ticks do nothing

    f.log.clear();
    f.page.goSuspend();
    EXPECT_EQ(Log({"del"}), f.log);  // a second suspension reports an empty list

    f.page.returnSuspend();
    EXPECT_EQ(Log({"add 1"}), f.TickWith({1, 2, 3}));
    EXPECT_EQ(Log({"add 2"}), f.TickWith({1, 2, 3}));
}

TEST(WindowTracking, ResumeWithoutSuspendOnlyClearsTheFlag)
{
    Fixture f;
    f.TickWith({1, 2});
    f.page.returnSuspend();
    EXPECT_EQ(Log({"add 2"}), f.TickWith({1, 2}));
}

TEST(WindowTracking, EveryListenerGetsTheSameReportsInRegistrationOrder)
{
    Fixture f;
    Recorder b(&f.log, "b:");
    f.page.m_listeners.push_back(&b);
    EXPECT_EQ(Log({"add 1", "b:add 1"}), f.TickWith({1}));
    EXPECT_EQ(Log({"del 1", "b:del 1", "add 2", "b:add 2"}), f.TickWith({2}));
}

TEST(WindowTracking, FiltersInOrder)
{
    const DWORD ok = WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    const HWND page = H(9);
    const DWORD self = 77;
    struct Case {
        const char* name;
        HWND hwnd;
        DWORD style;
        const char* title;
        DWORD pid;
        const char* processName;
        RECT rect;
        WindowVerdict expected;
    } cases[] = {
        {"ordinary", H(1), ok, "メモ帳", 5, "notepad.exe", {0, 0, 10, 10}, Tracked},
        {"the page itself", page, ok, "x", 5, "a.exe", {0, 0, 10, 10}, SkipOwnPage},
        {"no system menu", H(1), ok & ~WS_SYSMENU, "x", 5, "a.exe", {0, 0, 10, 10}, SkipStyle},
        {"no minimise box", H(1), ok & ~WS_MINIMIZEBOX, "x", 5, "a.exe", {0, 0, 10, 10}, SkipStyle},
        {"hidden", H(1), ok & ~WS_VISIBLE, "x", 5, "a.exe", {0, 0, 10, 10}, SkipStyle},
        {"Program Manager", H(1), ok, "Program Manager", 5, "explorer.exe", {0, 0, 10, 10}, SkipProgramManager},
        {"Program Manager in other case", H(1), ok, "program manager", 5, "a.exe", {0, 0, 10, 10}, Tracked},
        {"empty title", H(1), ok, "", 5, "a.exe", {0, 0, 10, 10}, SkipEmptyTitle},
        {"our own process", H(1), ok, "x", self, "renamed.exe", {0, 0, 10, 10}, SkipOwnProcess},
        {"unknown process", H(1), ok, "x", 5, "", {0, 0, 10, 10}, SkipEmptyProcessName},
        {"our program name", H(1), ok, "x", 5, "Kestrova.exe", {0, 0, 10, 10}, SkipOwnProgramName},
        {"our name in other case", H(1), ok, "x", 5, "kestrova.exe", {0, 0, 10, 10}, Tracked},
        {"zero width", H(1), ok, "x", 5, "a.exe", {5, 0, 5, 10}, SkipEmptyRect},
        {"zero height", H(1), ok, "x", 5, "a.exe", {0, 7, 10, 7}, SkipEmptyRect},
        {"right left of left", H(1), ok, "x", 5, "a.exe", {10, 0, 5, 10}, Tracked},
    };
    for (const Case& c : cases) {
        WindowFacts w{c.hwnd, c.style, c.title, c.pid, c.processName, c.rect};
        WindowVerdict v = FilterBeforeProcess(w, page, self);
        if (v == Tracked)
            v = FilterAfterProcess(w);
        EXPECT_EQ(c.expected, v) << c.name;
    }
}

namespace {

// The detection page on the real desktop, counting the title reads of each window.
class TitleCountingPage : public CWinListDlg {
public:
    using CWinListDlg::CollectWindow;
    mutable std::map<HWND, int> reads;
    CString ReadWindowTitle(HWND hwnd) const override
    {
        ++reads[hwnd];
        return CWinListDlg::ReadWindowTitle(hwnd);
    }
};

}  // namespace

// The style rejects most top-level windows: the scan must not pay a send to each for its title.
TEST(WindowTracking, TheStyleIsTestedBeforeTheTitleIsRead)
{
    const DWORD ok = WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    struct Case {
        const char* name;
        DWORD style;
        int titleReads;
    } cases[] = {
        {"ordinary", ok, 1},
        {"no system menu", ok & ~WS_SYSMENU, 0},
        {"no minimise box", ok & ~WS_MINIMIZEBOX, 0},
        {"hidden", ok & ~WS_VISIBLE, 0},
    };
    TitleCountingPage page;
    for (const Case& c : cases) {
        HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", c.name, WS_POPUP | WS_CAPTION | (c.style & ~WS_VISIBLE),
                                    -2000, -2000, 50, 50, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(hwnd) << c.name;
        if (c.style & WS_VISIBLE)
            ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        page.CollectWindow(hwnd);
        EXPECT_EQ(c.titleReads, page.reads[hwnd]) << c.name;
        EXPECT_TRUE(page.m_scanList.empty()) << c.name << ": a window of our own process was tracked";
        DestroyWindow(hwnd);
    }
}
