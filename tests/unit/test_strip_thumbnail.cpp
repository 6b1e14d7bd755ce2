// The thumbnail window: its fit, its creation from a source, the close protocol, self-deletion,
// refused closes, failed creation, and the parked source put back whichever way it goes.
#include "strip/Thumbnail.h"

#include "strip/ControlDlg.h"

#include <gtest/gtest.h>

#include "tests/unit/support/pump.h"
#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// Source windows of this process; they count the SC_RESTORE commands they receive.
int g_restores = 0;

LRESULT CALLBACK SourceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_RESTORE)
        ++g_restores;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeSource(int width, int height, int show)
{
    return MakeSourceWindow({50, 60, 50 + width, 60 + height}, "source", &SourceProc, WS_OVERLAPPEDWINDOW, 0, show);
}

WindowEntry EntryFor(HWND source, const char* processName = "notepad.exe")
{
    return SourceEntry(source, "source", processName);
}

// Counts its deletions, so a test knows the object is gone without touching it.
int g_deleted = 0;

class ProbeThumbnail : public Cthumbnail {
public:
    ProbeThumbnail(WindowEntry entry, RECT slot, BYTE alpha) : Cthumbnail(entry, slot, alpha, nullptr) {}
    ~ProbeThumbnail() override { ++g_deleted; }
};

const RECT kSlot = {100, 200, 260, 320};
const BYTE kAlpha = 153;

bool IsOurClass(HWND hwnd)
{
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof(name));
    return strncmp(name, "Kv:", 3) == 0;
}

// Windows of the thumbnail's class seen by the hooks below, and what the hooks do with them.
HWND g_hooked = nullptr;

