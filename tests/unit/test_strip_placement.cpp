// A thumbnail's z-order, hover, frame and refit: the decisions as tables, then a thumbnail of a
// window of this process under a cursor the test moves.
#include "strip/PlacementMath.h"

#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"

#include <gtest/gtest.h>

#include "tests/unit/support/describe.h"
#include "tests/unit/support/pump.h"
#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

#include <string>

TEST(Placement, RaisedWhileHoveredOrInHoverKeyMode)
{
    struct Case {
        int hover, hoverKey, frame;
        bool topmost;
        FrameChange change;
    } cases[] = {
        {0, 0, 0, false, kFrameOff}, {0, 0, 1, false, kFrameKeep}, {1, 0, 0, true, kFrameOn},
        {0, 1, 0, true, kFrameOn},   {1, 1, 1, true, kFrameOn},
    };
    for (const Case& c : cases) {
        const std::string name = "hover " + std::to_string(c.hover) + ", key " + std::to_string(c.hoverKey) +
                                 ", FRAME " + std::to_string(c.frame);
        EXPECT_EQ(c.topmost ? HWND_TOPMOST : HWND_BOTTOM, ZOrderAnchor(c.hover, c.hoverKey)) << name;
        EXPECT_EQ(c.change, FrameAfterZOrder(c.hover, c.hoverKey, c.frame)) << name;
    }
}

