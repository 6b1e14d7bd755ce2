// Parking of a minimised source: the geometry and choices, and a thumbnail parking and putting back
// windows of this process, some of them on a thread that stops answering for a while.
#include "strip/ParkingMath.h"

#include "desktop/Globals.h"
#include "desktop/MultiDisplay.h"
#include "desktop/TaskBarControl.h"
#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"

#include <gtest/gtest.h>

#include "tests/unit/support/describe.h"
#include "tests/unit/support/pump.h"
#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace {

const RECT kDesktop = {0, 0, 1280, 1024};

// The two parking methods, which most parking tests run through.
struct MethodCase {
    const char* name;
    int layered;
};
const MethodCase kBothMethods[] = {
    {"off screen", 0},
    {"in place", 1},
};

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
        EXPECT_EQ(c.inPlace, UseInPlaceParking(c.monitors, c.layered))
            << c.monitors << " monitors, layered " << c.layered;
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
}

TEST(Parking, WorkspaceCoordinatesShiftByTheWorkAreaOffset)
{
    struct Case {
        const char* name;
        POINT offset;
        RECT workspace;
        RECT screen;
    } cases[] = {
        {"taskbar at the bottom: the same", {0, 0}, {100, 50, 500, 350}, {100, 50, 500, 350}},
        {"taskbar at the top, 40 high", {0, 40}, {100, 50, 500, 350}, {100, 90, 500, 390}},
        {"taskbar at the left, 60 wide", {60, 0}, {100, 50, 500, 350}, {160, 50, 560, 350}},
        {"negative coordinates", {0, 40}, {-300, -20, -100, 80}, {-300, 20, -100, 120}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Text(c.screen), Text(WorkspaceToScreen(c.workspace, c.offset))) << c.name;
        EXPECT_EQ(Text(c.workspace), Text(ScreenToWorkspace(c.screen, c.offset))) << c.name;
    }
}