LRESULT CALLBACK RefuseCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && IsOurClass(reinterpret_cast<HWND>(wParam))) {
        g_hooked = reinterpret_cast<HWND>(wParam);
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK DestroyAtCreate(int code, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* cwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && cwp->message == WM_CREATE && IsOurClass(cwp->hwnd)) {
        g_hooked = cwp->hwnd;
        DestroyWindow(cwp->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

TEST(Thumbnail, FitKeepsTheSourceAspectInsideTheSlot)
{
    struct Case {
        const char* name;
        RECT slot;
        SIZE source;
        RECT window;
    } cases[] = {
        {"wider source: full width, centred down", {100, 200, 260, 320}, {1000, 500}, {100, 220, 260, 300}},
        {"taller source: full height, centred across", {100, 200, 260, 320}, {1280, 1024}, {105, 200, 255, 320}},
        {"the slot's own aspect fills it", {100, 200, 260, 320}, {1024, 768}, {100, 200, 260, 320}},
        {"odd leftover: the extra pixel lies below", {0, 0, 160, 120}, {160, 117}, {0, 1, 160, 118}},
        {"odd leftover: the extra pixel lies right", {0, 0, 160, 120}, {157, 120}, {1, 0, 158, 120}},
        {"truncated, not rounded", {0, 0, 160, 120}, {1920, 1080}, {0, 15, 160, 105}},
    };
    for (const Case& c : cases) {
        RECT got = {};
        ASSERT_TRUE(FitRect(c.slot, c.source.cx, c.source.cy, &got)) << c.name;
        EXPECT_EQ(Text(c.window), Text(got)) << c.name;
    }
    RECT untouched = {1, 2, 3, 4};
    EXPECT_FALSE(FitRect(kSlot, 0, 300, &untouched)) << "a source without width";
    EXPECT_FALSE(FitRect(kSlot, 400, 0, &untouched)) << "a source without height";
    EXPECT_EQ(Text(RECT{1, 2, 3, 4}), Text(untouched));
}

TEST(Thumbnail, ParkedSourceIsPutBackWhicheverStateSaysSo)
{
    struct Case {
        int prev;
        int state;
        bool putBack;
    } cases[] = {
        {THUMB_PARKED, THUMB_CLOSE, true},  {THUMB_PARKED, THUMB_CLOSE_ANIMATED, true}, {THUMB_NEW, THUMB_PARKED, true},
        {THUMB_PARKED, THUMB_PARKED, true}, {THUMB_NORMAL, THUMB_CLOSE, false},         {THUMB_NEW, THUMB_CLOSE, false},
        {THUMB_NEW, THUMB_NEW, false},      {THUMB_NEW, THUMB_NORMAL, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.putBack, ShouldPutBackSource(c.prev, c.state)) << "previous " << c.prev << ", state " << c.state;
}

TEST(Thumbnail, CreatedFromItsSource)
{
    struct Case {
        const char* name;
        int show;  // -1: the source is gone before the thumbnail is made
        SIZE source;
        int frame;
        int state;
        RECT window;
    } cases[] = {
        {"ordinary source", SW_SHOWNORMAL, {400, 300}, 0, THUMB_NORMAL, {100, 200, 260, 320}},
        {"wider source", SW_SHOWNORMAL, {1000, 500}, 0, THUMB_NORMAL, {100, 220, 260, 300}},
        {"minimised: parked, fitted by its restored size",
         SW_SHOWMINNOACTIVE,
         {600, 300},
         0,
         THUMB_PARKED,
         {100, 220, 260, 300}},
        {"maximised: fitted by its normal position",
         SW_SHOWMAXIMIZED,
         {300, 300},
         0,
         THUMB_NORMAL,
         {120, 200, 240, 320}},
        {"gone at creation: an empty window", -1, {400, 300}, 0, THUMB_NEW, {0, 0, 0, 0}},
        {"FRAME on: with its resize frame", SW_SHOWNORMAL, {400, 300}, 1, THUMB_NORMAL, {100, 200, 260, 320}},
    };
    for (const Case& c : cases) {
        CControlDlg page;  // the thumbnails read FRAME through it
        page.m_bFrame = c.frame;
        HWND source = MakeSource(c.source.cx, c.source.cy, c.show < 0 ? SW_SHOWNORMAL : c.show);
        if (c.show < 0)
            DestroyWindow(source);
        g_deleted = 0;
        const long gdiBefore = AfxGdiLiveCount();

        Cthumbnail* thumb = new ProbeThumbnail(EntryFor(source), kSlot, kAlpha);
        HWND hwnd = thumb->m_hWnd;
        ASSERT_TRUE(IsWindow(hwnd)) << c.name;
        EXPECT_EQ(c.state, thumb->m_nState) << c.name;
        EXPECT_EQ(THUMB_NEW, thumb->m_nPrevState) << c.name;
        RECT r = {};
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(Text(c.window), Text(r)) << c.name;
        const DWORD style = GetWindowLongA(hwnd, GWL_STYLE);
        const DWORD exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
        EXPECT_TRUE(style & WS_POPUP) << c.name;
        EXPECT_FALSE(style & WS_BORDER) << c.name;
        EXPECT_EQ(c.frame != 0, (style & WS_THICKFRAME) != 0) << c.name << ": resize frame";
        EXPECT_EQ(DWORD(WS_EX_LAYERED | WS_EX_TOOLWINDOW), exStyle & (WS_EX_LAYERED | WS_EX_TOOLWINDOW)) << c.name;
        BYTE alpha = 0;
        DWORD flags = 0;
        EXPECT_TRUE(GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags)) << c.name;
        EXPECT_EQ(kAlpha, alpha) << c.name;
        EXPECT_EQ(DWORD(LWA_ALPHA), flags) << c.name;

        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_EQ(1, g_deleted) << c.name << ": deleted once, before the close returned";
        EXPECT_FALSE(IsWindow(hwnd)) << c.name;
        EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hwnd)) << c.name;
        EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << c.name << ": GDI objects left";
        if (IsWindow(source))
            DestroyWindow(source);
    }
}

TEST(Thumbnail, RefusesToBeClosedOutsideTheProtocol)
{
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
    } cases[] = {
        {"WM_CLOSE", WM_CLOSE, 0},
        {"Alt+F4 (SC_CLOSE)", WM_SYSCOMMAND, SC_CLOSE},
        {"SC_CLOSE from the system menu", WM_SYSCOMMAND, SC_CLOSE | 0x3},
    };
    HWND source = MakeSource(400, 300, SW_SHOWNORMAL);
    g_deleted = 0;
    Cthumbnail* thumb = new ProbeThumbnail(EntryFor(source), kSlot, kAlpha);
    HWND hwnd = thumb->m_hWnd;
    for (const Case& c : cases) {
        SendMessageA(hwnd, c.message, c.wParam, 0);
        Pump();
        EXPECT_TRUE(IsWindow(hwnd)) << c.name << ": the window went";
        EXPECT_EQ(0, g_deleted) << c.name << ": the object went";
    }
    CloseThumbnail(thumb, THUMB_CLOSE);
    EXPECT_EQ(1, g_deleted);
    DestroyWindow(source);
}

