#include "tracking/WinListDlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HWND H(int n) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(n)); }

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
    void AddWindow(const std::vector<WindowEntry>* list) override { Record("add", list); }
    void DelWindow(const std::vector<WindowEntry>* list) override { Record("del", list); }

private:
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
};

struct Fixture {
    std::vector<std::string> log;
    Recorder a{&log, ""};
    FakeDesktopPage page;
    Fixture() { page.m_listeners.push_back(&a); }
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

TEST(WindowTracking, APendingWindowThatVanishesIsStillDeliveredThenReportedGone)
{
    Fixture f;
    EXPECT_EQ(Log({"add 1"}), f.TickWith({1, 2}));
    EXPECT_EQ(Log({"add 2"}), f.TickWith({1}));  // delivery ticks do not scan
    EXPECT_EQ(Log({"del 2"}), f.TickWith({1}));
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