TEST(Parking, MarkKeepsEveryValueAWindowNeedsBack)
{
    struct Case {
        const char* name;
        int method;
        DWORD style, exStyle;
        COLORREF key;
        BYTE alpha;
        DWORD flags;
        RECT normal;
        UINT placementFlags;
        POINT maxPosition;
    } cases[] = {
        {"off screen, ordinary",
         kParkedOffScreen,
         WS_OVERLAPPEDWINDOW | WS_VISIBLE,
         WS_EX_WINDOWEDGE,
         0,
         255,
         LWA_ALPHA,
         {100, 50, 500, 350},
         0,
         {-1, -1}},
        {"in place, popup with the top bit, own alpha and key",
         kParkedInPlace,
         WS_POPUP | WS_VISIBLE | WS_DISABLED,
         WS_EX_LAYERED | WS_EX_TOOLWINDOW,
         RGB(255, 0, 255),
         200,
         LWA_ALPHA | LWA_COLORKEY,
         {-1500, -20, -900, 420},
         WPF_RESTORETOMAXIMIZED,
         {-8, -8}},
        {"zero everywhere it can be", kParkedOffScreen, 0, 0, 0, 0, 0, {0, 0, 0, 0}, 0, {0, 0}},
    };
    HWND window = CreateWindowExA(0, "STATIC", "marked", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window != nullptr);
    for (const Case& c : cases) {
        ParkedState in;
        std::memset(&in, 0, sizeof(in));
        in.method = c.method;
        in.style = c.style;
        in.exStyle = c.exStyle;
        in.key = c.key;
        in.alpha = c.alpha;
        in.layeredFlags = c.flags;
        in.placement.length = sizeof(in.placement);
        in.placement.flags = c.placementFlags;
        in.placement.rcNormalPosition = c.normal;
        in.placement.ptMaxPosition = c.maxPosition;
        EXPECT_FALSE(IsMarkedParked(window)) << c.name;
        MarkParked(window, in);
        ParkedState out;
        ASSERT_TRUE(ReadParkedMark(window, &out)) << c.name;
        EXPECT_EQ(c.method, out.method) << c.name;
        EXPECT_EQ(Hex(c.style), Hex(out.style)) << c.name;
        EXPECT_EQ(Hex(c.exStyle), Hex(out.exStyle)) << c.name;
        EXPECT_EQ(Hex(c.key), Hex(out.key)) << c.name;
        EXPECT_EQ(c.alpha, out.alpha) << c.name;
        EXPECT_EQ(Hex(c.flags), Hex(out.layeredFlags)) << c.name;
        EXPECT_EQ(Text(c.normal), Text(out.placement.rcNormalPosition)) << c.name;
        EXPECT_EQ(c.placementFlags, out.placement.flags) << c.name;
        EXPECT_EQ(Text(c.maxPosition), Text(out.placement.ptMaxPosition)) << c.name;
        RemoveParkedMark(window);
        EXPECT_FALSE(IsMarkedParked(window) || ReadParkedMark(window, &out)) << c.name << ": still marked";
    }
    DestroyWindow(window);
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
        {"iconic at the bottom left without a taskbar",
         {0, 980, 160, 1004},
         true,
         {0, 980, 160, 1004},
         true,
         true,
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
    explicit ThreadSource(int show, DWORD exStyle = 0, int alpha = -1, bool refuseOpen = false)
        : m_refuseOpen(refuseOpen)
    {
        m_thread = std::thread([=] { Run(show, exStyle, alpha); });
        if (!PollFor([this] { return m_ready.load(); }, 5000))
            ADD_FAILURE() << "the source window did not open";
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
        if (!PollFor([this] { return m_hung.load(); }, 5000))
            ADD_FAILURE() << "the source did not take the hang message";
    }
    // The thread stops answering for ms at a moment of the caller's work: once it has taken the write
    // that makes it layered (the write itself returns), inside the command that minimises it, or at
    // the reload key.
    enum HangMoment { kNoHang, kAfterLayeredWrite, kInMinimise, kAtReloadKey, kAfterRedrawOff };
    void HangAt(HangMoment moment, DWORD ms)
    {
        m_hung = false;
        m_hangMs = ms;
        m_hangAt = moment;
    }
    bool Hung() const { return m_hung; }
    // Whether its last WM_SETREDRAW turned its drawing on (or none came).
    bool RedrawOn() const { return m_redrawOn; }
    // From now on it works ms at a time and takes what came in between: it answers every question,
    // each only after its work.
    void Busy(DWORD ms) { m_busyMs = ms; }
    // How often it was restored from minimised or shown restored.
    int Restores() const { return m_restores; }
    // While on, every minimise is refused, whichever road asks for it, as a program that keeps its
    // window on the screen does; Refusals counts them.
    void RefuseMinimise(bool on) { m_refuseMinimise = on; }
    int Refusals() const { return m_refusals; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        ThreadSource* self = reinterpret_cast<ThreadSource*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (message == kHang) {
            self->m_hung = true;
            Sleep(static_cast<DWORD>(wParam));
            return 0;
        }
        if (message == WM_SETREDRAW && self) {
            self->m_redrawOn = wParam != 0;
            if (!wParam && self->m_hangAt == kAfterRedrawOff) {
                self->m_hangAt = kNoHang;
                self->m_hung = true;
                ReplyMessage(0);
                Sleep(self->m_hangMs);
            }
        }
        if (message == WM_QUERYOPEN && self && self->m_refuseOpen)
            return FALSE;
        if (message == WM_SIZE && wParam == SIZE_RESTORED && self)
            ++self->m_restores;
        if (message == WM_STYLECHANGED && wParam == static_cast<WPARAM>(GWL_EXSTYLE) && self &&
            self->m_hangAt == kAfterLayeredWrite) {
            const STYLESTRUCT* change = reinterpret_cast<const STYLESTRUCT*>(lParam);
            if ((change->styleNew & WS_EX_LAYERED) && !(change->styleOld & WS_EX_LAYERED)) {
                self->m_hangAt = kNoHang;
                self->m_hung = true;
                ReplyMessage(0);
                Sleep(self->m_hangMs);
                return 0;
            }
        }
        const bool reloadKey = message == WM_KEYDOWN && wParam == VK_F5 && self && self->m_hangAt == kAtReloadKey;
        if (reloadKey ||
            (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_MINIMIZE && self && self->m_hangAt == kInMinimise)) {
            self->m_hangAt = kNoHang;
            self->m_hung = true;
            Sleep(self->m_hangMs);
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    // The system asks the window's thread before it minimises a window, whoever asked for it.
    static LRESULT CALLBACK MinMaxHook(int code, WPARAM wParam, LPARAM lParam)
    {
        if (code == HCBT_MINMAX) {
            ThreadSource* self =
                reinterpret_cast<ThreadSource*>(GetWindowLongPtrA(reinterpret_cast<HWND>(wParam), GWLP_USERDATA));
            const int show = LOWORD(lParam);
            const bool minimise = show == SW_MINIMIZE || show == SW_SHOWMINIMIZED || show == SW_SHOWMINNOACTIVE ||
                                  show == SW_FORCEMINIMIZE;
            if (self && minimise && self->m_refuseMinimise) {
                ++self->m_refusals;
                return 1;
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    void Run(int show, DWORD exStyle, int alpha)
    {
        const HHOOK hook = SetWindowsHookExA(WH_CBT, &MinMaxHook, nullptr, GetCurrentThreadId());
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KvParkingSource";
        RegisterClassA(&wc);
        m_hwnd = CreateWindowExA(exStyle, "KvParkingSource", "parked", WS_OVERLAPPEDWINDOW, 150, 120, 400, 300, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (alpha >= 0)
            SetLayeredWindowAttributes(m_hwnd, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
        ShowWindow(m_hwnd, show);
        m_ready = true;
        MSG msg;
        for (bool quit = false; !quit;) {
            if (m_busyMs) {
                Sleep(m_busyMs);
                while (!quit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    quit = msg.message == WM_QUIT;
                    DispatchMessageA(&msg);
                }
            } else if (GetMessageA(&msg, nullptr, 0, 0) > 0) {
                DispatchMessageA(&msg);
            } else {
                quit = true;
            }
        }
        if (hook)
            UnhookWindowsHookEx(hook);
    }

    const bool m_refuseOpen;
    std::thread m_thread;
    HWND m_hwnd = nullptr;
    std::atomic<bool> m_ready{false};
    std::atomic<bool> m_hung{false};
    std::atomic<int> m_hangAt{kNoHang};
    std::atomic<DWORD> m_hangMs{0};
    std::atomic<int> m_restores{0};
    std::atomic<bool> m_refuseMinimise{false};
    std::atomic<int> m_refusals{0};
    std::atomic<DWORD> m_busyMs{0};
    std::atomic<bool> m_redrawOn{true};
};

WindowEntry EntryFor(HWND source)
{
    return SourceEntry(source, "parked");
}

const RECT kSlot = {100, 200, 260, 320};
const RECT kNormal = {150, 120, 550, 420};

DWORD Style(HWND h)
{
    return static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE));
}
DWORD ExStyle(HWND h)
{
    return static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE));
}

int Alpha(HWND h)
{
    BYTE alpha = 0;
    DWORD flags = 0;
    if (!(ExStyle(h) & WS_EX_LAYERED) || !GetLayeredWindowAttributes(h, nullptr, &alpha, &flags) ||
        !(flags & LWA_ALPHA))
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
            restorer = std::thread([src] {
                Sleep(20);
                ShowWindow(src, SW_SHOWNOACTIVATE);
            });
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

TEST(Parking, SourceThatCannotBeParkedCostsOneWaitPerMinimise)
{
    struct Case {
        const char* name;
        bool hung;        // does not answer
        bool refuseOpen;  // answers, but will not open while minimised
    } cases[] = {
        {"hung", true, false},
        {"refuses to open", false, true},
    };
    for (const Case& c : cases) {
        Method method(1, 0);
        CControlDlg page;
        ThreadSource source(SW_SHOWNOACTIVATE, 0, -1, c.refuseOpen);
        HWND src = source.Hwnd();
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        if (c.hung)
            source.Hang(4000);
        DWORD start = GetTickCount();
        EXPECT_FALSE(thumb->ParkMinimisedSource()) << c.name;
        const DWORD first = GetTickCount() - start;
        EXPECT_LT(first, 1800u) << c.name << ": the first step took " << first << " ms";
        // Every step after it: no sleep, and a hung source is not asked again at once.
        start = GetTickCount();
        for (int i = 0; i < 5; ++i)
            EXPECT_FALSE(thumb->ParkMinimisedSource()) << c.name;
        const DWORD five = GetTickCount() - start;
        EXPECT_LT(five, 500u) << c.name << ": five more steps took " << five << " ms";
        EXPECT_EQ(THUMB_NORMAL, thumb->m_nState) << c.name;
        EXPECT_TRUE(IsWindowEnabled(src)) << c.name << ": left disabled";
        EXPECT_EQ(-1, Alpha(src)) << c.name << ": left layered";
        EXPECT_FALSE(IsMarkedParked(src)) << c.name << ": left marked";

        if (c.hung) {
            // Parked by a later step, once it answers again.
            EXPECT_TRUE(PollFor([&] { return thumb->ParkMinimisedSource() != FALSE; }, 10000)) << c.name;
            EXPECT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
            EXPECT_FALSE(IsWindowEnabled(src)) << c.name;
        }
        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_TRUE(IsIconic(src) && IsWindowEnabled(src)) << c.name;
    }
}

TEST(Parking, HungSourceIsStillPutBackWhenItsThumbnailGoes)
{
    for (const MethodCase& c : kBothMethods) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWMINNOACTIVE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        source.Hang(3000);
        const DWORD start = GetTickCount();
        CloseThumbnail(thumb, THUMB_CLOSE);
        const DWORD took = GetTickCount() - start;
        EXPECT_LT(took, 2000u) << c.name << ": the close waited for the hung source";
        // Enabled and opaque well before the source answers at 3000 ms.
        EXPECT_TRUE(PollFor([&] { return IsWindowEnabled(src) != FALSE; }, 2000 - (GetTickCount() - start)))
            << c.name << ": still disabled while it does not answer";
        const int alphaNow = Alpha(src);
        EXPECT_TRUE(alphaNow == -1 || alphaNow == 255)
            << c.name << ": alpha " << alphaNow << " while it does not answer";
        EXPECT_TRUE(IsMarkedParked(src)) << c.name << ": the mark went before its styles were back";
        // Once it answers it is minimised, with its own styles, the extended one too, and unmarked.
        EXPECT_TRUE(PollFor([&] { return IsIconic(src) && ExStyle(src) == exBefore && !IsMarkedParked(src); }, 10000))
            << c.name << ": ex " << Hex(ExStyle(src)) << ", expected " << Hex(exBefore)
            << (IsIconic(src) ? "" : ", not minimised");
        EXPECT_EQ(Hex(styleBefore), Hex(Style(src))) << c.name;
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name;
    }
}

// Minimised again where it was parked, the window's restore position is its parked one; a close on
// the road that waits for nothing (it does not answer, or the exit) must still leave it to restore
// where the user had it.
TEST(Parking, SourceMinimisedWhileParkedRestoresWhereItWasAfterItsThumbnailGoes)
{
    struct Case {
        const char* name;
        int layered;
        bool atExit;  // else it does not answer
    } cases[] = {
        {"off screen, hung", 0, false},
        {"in place, hung", 1, false},
        {"off screen, at the exit", 0, true},
        {"in place, at the exit", 1, true},
    };
    for (const Case& c : cases) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWMINNOACTIVE);
        HWND src = source.Hwnd();
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        thumb->KillTimer(IDT_THUMB_POLL);
        ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        if (c.atExit) {
            PutBackTogether together(2000);
            CloseThumbnail(thumb, THUMB_CLOSE);
        } else {
            source.Hang(2000);
            CloseThumbnail(thumb, THUMB_CLOSE);
        }
        EXPECT_TRUE(PollFor([&] { return IsIconic(src) && IsWindowEnabled(src) && !IsMarkedParked(src); }, 10000))
            << c.name << ": " << Hex(Style(src)) << " marked " << IsMarkedParked(src);
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name << ": its restore position";
        ShowWindow(src, SW_RESTORE);
        EXPECT_EQ(Text(kNormal), Text(WindowRect(src))) << c.name << ": restored there";
    }
}

namespace {

// A thumbnail that ends without putting its parked source back, as if the program had been killed.
void AbandonParked(Cthumbnail* thumb)
{
    thumb->m_nState = THUMB_NORMAL;
    CloseThumbnail(thumb, THUMB_CLOSE);
}

}  // namespace

TEST(Parking, WindowsLeftParkedAreRecoveredAtStartUpWithTheirOwnState)
{
    struct Case {
        const char* name;
        int layered;
        DWORD exStyle;
        int alpha;
    } cases[] = {
        {"off screen", 0, 0, -1},
        {"in place", 1, 0, -1},
        {"in place, its own alpha 200", 1, WS_EX_LAYERED, 200},
    };
    for (const Case& c : cases) {
        ThreadSource source(SW_SHOWMINNOACTIVE, c.exStyle, c.alpha);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        {
            Method method(1, c.layered);
            CControlDlg page;
            Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
            ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
            AbandonParked(thumb);
        }
        ASSERT_TRUE(IsMarkedParked(src) && !IsWindowEnabled(src)) << c.name << ": left parked";

        EXPECT_EQ(1, RecoverParkedWindows()) << c.name;
        EXPECT_TRUE(IsIconic(src)) << c.name << ": minimised";
        EXPECT_EQ(Hex(styleBefore), Hex(Style(src))) << c.name << ": style";
        EXPECT_EQ(Hex(exBefore), Hex(ExStyle(src))) << c.name << ": extended style";
        EXPECT_EQ(c.alpha, Alpha(src)) << c.name << ": alpha";
        EXPECT_FALSE(IsMarkedParked(src)) << c.name << ": still marked";
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name << ": normal position";
        EXPECT_EQ(0, RecoverParkedWindows()) << c.name << ": recovered twice";
    }
}

TEST(Parking, OnlyAMarkedWindowIsRecoveredWhenItGetsAThumbnail)
{
    const RECT farOff = {10100, 10100, 10500, 10400};
    struct Case {
        const char* name;
        bool marked;  // left parked off screen by a killed run
        bool iconicAfter;
        RECT expected;  // when not minimised
        bool enabledAfter;
    } cases[] = {
        {"marked: put back minimised at its own position", true, true, {}, true},
        {"disabled far off by its own program: left alone", false, false, farOff, false},
    };
    for (const Case& c : cases) {
        Method method(1, 0);
        CControlDlg page;
        ThreadSource source(c.marked ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src);
        if (c.marked) {
            Cthumbnail* first = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
            ASSERT_EQ(THUMB_PARKED, first->m_nState) << c.name;
            AbandonParked(first);
        } else {
            SetWindowPos(src, nullptr, farOff.left, farOff.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            EnableWindow(src, FALSE);
        }
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        EXPECT_EQ(THUMB_NORMAL, thumb->m_nState) << c.name;
        EXPECT_EQ(c.iconicAfter, IsIconic(src) != FALSE) << c.name;
        if (c.iconicAfter) {
            EXPECT_EQ(Hex(styleBefore), Hex(Style(src))) << c.name;
            EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name;
            EXPECT_EQ(Hex(styleBefore & ~WS_MINIMIZE), Hex(thumb->m_dwSavedStyle))
                << c.name << ": saved its parked look";
        } else {
            EXPECT_EQ(Text(c.expected), Text(WindowRect(src))) << c.name;
        }
        EXPECT_EQ(c.enabledAfter, IsWindowEnabled(src) != FALSE) << c.name;
        EXPECT_FALSE(IsMarkedParked(src)) << c.name;
        CloseThumbnail(thumb, THUMB_CLOSE);
        EnableWindow(src, TRUE);
    }
}

// A window that will not be minimised is back on the screen after its put-back, usable, but its
// put-back is not done: the mark stays, so that the next start finishes it, and goes once the window
// is seen minimised.
TEST(Parking, MarkStaysUntilTheWindowIsSeenMinimised)
{
    struct Case {
        const char* name;
        int layered;
        bool atExit;  // put back without a wait for the window; else on the road that waits for its answers
    } cases[] = {
        {"off screen, answering", 0, false},
        {"in place, answering", 1, false},
        {"off screen, at the exit", 0, true},
        {"in place, at the exit", 1, true},
    };
    for (const Case& c : cases) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWMINNOACTIVE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        source.RefuseMinimise(true);
        if (c.atExit) {
            PutBackTogether together(100);
            CloseThumbnail(thumb, THUMB_CLOSE);
        } else {
            CloseThumbnail(thumb, THUMB_CLOSE);
        }
        EXPECT_TRUE(PollFor([&] { return IsWindowEnabled(src) && ExStyle(src) == exBefore; }, 5000))
            << c.name << ": " << Hex(Style(src)) << " ex " << Hex(ExStyle(src));
        EXPECT_GT(source.Refusals(), 0) << c.name << ": never asked to minimise";
        EXPECT_FALSE(IsIconic(src)) << c.name;
        EXPECT_EQ(Text(kNormal), Text(WindowRect(src))) << c.name << ": not back where it was";
        EXPECT_FALSE(PollFor([&] { return !IsMarkedParked(src); }, 300))
            << c.name << ": the mark went, though the window never was minimised";

        source.RefuseMinimise(false);
        if (c.atExit) {
            // Minimised by the user: the put-back, still waiting for that, sees it.
            ShowWindow(src, SW_SHOWMINNOACTIVE);
        } else {
            EXPECT_EQ(1, RecoverParkedWindows()) << c.name << ": the next start found nothing to finish";
        }
        EXPECT_TRUE(PollFor([&] { return IsIconic(src) && !IsMarkedParked(src) && !PutBackPending(src); }, 5000))
            << c.name << ": " << Hex(Style(src)) << " marked " << IsMarkedParked(src);
        EXPECT_EQ(Hex(styleBefore), Hex(Style(src))) << c.name;
        EXPECT_EQ(Hex(exBefore), Hex(ExStyle(src))) << c.name;
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name;
    }
}

TEST(Parking, BroughtToFrontOnlyByAChangeToTheForeground)
{
    struct Case {
        const char* name;
        bool atParking;     // the source was the foreground window when it was parked
        const char* looks;  // the foreground at each later look: F it, o another window
        const char* back;   // each look's answer: R brought to the front, . not
    } cases[] = {
        {"behind when parked, stays behind", false, "ooo", "..."},
        {"behind when parked, then brought to the front", false, "ooF", "..R"},
        {"in front when parked, stays in front", true, "FFFF", "...."},
        {"in front when parked, another window, then it again", true, "FoF", "..R"},
        {"brought to the front, stays in front", false, "FFoF", "R..R"},
    };
    for (const Case& c : cases) {
        bool was = c.atParking;
        std::string back;
        for (const char* look = c.looks; *look; ++look)
            back += BroughtToFront(&was, *look == 'F') ? 'R' : '.';
        EXPECT_EQ(c.back, back) << c.name;
    }
}

TEST(Parking, ParkedSourceIsCheckedAfresh)
{
    enum Event { kNothing, kForeground, kAnotherThenForeground, kMinimisedAgain, kMovedOnScreen };
    struct Case {
        const char* name;
        int layered;
        bool activeWhenMinimised;  // the foreground window when the user minimised it
        Event event;
        int state;    // of the thumbnail after the check
        bool iconic;  // of the source after it
        bool enabled;
    } cases[] = {
        {"off screen, nothing happened, before any poll", 0, false, kNothing, THUMB_PARKED, false, false},
        {"in place, nothing happened", 1, false, kNothing, THUMB_PARKED, false, false},
        {"off screen, minimised while active, still the foreground", 0, true, kNothing, THUMB_PARKED, false, false},
        {"in place, minimised while active, still the foreground", 1, true, kNothing, THUMB_PARKED, false, false},
        {"off screen, brought to the front", 0, false, kForeground, THUMB_NORMAL, false, true},
        {"in place, brought to the front", 1, false, kForeground, THUMB_NORMAL, false, true},
        {"off screen, minimised while active, another window, then it again", 0, true, kAnotherThenForeground,
         THUMB_NORMAL, false, true},
        {"in place, minimised while active, another window, then it again", 1, true, kAnotherThenForeground,
         THUMB_NORMAL, false, true},
        {"off screen, minimised again", 0, false, kMinimisedAgain, THUMB_NORMAL, true, true},
        {"in place, minimised again", 1, false, kMinimisedAgain, THUMB_NORMAL, true, true},
        {"off screen, minimised again while the foreground", 0, true, kMinimisedAgain, THUMB_NORMAL, true, true},
        {"off screen, moved back on the screen", 0, false, kMovedOnScreen, THUMB_NORMAL, false, true},
    };
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 900, 100, 100, 50, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    auto bringToFront = [](HWND hwnd) {
        return PollFor(
            [&] {
                SetForegroundWindow(hwnd);
                return GetForegroundWindow() == hwnd;
            },
            3000);
    };
    for (const Case& c : cases) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWNOACTIVATE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        thumb->KillTimer(IDT_THUMB_POLL);              // the checks run here, not from the poll
        GetWindowRect(src, &thumb->m_rcSourceWindow);  // the last poll saw it on the screen
        ASSERT_TRUE(bringToFront(c.activeWhenMinimised ? src : other)) << c.name;
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        ASSERT_TRUE(thumb->ParkMinimisedSource()) << c.name;
        // Wine keeps a window minimised while active in the foreground, as Windows does after SW_SHOWMINIMIZED.
        if (c.activeWhenMinimised) {
            ASSERT_EQ(src, GetForegroundWindow()) << c.name;
        }

        switch (c.event) {
            case kNothing:
                thumb->CheckParkedSource();
                break;
            case kForeground:
                ASSERT_TRUE(bringToFront(src)) << c.name;
                break;
            case kAnotherThenForeground:
                ASSERT_TRUE(bringToFront(other)) << c.name;
                thumb->CheckParkedSource();
                ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name << ": back while another window was in front";
                ASSERT_TRUE(bringToFront(src)) << c.name;
                break;
            case kMinimisedAgain:
                ShowWindow(src, SW_SHOWMINNOACTIVE);
                break;
            case kMovedOnScreen:
                SetWindowPos(src, nullptr, 200, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                break;
        }
        thumb->CheckParkedSource();
        EXPECT_EQ(c.state, thumb->m_nState) << c.name;
        EXPECT_EQ(c.iconic, IsIconic(src) != FALSE) << c.name;
        EXPECT_EQ(c.enabled, IsWindowEnabled(src) != FALSE) << c.name;
        if (c.state == THUMB_NORMAL) {
            EXPECT_EQ(Hex(StyleToWriteBack(styleBefore, Style(src))), Hex(Style(src))) << c.name << ": its own style";
            EXPECT_EQ(Hex(exBefore), Hex(ExStyle(src))) << c.name << ": its own extended style";
            EXPECT_FALSE(IsMarkedParked(src)) << c.name << ": still marked";
        }
        if (c.event == kForeground) {
            EXPECT_EQ(Text(kNormal), Text(WindowRect(src))) << c.name << ": back where it was";
        }
        if (c.event == kMinimisedAgain) {
            EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name << ": its own restore position";
            // The next refresh step parks it again.
            EXPECT_TRUE(thumb->ParkMinimisedSource()) << c.name;
            EXPECT_FALSE(IsIconic(src) || IsWindowEnabled(src)) << c.name << ": not parked again";
            EXPECT_TRUE(IsMarkedParked(src)) << c.name;
        }
        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_TRUE(IsWindowEnabled(src)) << c.name << ": disabled after the close";
        EXPECT_FALSE(IsMarkedParked(src)) << c.name << ": marked after the close";
    }
    DestroyWindow(other);
}

TEST(Parking, HungParkedSourceStaysParkedUntilItAnswers)
{
    struct Case {
        const char* name;
        int layered;
        bool minimisedAgain;  // else brought to the front
    } cases[] = {
        {"off screen, minimised again", 0, true},
        {"in place, minimised again", 1, true},
        {"off screen, brought to the front", 0, false},
        {"in place, brought to the front", 1, false},
    };
    HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 900, 100, 100, 50, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    auto bringToFront = [](HWND hwnd) {
        return PollFor(
            [&] {
                SetForegroundWindow(hwnd);
                return GetForegroundWindow() == hwnd;
            },
            3000);
    };
    for (const Case& c : cases) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWNOACTIVATE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        thumb->KillTimer(IDT_THUMB_POLL);  // the checks run here, not from the poll
        ASSERT_TRUE(bringToFront(other)) << c.name;
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        ASSERT_TRUE(thumb->ParkMinimisedSource()) << c.name;
        // Its taskbar button minimises it where it is parked, or brings it to the front; then it stops answering.
        if (c.minimisedAgain)
            ShowWindow(src, SW_SHOWMINNOACTIVE);
        else
            ASSERT_TRUE(bringToFront(src)) << c.name;
        source.Hang(2500);
        thumb->CheckParkedSource();
        EXPECT_EQ(THUMB_PARKED, thumb->m_nState) << c.name << ": put back while it does not answer";
        EXPECT_TRUE(PollFor(
            [&] {
                thumb->CheckParkedSource();
                return thumb->m_nState == THUMB_NORMAL;
            },
            10000))
            << c.name << ": not put back once it answers";
        EXPECT_TRUE(IsWindowEnabled(src)) << c.name;
        EXPECT_EQ(Hex(StyleToWriteBack(styleBefore, Style(src))), Hex(Style(src))) << c.name;
        EXPECT_EQ(Hex(exBefore), Hex(ExStyle(src))) << c.name;
        EXPECT_FALSE(IsMarkedParked(src)) << c.name;
        EXPECT_EQ(c.minimisedAgain, IsIconic(src) != FALSE) << c.name;
        if (c.minimisedAgain) {
            EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name << ": its own restore position";
            ShowWindow(src, SW_RESTORE);
        }
        EXPECT_EQ(Text(kNormal), Text(WindowRect(src))) << c.name << ": back where it was";
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
    DestroyWindow(other);
}

namespace {

HRESULT NoTaskbarList(ITaskbarList** list)
{
    *list = nullptr;
    return E_FAIL;
}

// The taskbar-button service for one test: every AddTab fails, so each put-back shows its error box.
class FailingTaskbar {
public:
    FailingTaskbar() : m_saved(CTaskBarControl::m_pInstance), m_failing(&NoTaskbarList)
    {
        m_failing.m_bEnableDeleteTab = 0;
        CTaskBarControl::m_pInstance = &m_failing;
    }
    ~FailingTaskbar() { CTaskBarControl::m_pInstance = m_saved; }

private:
    CTaskBarControl* m_saved;
    CTaskBarControl m_failing;
};

// While a message box of this thread is open, the first timer tick closes the thumbnail, and every
// tick ends the box.
Cthumbnail* g_closeInBox = nullptr;
int g_boxes = 0;

BOOL CALLBACK EndBox(HWND hwnd, LPARAM)
{
    char name[16] = "";
    GetClassNameA(hwnd, name, sizeof(name));
    if (std::strcmp(name, "#32770") == 0 && IsWindowVisible(hwnd)) {
        ++g_boxes;
        if (Cthumbnail* thumb = g_closeInBox) {
            g_closeInBox = nullptr;
            CloseThumbnail(thumb, THUMB_CLOSE);
        }
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

void CALLBACK CloseWhileBoxOpen(HWND, UINT, UINT_PTR, DWORD)
{
    EnumThreadWindows(GetCurrentThreadId(), &EndBox, 0);
}

}  // namespace

TEST(Parking, ReturnFromParkingStopsWhenItsTaskbarBoxClosedTheThumbnail)
{
    for (const MethodCase& c : kBothMethods) {
        Method method(1, c.layered);
        FailingTaskbar taskbar;
        CControlDlg page;
        ThreadSource source(SW_SHOWMINNOACTIVE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        HWND thumbWnd = thumb->m_hWnd;
        g_closeInBox = thumb;
        g_boxes = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 30, &CloseWhileBoxOpen);
        // The double click puts the source back; its taskbar box closes the thumbnail meanwhile.
        SendMessageA(thumbWnd, WM_LBUTTONDBLCLK, 0, MAKELPARAM(10, 10));
        KillTimer(nullptr, timer);
        EXPECT_TRUE(g_closeInBox == nullptr && !IsWindow(thumbWnd))
            << c.name << ": the box did not close the thumbnail";
        EXPECT_EQ(1, g_boxes) << c.name << ": taskbar boxes, one per put-back";
        // Put back minimised by the return, and left so: neither restored nor moved after the thumbnail went.
        EXPECT_TRUE(IsIconic(src)) << c.name << ": restored after its thumbnail was closed";
        EXPECT_EQ(Hex(styleBefore), Hex(Style(src))) << c.name;
        EXPECT_FALSE(IsMarkedParked(src)) << c.name;
        g_closeInBox = nullptr;
    }
}

TEST(Parking, SourceThatStopsAnsweringAfterTheQuestionIsNotParked)
{
    for (const MethodCase& c : kBothMethods) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWNOACTIVATE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        thumb->KillTimer(IDT_THUMB_POLL);
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        const int restores = source.Restores();
        // It answers the question, takes the first writes, then stops answering for 3 s.
        source.HangAt(ThreadSource::kAfterLayeredWrite, 3000);
        EXPECT_FALSE(thumb->ParkMinimisedSource()) << c.name;
        EXPECT_TRUE(source.Hung()) << c.name << ": the source never stopped answering";
        EXPECT_EQ(THUMB_NORMAL, thumb->m_nState) << c.name;
        EXPECT_TRUE(IsIconic(src)) << c.name << ": shown or moved by a park it did not answer";
        // Once it answers it is as the user left it: minimised, enabled, opaque, its own restore position.
        EXPECT_TRUE(
            PollFor([&] { return IsWindowEnabled(src) && ExStyle(src) == exBefore && !IsMarkedParked(src); }, 10000))
            << c.name << ": " << Hex(Style(src)) << " ex " << Hex(ExStyle(src)) << " marked " << IsMarkedParked(src);
        EXPECT_EQ(Hex(styleBefore | WS_MINIMIZE), Hex(Style(src))) << c.name;
        EXPECT_TRUE(IsIconic(src)) << c.name;
        EXPECT_EQ(restores, source.Restores()) << c.name << ": restored on the way back";
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name;
        // A later refresh step parks it.
        EXPECT_TRUE(PollFor([&] { return thumb->ParkMinimisedSource() != FALSE; }, 10000)) << c.name;
        EXPECT_FALSE(IsIconic(src) || IsWindowEnabled(src)) << c.name << ": not parked later";
        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_TRUE(IsIconic(src) && IsWindowEnabled(src)) << c.name;
    }
}

// Each put-back without a wait starts its writes on threads of their own, one of which ends at once:
// over many of them, every one must still run its own write.
TEST(Parking, EveryPutBackWithoutAWaitEnablesTheWindow)
{
    ThreadSource source(SW_SHOWMINNOACTIVE);
    HWND src = source.Hwnd();
    ParkedState state = {};
    state.method = kParkedInPlace;
    state.style = Style(src) & ~WS_MINIMIZE;
    state.exStyle = ExStyle(src);
    state.placement.length = sizeof(state.placement);
    GetWindowPlacement(src, &state.placement);
    const int kPutBacks = 150;
    int enabled = 0, finished = 0;
    for (int i = 0; i < kPutBacks; ++i) {
        SetWindowLongA(src, GWL_STYLE, static_cast<LONG>(Style(src) | WS_DISABLED));
        PutBackParkedWindow(src, state, false);
        if (!PollFor([&] { return !PutBackPending(src); }, 5000))
            break;  // a write that never ran: the put-back never ends
        ++finished;
        enabled += IsWindowEnabled(src) ? 1 : 0;
    }
    EXPECT_EQ(kPutBacks, finished) << "put-backs that never ended";
    EXPECT_EQ(kPutBacks, enabled) << "put-backs that enabled the window, of " << finished;
}

TEST(Parking, SourceThatStopsAnsweringWhileItIsMinimisedIsPutBackWithoutAWait)
{
    for (const MethodCase& c : kBothMethods) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWMINNOACTIVE);
        HWND src = source.Hwnd();
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        source.HangAt(ThreadSource::kInMinimise, 6000);
        const DWORD start = GetTickCount();
        CloseThumbnail(thumb, THUMB_CLOSE);
        const DWORD took = GetTickCount() - start;
        EXPECT_TRUE(source.Hung()) << c.name << ": the source never stopped answering";
        EXPECT_LT(took, 3500u) << c.name << ": the close waited for the source that stopped answering";
        EXPECT_TRUE(PollFor([&] { return IsIconic(src) && ExStyle(src) == exBefore && !IsMarkedParked(src); }, 15000))
            << c.name << ": " << Hex(Style(src)) << " ex " << Hex(ExStyle(src)) << " marked " << IsMarkedParked(src);
        EXPECT_EQ(Hex(styleBefore), Hex(Style(src))) << c.name;
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name;
    }
}

TEST(Parking, ParkedBrowserLeftEnabledByAReloadIsDisabledOnceItAnswers)
{
    struct Case {
        const char* name;
        int layered;
    } cases[] = {
        {"in place", 1},
        {"off screen", 0},
    };
    for (const Case& c : cases) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWMINNOACTIVE);
        HWND src = source.Hwnd();
        Cthumbnail* thumb = new Cthumbnail(SourceEntry(src, "parked", "iexplore.exe"), kSlot, 153, nullptr);
        ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        thumb->KillTimer(IDT_THUMB_POLL);  // the checks run here, not from the poll
        thumb->m_bWebReload = 1;
        // It stops answering when it takes the key, inside the reload's 100 ms.
        source.HangAt(ThreadSource::kAtReloadKey, 2500);
        SendMessageA(thumb->m_hWnd, WM_TIMER, IDT_WEB_RELOAD, 0);
        EXPECT_TRUE(source.Hung()) << c.name << ": the source never stopped answering";
        EXPECT_TRUE(IsWindowEnabled(src)) << c.name << ": written while it did not answer";
        EXPECT_TRUE(PollFor(
            [&] {
                thumb->CheckParkedSource();
                return !IsWindowEnabled(src);
            },
            10000))
            << c.name << ": left enabled, so it takes clicks while it is parked";
        EXPECT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_TRUE(IsIconic(src) && IsWindowEnabled(src)) << c.name << ": not put back after the close";
    }
}