TEST(Thumbnail, ClosesAndDeletesItselfEitherWay)
{
    struct Case {
        const char* name;
        int closeState;
    } cases[] = {
        {"THUMB_CLOSE", THUMB_CLOSE},
        {"THUMB_CLOSE_ANIMATED", THUMB_CLOSE_ANIMATED},
    };
    for (const Case& c : cases) {
        HWND source = MakeSource(400, 300, SW_SHOWNORMAL);
        g_deleted = 0;
        const long gdiBefore = AfxGdiLiveCount();
        Cthumbnail* thumb = new ProbeThumbnail(EntryFor(source), kSlot, kAlpha);
        HWND hwnd = thumb->m_hWnd;
        CloseThumbnail(thumb, c.closeState);
        EXPECT_EQ(1, g_deleted) << c.name;
        EXPECT_FALSE(IsWindow(hwnd)) << c.name;
        EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << c.name;
        EXPECT_TRUE(IsWindow(source) && IsWindowVisible(source)) << c.name << ": the source was touched";
        DestroyWindow(source);
    }
}

TEST(Thumbnail, WithoutAWindowItIsStillCleanedUp)
{
    struct Case {
        const char* name;
        int hookType;
        HOOKPROC hook;
    } cases[] = {
        {"creation refused by a CBT hook", WH_CBT, &RefuseCreation},
        {"window destroyed while being created", WH_CALLWNDPROC, &DestroyAtCreate},
    };
    for (const Case& c : cases) {
        HWND source = MakeSource(400, 300, SW_SHOWNORMAL);
        g_deleted = 0;
        g_hooked = nullptr;
        const long gdiBefore = AfxGdiLiveCount();
        HHOOK hook = SetWindowsHookExA(c.hookType, c.hook, nullptr, GetCurrentThreadId());
        ASSERT_TRUE(hook) << c.name;
        Cthumbnail* thumb = new ProbeThumbnail(EntryFor(source), kSlot, kAlpha);
        UnhookWindowsHookEx(hook);

        ASSERT_TRUE(g_hooked) << c.name << ": the hook never saw the thumbnail";
        EXPECT_EQ(nullptr, thumb->m_hWnd) << c.name;
        EXPECT_FALSE(IsWindow(g_hooked)) << c.name;
        EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(g_hooked)) << c.name << ": a dead window stays bound";
        EXPECT_EQ(0, g_deleted) << c.name << ": deleted under the new expression";

        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_EQ(1, g_deleted) << c.name;
        EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << c.name;
        DestroyWindow(source);
    }
}

TEST(Thumbnail, ParkedSourceIsPutBackWhicheverRoadTheThumbnailTakes)
{
    enum Road { kClose, kCloseAnimated, kDestroyedDirectly, kSourceGoneFirst };
    struct Case {
        const char* name;
        int show;
        Road road;
        int restores;
    } cases[] = {
        {"close protocol", SW_SHOWMINNOACTIVE, kClose, 1},
        {"animated close", SW_SHOWMINNOACTIVE, kCloseAnimated, 1},
        {"window destroyed outside the protocol", SW_SHOWMINNOACTIVE, kDestroyedDirectly, 1},
        {"source gone before the close", SW_SHOWMINNOACTIVE, kSourceGoneFirst, 0},
        {"source never parked", SW_SHOWNORMAL, kClose, 0},
    };
    for (const Case& c : cases) {
        HWND source = MakeSource(400, 300, c.show);
        g_deleted = 0;
        g_restores = 0;
        // The chrome.exe road restores its source, which makes putting back visible here.
        Cthumbnail* thumb = new ProbeThumbnail(EntryFor(source, "chrome.exe"), kSlot, kAlpha);
        HWND hwnd = thumb->m_hWnd;
        switch (c.road) {
            case kClose:
                CloseThumbnail(thumb, THUMB_CLOSE);
                break;
            case kCloseAnimated:
                CloseThumbnail(thumb, THUMB_CLOSE_ANIMATED);
                break;
            case kDestroyedDirectly:
                DestroyWindow(hwnd);
                EXPECT_EQ(c.restores, g_restores) << c.name << ": not put back when the window went";
                EXPECT_EQ(0, g_deleted) << c.name << ": the slot would point at a deleted object";
                CloseThumbnail(thumb, THUMB_CLOSE);
                break;
            case kSourceGoneFirst:
                DestroyWindow(source);
                CloseThumbnail(thumb, THUMB_CLOSE);
                break;
        }
        EXPECT_EQ(c.restores, g_restores) << c.name;
        EXPECT_EQ(1, g_deleted) << c.name;
        EXPECT_FALSE(IsWindow(hwnd)) << c.name;
        if (IsWindow(source))
            DestroyWindow(source);
    }
}

