// Parking of a minimised source: the geometry and choices, and a thumbnail parking and putting back
// windows of this process, some of them on a thread that stops answering for a while.
#include "strip/ThumbnailParking.h"

#include "desktop/Globals.h"
#include "desktop/MultiDisplay.h"
#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"

#include <gtest/gtest.h>

#include "tests/unit/support/strip.h"

#include <atomic>
#include <string>
#include <thread>

namespace {

std::string Text(const POINT& p) { return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")"; }

std::string Hex(DWORD v)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(v));
    return text;
}

const RECT kDesktop = {0, 0, 1280, 1024};

}  // namespace

TEST(Parking, MethodFollowsMonitorsAndLayeredMode)
{
    struct Case {
        int monitors;
        int layered;
        bool inPlace;
    } cases[] = {
        {0, 0, false}, {1, 0, false}, {2, 0, true}, {1, 1, true}, {3, 1, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.inPlace, UseInPlaceParking(c.monitors, c.layered)) << c.monitors << " monitors, layered " << c.layered;
}

TEST(Parking, SourceOnScreenByTheLastPolledRectangle)
{
    struct Case {
        const char* name;
        RECT desktop;
        RECT source;
        bool onScreen;
    } cases[] = {
        {"inside", kDesktop, {100, 100, 500, 400}, true},
        {"parked off screen", kDesktop, {10100, 10100, 10500, 10400}, false},
        {"top at the parked depth, whatever the desktop", {0, 0, 20000, 20000}, {100, 10000, 500, 10300}, false},
        {"top just above the parked depth", {0, 0, 20000, 20000}, {100, 9999, 500, 10300}, true},
        {"one pixel on the screen at the right", kDesktop, {1279, 100, 1600, 400}, true},
        {"touching the right edge only", kDesktop, {1280, 100, 1600, 400}, false},
        {"partly above and left", kDesktop, {-200, -100, 20, 30}, true},
        {"minimised at -32000", kDesktop, {-32000, -32000, -31840, -31972}, false},
        {"empty rectangle on the screen", kDesktop, {100, 100, 100, 400}, false},
        {"never polled", kDesktop, {0, 0, 0, 0}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.onScreen, SourceOnScreen(c.desktop, c.source)) << c.name << ": " << Text(c.source);
}

TEST(Parking, Geometry)
{
    struct Moved {
        const char* name;
        RECT normal;
        POINT parked;
    } moved[] = {
        {"ordinary", {100, 50, 500, 350}, {10100, 10050}},
        {"left of the primary screen", {-1500, 20, -900, 420}, {8500, 10020}},
    };
    for (const Moved& c : moved)
        EXPECT_EQ(Text(c.parked), Text(ParkedPosition(c.normal))) << c.name;

    struct Centred {
        const char* name;
        RECT desktop;
        SIZE window;
        POINT at;
    } centred[] = {
        {"even leftovers", kDesktop, {400, 300}, {440, 362}},
        {"odd leftovers truncate", kDesktop, {401, 301}, {439, 361}},
        {"larger than the desktop", kDesktop, {1400, 1100}, {-60, -38}},
    };
    for (const Centred& c : centred)
        EXPECT_EQ(Text(c.at), Text(CentredOn(c.desktop, c.window.cx, c.window.cy))) << c.name;

    struct Behind {
        const char* name;
        DWORD style;
        RECT window;
        bool leftBehind;
    } behind[] = {
        {"disabled, far right and below", WS_DISABLED, {10100, 10100, 10500, 10400}, true},
        {"enabled there", 0, {10100, 10100, 10500, 10400}, false},
        {"disabled, right edge at 9000", WS_DISABLED, {8600, 9500, 9000, 9800}, false},
        {"disabled, bottom edge at 9000", WS_DISABLED, {9500, 8600, 9800, 9000}, false},
        {"disabled on the screen", WS_DISABLED, {100, 100, 500, 400}, false},
    };
    for (const Behind& c : behind)
        EXPECT_EQ(c.leftBehind, LeftBehindByParking(c.style, c.window)) << c.name;
}

TEST(Parking, NormalPositionNeverTheIconicRectangle)
{
    const RECT iconic = {-32000, -32000, -31840, -31972};
    const RECT normal = {100, 50, 500, 350};
    const RECT seen = {120, 70, 520, 370};
    struct Case {
        const char* name;
        RECT reported;
        bool iconic;
        RECT current;
        bool seenRestored;
        bool known;
        RECT expected;
    } cases[] = {
        {"not minimised: as reported", normal, false, normal, true, true, normal},
        {"minimised, reported right (Windows)", normal, true, iconic, true, true, normal},
        {"minimised, reported iconic (Wine): the last one seen", iconic, true, iconic, true, true, seen},
        {"minimised, reported iconic, none seen: unknown", iconic, true, iconic, false, false, {}},
        {"iconic at the bottom left without a taskbar", {0, 980, 160, 1004}, true, {0, 980, 160, 1004}, true, true,
         seen},
    };
    for (const Case& c : cases) {
        RECT got = {};
        const bool known = TrustedNormalPosition(c.reported, c.iconic, c.current, c.seenRestored, seen, &got);
        EXPECT_EQ(c.known, known) << c.name;
        if (c.known) {
            EXPECT_EQ(Text(c.expected), Text(got)) << c.name;
        }
    }
}

TEST(Parking, StyleWrittenBackKeepsTheShowState)
{
    const DWORD base = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    struct Case {
        const char* name;
        DWORD saved;
        DWORD current;
        DWORD expected;
    } cases[] = {
        {"minimised again: stays minimised, enabled", base, base | WS_MINIMIZE | WS_DISABLED, base | WS_MINIMIZE},
        {"back on the screen: enabled", base, base | WS_DISABLED, base},
        {"its own disabled style stays", base | WS_DISABLED, base | WS_DISABLED | WS_MINIMIZE,
         base | WS_DISABLED | WS_MINIMIZE},
        {"maximised now", base, base | WS_MAXIMIZE | WS_DISABLED, base | WS_MAXIMIZE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Hex(c.expected), Hex(StyleToWriteBack(c.saved, c.current))) << c.name;
}

namespace {

// A source window on a thread of its own, which can be told to stop answering for a while.
const UINT kHang = WM_APP + 7;

class ThreadSource {
public:
    ThreadSource(int show, DWORD exStyle = 0, int alpha = -1)
    {
        m_thread = std::thread([=] { Run(show, exStyle, alpha); });
        while (!m_ready)
            Sleep(5);
    }
    ~ThreadSource()
    {
        PostMessageA(m_hwnd, WM_CLOSE, 0, 0);
        m_thread.join();
    }
    HWND Hwnd() const { return m_hwnd; }
    // The thread sleeps ms from when it takes the message.
    void Hang(DWORD ms)
    {
        m_hung = false;
        PostMessageA(m_hwnd, kHang, ms, 0);
        while (!m_hung)
            Sleep(5);
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == kHang) {
            reinterpret_cast<ThreadSource*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))->m_hung = true;
            Sleep(static_cast<DWORD>(wParam));
            return 0;
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    void Run(int show, DWORD exStyle, int alpha)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KvParkingSource";
        RegisterClassA(&wc);
        m_hwnd = CreateWindowExA(exStyle, "KvParkingSource", "parked", WS_OVERLAPPEDWINDOW, 150, 120, 400, 300,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (alpha >= 0)
            SetLayeredWindowAttributes(m_hwnd, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
        ShowWindow(m_hwnd, show);
        m_ready = true;
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    }

    std::thread m_thread;
    HWND m_hwnd = nullptr;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_hung{false};
};

WindowEntry EntryFor(HWND source) { return SourceEntry(source, "parked"); }

const RECT kSlot = {100, 200, 260, 320};
const RECT kNormal = {150, 120, 550, 420};

DWORD Style(HWND h) { return static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)); }
DWORD ExStyle(HWND h) { return static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE)); }