namespace {

// Wine's notepad, a window of another process: under Wine its placement reports where it stands, so
// once it is minimised its normal position is the iconic rectangle, and the one last seen restored
// stands in.
class OtherProcessWindow {
public:
    OtherProcessWindow()
    {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        char command[] = "notepad.exe";
        if (!CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_process)) {
            ADD_FAILURE() << "notepad did not start: " << GetLastError();
            return;
        }
        WaitForInputIdle(m_process.hProcess, 5000);
        if (!PollFor([this] { return (m_hwnd = Find(m_process.dwProcessId)) != nullptr; }, 10000))
            ADD_FAILURE() << "notepad showed no window";
    }
    ~OtherProcessWindow()
    {
        if (!m_process.hProcess)
            return;
        TerminateProcess(m_process.hProcess, 0);
        WaitForSingleObject(m_process.hProcess, 5000);
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
    }
    OtherProcessWindow(const OtherProcessWindow&) = delete;
    OtherProcessWindow& operator=(const OtherProcessWindow&) = delete;

    HWND Hwnd() const { return m_hwnd; }
    WindowEntry Entry() const
    {
        WindowEntry e = SourceEntry(m_hwnd, "notepad");
        e.processId = m_process.dwProcessId;
        return e;
    }

private:
    struct Search {
        DWORD pid;
        HWND found;
    };
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM context)
    {
        Search* search = reinterpret_cast<Search*>(context);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != search->pid || !IsWindowVisible(hwnd))
            return TRUE;
        search->found = hwnd;
        return FALSE;
    }
    static HWND Find(DWORD pid)
    {
        Search search = {pid, nullptr};
        EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    PROCESS_INFORMATION m_process = {};
    HWND m_hwnd = nullptr;
};