TEST(Thumbnail, AtRestItStaysBeneathOtherWindows)
{
    struct Case {
        const char* name;
        std::function<void(HWND)> raise;
    } cases[] = {
        {"asked to the top",
         [](HWND h) { SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); }},
        {"asked to be topmost",
         [](HWND h) { SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); }},
        {"refitted into its slot",
         [](HWND h) { static_cast<Cthumbnail*>(CWnd::FromHandlePermanent(h))->SetSlot(kSlot); }},
    };
    HWND source = MakeSource(400, 300, SW_SHOWNORMAL);
    HWND other = MakeSource(200, 200, SW_SHOWNORMAL);
    Cthumbnail* thumb = new ProbeThumbnail(EntryFor(source), kSlot, kAlpha);
    HWND hwnd = thumb->m_hWnd;
    // Each case starts with the thumbnail above the other window. Activation is no case: Wine raises
    // the window it activates without asking WM_WINDOWPOSCHANGING, as it does here after the opening.
    Pump();
    for (const Case& c : cases) {
        SetWindowPos(other, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ASSERT_LT(ZIndex(hwnd), ZIndex(other)) << c.name;
        c.raise(hwnd);
        Pump();
        EXPECT_GT(ZIndex(hwnd), ZIndex(other)) << c.name;
        EXPECT_FALSE(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) << c.name;
    }
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(other);
    DestroyWindow(source);
}

TEST(Thumbnail, AnimationsDrawAFlatGreyOfTheFittedSize)
{
    HWND source = MakeSource(1000, 500, SW_SHOWNORMAL);
    Cthumbnail* thumb = new ProbeThumbnail(EntryFor(source), kSlot, kAlpha);
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 100);
    HGDIOBJ old = SelectObject(mem, bitmap);
    RECT all = {0, 0, 200, 100};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SendMessageA(thumb->m_hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
    struct Probe {
        int x, y;
        COLORREF color;
    } probes[] = {{0, 0, kThumbGrey}, {159, 79, kThumbGrey}, {160, 40, RGB(0, 0, 0)}, {80, 80, RGB(0, 0, 0)}};
    for (const Probe& p : probes)
        EXPECT_EQ(p.color, GetPixel(mem, p.x, p.y)) << "pixel " << p.x << ", " << p.y << " of a 160x80 fit";
    SelectObject(mem, old);
    DeleteObject(bitmap);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}

TEST(Thumbnail, TopEdgeOfTheFrameMovesInsteadOfResizing)
{
    CControlDlg page;
    page.m_bFrame = 1;
    HWND source = MakeSource(400, 300, SW_SHOWNORMAL);
    Cthumbnail* thumb = new ProbeThumbnail(EntryFor(source), kSlot, kAlpha);
    RECT r = {};
    GetWindowRect(thumb->m_hWnd, &r);
    const int midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
    struct Case {
        const char* name;
        POINT at;
        LRESULT hit;
    } cases[] = {
        {"top edge", {midX, r.top}, HTCAPTION},
        {"left edge", {r.left, midY}, HTLEFT},
        {"bottom edge", {midX, r.bottom - 1}, HTBOTTOM},
        {"top-left corner", {r.left, r.top}, HTTOPLEFT},
        {"inside", {midX, midY}, HTCLIENT},
    };
    for (const Case& c : cases) {
        const LRESULT hit = SendMessageA(thumb->m_hWnd, WM_NCHITTEST, 0, MAKELPARAM(c.at.x, c.at.y));
        EXPECT_EQ(c.hit, hit) << c.name << " at " << c.at.x << ", " << c.at.y;
    }
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}