int Alpha(HWND h)
{
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!(ExStyle(h) & WS_EX_LAYERED) || !GetLayeredWindowAttributes(h, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA))
        return -1;
    return alpha;
}

RECT WindowRect(HWND h)
{
    RECT r = {};
    GetWindowRect(h, &r);
    return r;
}

RECT NormalPosition(HWND h)
{
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(wp);
    GetWindowPlacement(h, &wp);
    return wp.rcNormalPosition;
}

// The parking method for one test: monitors and "-LAYERED" as given, back to one and off after.
class Method {
public:
    Method(int monitors, int layered)
    {
        CMultiDisplay::GetInstance()->m_nMonitorCount = monitors;
        LayeredMode = layered;
    }
    ~Method()
    {
        CMultiDisplay::GetInstance()->m_nMonitorCount = 1;
        LayeredMode = 0;
    }
};

}  // namespace

TEST(Parking, MinimisedSourceIsParkedAndPutBackWithItsOwnStyles)
{
    struct Case {
        const char* name;
        int monitors;
        int layered;
        DWORD exStyle;  // the source's own
        int alpha;      // its own layered alpha, -1 for none
        RECT parkedAt;
        int parkedAlpha;  // -1: not layered while parked
    } cases[] = {
        {"one monitor: off screen, opaque", 1, 0, 0, -1, {10150, 10120, 10550, 10420}, -1},
        {"\"-LAYERED\": in place, transparent", 1, 1, 0, -1, kNormal, 0},
        {"two monitors: in place, transparent", 2, 0, 0, -1, kNormal, 0},
        {"own alpha 200, off screen: keeps it there", 1, 0, WS_EX_LAYERED, 200, {10150, 10120, 10550, 10420}, 200},
        {"own alpha 200, in place", 1, 1, WS_EX_LAYERED, 200, kNormal, 0},
        {"layered without attributes: opaque after", 1, 1, WS_EX_LAYERED, -1, kNormal, 0},
    };
    for (const Case& c : cases) {
        Method method(c.monitors, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWMINNOACTIVE, c.exStyle, c.alpha);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        const int alphaBefore = c.exStyle && c.alpha < 0 ? 255 : c.alpha;
        HWND foreground = GetForegroundWindow();

        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        EXPECT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        EXPECT_FALSE(IsIconic(src)) << c.name << ": restored";
        EXPECT_FALSE(IsWindowEnabled(src)) << c.name << ": disabled";
        EXPECT_EQ(Text(c.parkedAt), Text(WindowRect(src))) << c.name;
        EXPECT_EQ(c.parkedAlpha, Alpha(src)) << c.name << ": alpha while parked";
        EXPECT_EQ(foreground, GetForegroundWindow()) << c.name << ": parking activated the source";
        EXPECT_EQ(Text(kNormal), Text(thumb->m_wpSaved.rcNormalPosition)) << c.name;

        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_TRUE(IsIconic(src)) << c.name << ": minimised again";
        EXPECT_EQ(Hex(styleBefore), Hex(Style(src))) << c.name << ": style";
        EXPECT_EQ(Hex(exBefore), Hex(ExStyle(src))) << c.name << ": extended style";
        EXPECT_EQ(alphaBefore, Alpha(src)) << c.name << ": its own alpha";
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name << ": normal position";
        ShowWindow(src, SW_RESTORE);
        EXPECT_EQ(Text(kNormal), Text(WindowRect(src))) << c.name << ": restored where it was";
    }
}