void MoveTo(HWND hwnd, const RECT& r)
{
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

// A window seen standing off the desktop (a put-back not yet taken, or moved there by its program)
// and minimised from there: its normal position cannot be read, and the last rectangle seen on the
// desktop stands in, so that the put-back brings it back where the user last had it.
TEST(Parking, WindowSeenOffTheDesktopGoesBackWhereItWasLastOnIt)
{
    const RECT onDesktop = {300, 150, 620, 390};
    struct Case {
        const char* name;
        RECT offDesktop;
    } cases[] = {
        {"at the parked depth", {10300, 10150, 10620, 10390}},
        {"beyond the right edge", {1300, 150, 1620, 390}},
    };
    Method method(1, 0);  // off screen: the put-back moves it to its saved normal position
    OtherProcessWindow other;
    HWND src = other.Hwnd();
    ASSERT_TRUE(src != nullptr);
    for (const Case& c : cases) {
        CControlDlg page;
        MoveTo(src, onDesktop);
        ASSERT_EQ(Text(onDesktop), Text(WindowRect(src))) << c.name;
        Cthumbnail* thumb = new Cthumbnail(other.Entry(), kSlot, 153, nullptr);
        thumb->KillTimer(IDT_THUMB_POLL);  // the polls run here
        ASSERT_EQ(THUMB_NORMAL, thumb->m_nState) << c.name;
        SendMessageA(thumb->m_hWnd, WM_TIMER, IDT_THUMB_POLL, 0);
        MoveTo(src, c.offDesktop);
        ASSERT_EQ(Text(c.offDesktop), Text(WindowRect(src))) << c.name;
        SendMessageA(thumb->m_hWnd, WM_TIMER, IDT_THUMB_POLL, 0);
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        ASSERT_TRUE(IsIconic(src)) << c.name;
        ASSERT_TRUE(thumb->ParkMinimisedSource()) << c.name;
        EXPECT_EQ(Text(onDesktop), Text(thumb->m_wpSaved.rcNormalPosition)) << c.name << ": its saved normal position";
        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_TRUE(IsIconic(src) && IsWindowEnabled(src)) << c.name << ": not put back";
        ShowWindow(src, SW_SHOWNOACTIVATE);
        EXPECT_EQ(Text(onDesktop), Text(WindowRect(src))) << c.name << ": restored elsewhere";
    }
}

// A busy source answers each question only after 900 ms of work: its park and its put-back go on
// while the program does not wait for them, and a thumbnail that goes, or the exit, while the park
// goes on still puts it back.
TEST(Parking, BusySourceIsParkedAndPutBackWithoutHoldingUpTheProgram)
{
    enum When { kOnceParked, kWhileItsParkGoesOn, kAtTheExitWhileItsParkGoesOn };
    struct Case {
        const char* name;
        When when;
    } cases[] = {
        {"closed once parked", kOnceParked},
        {"closed while its park goes on", kWhileItsParkGoesOn},
        {"the exit while its park goes on", kAtTheExitWhileItsParkGoesOn},
    };
    for (const MethodCase& m : kBothMethods) {
        for (const Case& c : cases) {
            const std::string name = std::string(m.name) + ", " + c.name;
            Method method(1, m.layered);
            CControlDlg page;
            ThreadSource source(SW_SHOWNOACTIVATE);
            HWND src = source.Hwnd();
            Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
            thumb->KillTimer(IDT_THUMB_POLL);  // no poll while it is minimised: it would look at the source
            ShowWindow(src, SW_SHOWMINNOACTIVE);
            const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
            source.Busy(900);
            DWORD start = GetTickCount();
            thumb->ParkMinimisedSource();
            const DWORD step = GetTickCount() - start;
            // The one wait per minimise, and a little of the park's.
            EXPECT_LT(step, 800u) << name << ": the refresh step waited " << step << " ms for the park";
            thumb->SetTimer(IDT_THUMB_POLL, 200);
            if (c.when == kOnceParked) {
                EXPECT_TRUE(WaitFor([&] { return thumb->m_nState == THUMB_PARKED; }, 15000)) << name;
                EXPECT_FALSE(IsIconic(src) || IsWindowEnabled(src)) << name << ": not parked";
                EXPECT_TRUE(m.layered ? Alpha(src) == 0 : WindowRect(src).left >= 10000)
                    << name << ": parked at " << Text(WindowRect(src)) << " alpha " << Alpha(src);
            }
            start = GetTickCount();
            if (c.when == kAtTheExitWhileItsParkGoesOn) {
                PutBackTogether exit(1500);
                CloseThumbnail(thumb, THUMB_CLOSE);
            } else {
                CloseThumbnail(thumb, THUMB_CLOSE);
            }
            const DWORD closed = GetTickCount() - start;
            EXPECT_LT(closed, c.when == kAtTheExitWhileItsParkGoesOn ? 2000u : 700u)
                << name << ": the close waited " << closed << " ms";
            EXPECT_TRUE(PollFor(
                [&] {
                    return IsIconic(src) && Style(src) == styleBefore && ExStyle(src) == exBefore &&
                           !IsMarkedParked(src);
                },
                20000))
                << name << ": " << Hex(Style(src)) << " ex " << Hex(ExStyle(src)) << " marked " << IsMarkedParked(src);
            EXPECT_EQ(-1, Alpha(src)) << name;
            EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << name << ": its restore position";
        }
    }
}

// Closed while its park waits for the source, after the source's drawing was turned off: the window
// comes back drawing, as it was, and a new thumbnail made meanwhile parks it only once it is back.
TEST(Parking, ParkAbandonedAfterTheRedrawWasTurnedOffPutsTheWindowBackDrawing)
{
    for (const MethodCase& c : kBothMethods) {
        Method method(1, c.layered);
        CControlDlg page;
        ThreadSource source(SW_SHOWNOACTIVATE);
        HWND src = source.Hwnd();
        Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        thumb->KillTimer(IDT_THUMB_POLL);
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        const DWORD styleBefore = Style(src), exBefore = ExStyle(src);
        source.HangAt(ThreadSource::kAfterRedrawOff, 1500);
        EXPECT_FALSE(thumb->ParkMinimisedSource()) << c.name << ": parked while the source did not answer";
        EXPECT_TRUE(source.Hung()) << c.name << ": the source never stopped answering";
        EXPECT_FALSE(source.RedrawOn()) << c.name;
        CloseThumbnail(thumb, THUMB_CLOSE);
        Cthumbnail* next = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
        next->KillTimer(IDT_THUMB_POLL);
        // Its writes would cross those of the put-back still waiting for the source.
        EXPECT_FALSE(next->ParkMinimisedSource()) << c.name;
        EXPECT_FALSE(next->ParkGoesOn()) << c.name << ": a second park while the first one's put-back goes on";
        EXPECT_TRUE(PollFor(
            [&] {
                return IsIconic(src) && source.RedrawOn() && Style(src) == styleBefore && ExStyle(src) == exBefore &&
                       !IsMarkedParked(src) && !PutBackPending(src);
            },
            10000))
            << c.name << ": " << Hex(Style(src)) << " ex " << Hex(ExStyle(src)) << " drawing " << source.RedrawOn()
            << " marked " << IsMarkedParked(src);
        EXPECT_EQ(-1, Alpha(src)) << c.name;
        EXPECT_EQ(Text(kNormal), Text(NormalPosition(src))) << c.name << ": its restore position";
        EXPECT_TRUE(PollFor([&] { return next->ParkMinimisedSource() != FALSE; }, 10000)) << c.name;
        CloseThumbnail(next, THUMB_CLOSE);
        EXPECT_TRUE(PollFor([&] { return IsIconic(src) && Style(src) == styleBefore && !IsMarkedParked(src); }, 10000))
            << c.name << ": " << Hex(Style(src));
    }
}

namespace {

Cthumbnail* g_closeOnQuestion = nullptr;

// A source of this thread that closes its thumbnail when another thread asks whether it answers.
LRESULT CALLBACK ClosesItsThumbnailOnTheQuestion(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NULL && InSendMessage() && g_closeOnQuestion) {
        Cthumbnail* thumb = g_closeOnQuestion;
        g_closeOnQuestion = nullptr;
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

// The wait for a park lets in what is sent to this thread: a close there ends the park's wait.
TEST(Parking, ThumbnailClosedWhileItsParkAsksTheSource)
{
    Method method(1, 0);
    CControlDlg page;
    HWND src = MakeSourceWindow(kNormal, "closes", &ClosesItsThumbnailOnTheQuestion);
    const DWORD styleBefore = Style(src);
    Cthumbnail* thumb = new Cthumbnail(EntryFor(src), kSlot, 153, nullptr);
    thumb->KillTimer(IDT_THUMB_POLL);
    ShowWindow(src, SW_SHOWMINNOACTIVE);
    g_closeOnQuestion = thumb;
    SendMessageA(thumb->m_hWnd, WM_APP_THUMB_REFRESH, 0, 0);
    EXPECT_EQ(nullptr, g_closeOnQuestion) << "the park never asked the source";
    EXPECT_TRUE(WaitFor([&] { return !PutBackPending(src); }, 5000));
    EXPECT_TRUE(IsIconic(src) && IsWindowEnabled(src)) << Hex(Style(src));
    EXPECT_EQ(Hex(styleBefore | WS_MINIMIZE), Hex(Style(src)));
    EXPECT_FALSE(IsMarkedParked(src));
    DestroyWindow(src);
}