TEST(Placement, HoverStartsOnAMoveAndEndsOnATick)
{
    struct Case {
        const char* name;
        int hover;
        HoverEvent event;
        bool inside;
        int after;
    } cases[] = {
        {"move inside starts it", 0, kHoverMouseMove, true, 1},
        {"tick inside does not start it", 0, kHoverPollTick, true, 0},
        {"tick outside ends it", 1, kHoverPollTick, false, 0},
        {"move outside does not end it", 1, kHoverMouseMove, false, 1},
        {"tick inside keeps it", 1, kHoverPollTick, true, 1},
        {"move outside while at rest", 0, kHoverMouseMove, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.after, HoverAfter(c.hover, c.event, c.inside)) << c.name;
}

TEST(Placement, ZOrderIsCheckedAfterTheMessagesThatMayChangeIt)
{
    struct Case {
        const char* name;
        UINT message;
        UINT flags;
        bool check;
    } cases[] = {
        {"moved in the z-order", WM_WINDOWPOSCHANGED, SWP_NOMOVE | SWP_NOSIZE, true},
        {"shown without a z-order change", WM_WINDOWPOSCHANGED, SWP_NOZORDER | SWP_SHOWWINDOW, true},
        {"moved only", WM_WINDOWPOSCHANGED, SWP_NOZORDER | SWP_NOSIZE, false},
        {"resized only", WM_WINDOWPOSCHANGED, SWP_NOZORDER | SWP_NOMOVE, false},
        {"activated", WM_ACTIVATE, 0, true},
        {"shown", WM_SHOWWINDOW, 0, true},
        {"painted", WM_PAINT, 0, false},
        {"a poll tick", WM_TIMER, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.check, MayChangeZOrder(c.message, c.flags)) << c.name;
}

TEST(Placement, MinimisedRectangleSaysNothingOfTheSize)
{
    struct Case {
        RECT window;
        bool minimised;
    } cases[] = {
        {{-32000, -32000, -31840, -31972}, true},
        {{-500, -400, -1, -1}, true},
        {{-500, -400, 0, -1}, false},
        {{-500, -400, 10, 20}, false},
        {{100, 100, 500, 400}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.minimised, IsMinimisedRect(c.window)) << Text(c.window);
}

namespace {

HWND MakeWindow(const char* title, int x, int y, int width, int height)
{
    return MakeSourceWindow({x, y, x + width, y + height}, title, &DefWindowProcA, WS_OVERLAPPEDWINDOW, 0,
                            SW_SHOWNORMAL);
}

WindowEntry EntryFor(HWND source)
{
    return SourceEntry(source, "source");
}

const RECT kSlot = {100, 200, 260, 320};
const BYTE kAlpha = 153;

int* g_moves = nullptr;

LRESULT CALLBACK CountMoves(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* cwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && cwp->message == WM_WINDOWPOSCHANGED && g_moves)
        ++*g_moves;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Topmost(HWND h)
{
    return (GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}
bool Framed(HWND h)
{
    return (GetWindowLongA(h, GWL_STYLE) & WS_THICKFRAME) != 0;
}

int Alpha(HWND h)
{
    BYTE alpha = 0;
    DWORD flags = 0;
    return GetLayeredWindowAttributes(h, nullptr, &alpha, &flags) ? alpha : -1;
}

// Moves the cursor and tells the window under it, as a real move would.
void MoveCursor(int x, int y)
{
    SetCursorPos(x, y);
    WaitFor([&] { return CursorAt(x, y); }, 2000);
    const POINT at = {x, y};
    if (HWND under = WindowFromPoint(at)) {
        POINT client = at;
        ScreenToClient(under, &client);
        SendMessageA(under, WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
    }
}

}  // namespace

TEST(Placement, JustOpenedThumbnailSitsBeneathOrdinaryWindows)
{
    HWND source = MakeWindow("source", 600, 100, 400, 300);
    HWND other = MakeWindow("other", 50, 150, 400, 300);  // covers the slot
    SetForegroundWindow(other);
    Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, kAlpha, nullptr);
    HWND hwnd = thumb->m_hWnd;
    // Wine raises it once it is mapped, from outside this thread, soon after its first paint.
    PumpFor(100);
    EXPECT_TRUE(WaitFor([&] { return ZIndex(hwnd) > ZIndex(other); }, 1000)) << "not beneath within a second";
    EXPECT_TRUE(HoldsFor([&] { return ZIndex(hwnd) > ZIndex(other); }, 600)) << "raised again";
    EXPECT_FALSE(Topmost(hwnd));
    EXPECT_NE(hwnd, GetForegroundWindow()) << "the opening took the keyboard";
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(other);
    DestroyWindow(source);
}

TEST(Placement, HoverRaisesOpaqueWithFrameAndLeavingSetsItBack)
{
    struct Case {
        const char* name;
        int frame;
        bool framedAtRest;
    } cases[] = {
        {"FRAME 0", 0, false},
        {"FRAME 1 keeps the frame at rest", 1, true},
    };
    for (const Case& c : cases) {
        CControlDlg page;
        page.m_bFrame = c.frame;
        MoveCursor(1200, 900);
        HWND source = MakeWindow("source", 600, 100, 400, 300);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, kAlpha, nullptr);
        HWND hwnd = thumb->m_hWnd;
        EXPECT_EQ(c.framedAtRest, Framed(hwnd)) << c.name << ": at rest";

        MoveCursor(180, 260);
        // The move may reach the thumbnail as the pointer's own motion rather than the one sent.
        EXPECT_TRUE(WaitFor([&] { return thumb->m_bHover == 1; }, 1000)) << c.name << ": not hovered";
        EXPECT_TRUE(Topmost(hwnd)) << c.name << ": hovered";
        EXPECT_EQ(255, Alpha(hwnd)) << c.name << ": hovered";
        EXPECT_TRUE(Framed(hwnd)) << c.name << ": hovered";

        MoveCursor(1200, 900);
        EXPECT_TRUE(WaitFor([&] { return thumb->m_bHover == 0; }, 1000)) << c.name << ": the poll did not end it";
        EXPECT_FALSE(Topmost(hwnd)) << c.name << ": after";
        EXPECT_EQ(kAlpha, Alpha(hwnd)) << c.name << ": after";
        EXPECT_EQ(c.framedAtRest, Framed(hwnd)) << c.name << ": after";
        CloseThumbnail(thumb, THUMB_CLOSE);
        DestroyWindow(source);
    }
}

TEST(Placement, HoverKeyModeRaisesWithFrameAtRestOpacity)
{
    CControlDlg page;
    HWND source = MakeWindow("source", 600, 100, 400, 300);
    HWND other = MakeWindow("other", 50, 150, 400, 300);
    SetForegroundWindow(other);
    Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, kAlpha, nullptr);
    HWND hwnd = thumb->m_hWnd;
    thumb->m_bHoverKey = 1;
    thumb->SetZOrder();
    EXPECT_TRUE(Topmost(hwnd));
    EXPECT_LT(ZIndex(hwnd), ZIndex(other));
    EXPECT_TRUE(Framed(hwnd));
    EXPECT_EQ(kAlpha, Alpha(hwnd));
    EXPECT_EQ(other, GetForegroundWindow()) << "the hot key took the keyboard";
    thumb->m_bHoverKey = 0;
    thumb->SetZOrder();
    EXPECT_FALSE(Topmost(hwnd));
    EXPECT_GT(ZIndex(hwnd), ZIndex(other));
    EXPECT_FALSE(Framed(hwnd));
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(other);
    DestroyWindow(source);
}

TEST(Placement, RefitsToAResizedSourceKeepingItsCorner)
{
    struct Case {
        const char* name;
        SIZE resize;  // {0, 0}: minimised instead
        RECT window;
    } cases[] = {
        {"wider: full width, corner kept", {1000, 500}, {100, 200, 260, 280}},
        {"taller", {300, 600}, {100, 200, 160, 320}},
        {"minimised: the size stays", {0, 0}, {100, 200, 260, 320}},
    };
    for (const Case& c : cases) {
        CControlDlg page;
        HWND source = MakeWindow("source", 600, 100, 400, 300);
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, kAlpha, nullptr);
        HWND hwnd = thumb->m_hWnd;
        if (c.resize.cx > 0)
            SetWindowPos(source, nullptr, 0, 0, c.resize.cx, c.resize.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        else
            ShowWindow(source, SW_SHOWMINNOACTIVE);
        thumb->TrackSourceRect();
        RECT r = {};
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(Text(c.window), Text(r)) << c.name;
        CloseThumbnail(thumb, THUMB_CLOSE);
        DestroyWindow(source);
    }
}

TEST(Placement, FrameAlreadyInItsStateChangesNothing)
{
    CControlDlg page;
    HWND source = MakeWindow("source", 600, 100, 400, 300);
    Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, kAlpha, nullptr);
    HWND hwnd = thumb->m_hWnd;
    struct Step {
        BOOL on;
        bool framed;
        bool moved;  // the two repainting moves happened
    } steps[] = {{FALSE, false, false}, {TRUE, true, true}, {TRUE, true, false}, {FALSE, false, true}};
    for (const Step& s : steps) {
        int moves = 0;
        g_moves = &moves;
        HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &CountMoves, nullptr, GetCurrentThreadId());
        thumb->SetFrame(s.on);
        UnhookWindowsHookEx(hook);
        g_moves = nullptr;
        EXPECT_EQ(s.framed, Framed(hwnd)) << "SetFrame(" << s.on << ")";
        EXPECT_EQ(s.moved, moves > 0) << "SetFrame(" << s.on << "): " << moves << " position changes";
    }
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}