TEST(Parking, SourceNoLongerMinimisedIsNotParked)
{
    struct Case {
        const char* name;
        bool restoreDuringWait;
    } cases[] = {
        {"restored before the refresh step", false},
        {"restored during the 200 ms wait", true},
    };
    for (const Case& c : cases) {
        Method method(1, 0);
        CControlDlg page;
        ThreadSource source(SW_SHOWNOACTIVATE);
        HWND src = source.Hwnd();
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        ASSERT_EQ(THUMB_NORMAL, thumb->m_nState) << c.name;
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        std::thread restorer;
        if (c.restoreDuringWait)
            restorer = std::thread([src] { Sleep(20); ShowWindow(src, SW_SHOWNOACTIVATE); });
        else
            ShowWindow(src, SW_SHOWNOACTIVATE);
        const BOOL parked = thumb->ParkMinimisedSource();
        if (restorer.joinable())
            restorer.join();
        EXPECT_FALSE(parked) << c.name;
        EXPECT_EQ(THUMB_NORMAL, thumb->m_nState) << c.name;
        EXPECT_TRUE(IsWindowEnabled(src)) << c.name << ": left disabled";
        EXPECT_EQ(-1, Alpha(src)) << c.name << ": left layered";
        EXPECT_EQ(Text(kNormal), Text(WindowRect(src))) << c.name;
        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_TRUE(IsWindowEnabled(src) && !IsIconic(src)) << c.name << ": touched at the close";
    }
}

TEST(Parking, HungSourceIsSkippedAndParkedOnceItAnswers)
{
    Method method(1, 0);
    CControlDlg page;
    ThreadSource source(SW_SHOWNOACTIVATE);
    HWND src = source.Hwnd();
    Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
    ShowWindow(src, SW_SHOWMINNOACTIVE);
    source.Hang(2500);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(thumb->ParkMinimisedSource());
    const DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 1800u) << "the skipped step took " << took << " ms";
    EXPECT_EQ(THUMB_NORMAL, thumb->m_nState);
    EXPECT_TRUE(IsWindowEnabled(src));

    // The next cycle, once the source answers again.
    while (GetTickCount() - start < 2700)
        Sleep(20);
    EXPECT_TRUE(thumb->ParkMinimisedSource());
    EXPECT_EQ(THUMB_PARKED, thumb->m_nState);
    EXPECT_FALSE(IsWindowEnabled(src));
    CloseThumbnail(thumb, THUMB_CLOSE);
    EXPECT_TRUE(IsIconic(src) && IsWindowEnabled(src));
}

TEST(Parking, HungSourceIsStillPutBackWhenItsThumbnailGoes)
{
    struct Case {
        const char* name;
        int layered;
    } cases[] = {
        {"off screen", 0},
        {"in place", 1},
    };
    for (const Case& c : cases) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWMINNOACTIVE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        source.Hang(3000);
        const DWORD start = GetTickCount();
        CloseThumbnail(thumb, THUMB_CLOSE);
        const DWORD took = GetTickCount() - start;
        EXPECT_LT(took, 2000u) << c.name << ": the close waited for the hung source";
        // Enabled by a thread of its own, well before the source answers at 3000 ms.
        while (GetTickCount() - start < 2000 && !IsWindowEnabled(src))
            Sleep(10);
        EXPECT_TRUE(IsWindowEnabled(src)) << c.name << ": still disabled while it does not answer";
        const int alphaNow = Alpha(src);
        EXPECT_TRUE(alphaNow == -1 || alphaNow == 255) << c.name << ": alpha " << alphaNow << " while it does not answer";
        // Once the source answers again it takes what was left for it. Its extended style may keep
        // WS_EX_LAYERED, at full opacity: that write would have waited.
        while (GetTickCount() - start < 4000 && !IsIconic(src))
            Sleep(20);
        EXPECT_TRUE(IsIconic(src)) << c.name;
        EXPECT_EQ(Hex(styleBefore), Hex(Style(src))) << c.name;
        const int alpha = Alpha(src);
        EXPECT_TRUE(alpha == -1 || alpha == 255) << c.name << ": alpha " << alpha;
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name;
    }
}

TEST(Parking, SourceLeftBehindByAnEarlierParkingIsRecovered)
{
    struct Case {
        const char* name;
        int layered;
        RECT at;
        bool disabled;
        RECT expected;
        bool enabledAfter;
    } cases[] = {
        {"disabled, far off: enabled and centred", 0, {10100, 10100, 10500, 10400}, true, {440, 362, 840, 662}, true},
        {"enabled far off: left alone", 0, {10100, 10100, 10500, 10400}, false, {10100, 10100, 10500, 10400}, true},
        {"disabled on the screen: left alone", 0, {100, 100, 500, 400}, true, {100, 100, 500, 400}, false},
        {"\"-LAYERED\": no recovery", 1, {10100, 10100, 10500, 10400}, true, {10100, 10100, 10500, 10400}, false},
    };
    for (const Case& c : cases) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWNOACTIVATE);
        HWND src = source.Hwnd();
        SetWindowPos(src, nullptr, c.at.left, c.at.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        EnableWindow(src, c.disabled ? FALSE : TRUE);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        EXPECT_EQ(THUMB_NORMAL, thumb->m_nState) << c.name;
        EXPECT_EQ(Text(c.expected), Text(WindowRect(src))) << c.name;
        EXPECT_EQ(c.enabledAfter, IsWindowEnabled(src) != FALSE) << c.name;
        CloseThumbnail(thumb, THUMB_CLOSE);
        EnableWindow(src, TRUE);
    }
}
