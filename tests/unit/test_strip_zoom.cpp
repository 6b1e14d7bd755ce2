// Zoom and pan: the view arithmetic and the wheel, key and drag steps as tables, then a thumbnail
// driven by its own messages.
#include "strip/ZoomView.h"

#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"

#include <gtest/gtest.h>

#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

#include <climits>
#include <string>

namespace {

std::string Text(const ZoomView& v)
{
    return "view (" + std::to_string(v.left) + ", " + std::to_string(v.top) + ") " + std::to_string(v.width) + "x" +
           std::to_string(v.height) + " pan " + std::to_string(v.panX) + ", " + std::to_string(v.panY);
}

}  // namespace

TEST(ZoomView, ComputesTheViewAndWritesThePanBackAtEachEdge)
{
    struct Case {
        const char* name;
        SIZE image;
        int zoomX, zoomY, panX, panY;
        double scaleX, scaleY;
        BOOL zoomed;
        ZoomView expected;
    } cases[] = {
        {"90/90 of 1000x600: centred", {1000, 600}, 90, 90, 0, 0, 1, 1, TRUE, {50, 30, 900, 540, 0, 0}},
        {"0/0: one pixel in the middle", {1000, 600}, 0, 0, 0, 0, 1, 1, TRUE, {499, 299, 1, 1, 0, 0}},
        {"whole across: a stored pan across is written back to 0",
         {1000, 600},
         100,
         50,
         30,
         0,
         1,
         1,
         TRUE,
         {0, 150, 1000, 300, 0, 0}},
        {"panned inside the image", {1000, 600}, 50, 50, 100, -100, 1, 1, TRUE, {350, 50, 500, 300, 100, -100}},
        {"past the left edge", {1000, 600}, 50, 50, -10000, 0, 1, 1, TRUE, {0, 150, 500, 300, -250, 0}},
        {"past the right edge", {1000, 600}, 50, 50, 10000, 0, 1, 1, TRUE, {500, 150, 500, 300, 250, 0}},
        {"past the top edge", {1000, 600}, 50, 50, 0, -10000, 1, 1, TRUE, {250, 0, 500, 300, 0, -150}},
        {"past the bottom edge", {1000, 600}, 50, 50, 0, 10000, 1, 1, TRUE, {250, 300, 500, 300, 0, 150}},
        {"odd leftover: the right edge", {1001, 600}, 50, 50, 10000, 0, 1, 1, TRUE, {501, 150, 500, 300, 250, 0}},
        {"one step back from the right edge moves at once",
         {1001, 600},
         50,
         50,
         246,
         0,
         1,
         1,
         TRUE,
         {496, 150, 500, 300, 246, 0}},
        {"a pan unit of half a pixel", {1000, 600}, 50, 50, 100, -10000, 0.5, 0.5, TRUE, {300, 0, 500, 300, 100, -300}},
        {"a tiny scale: the written-back pan stays in range",
         {1000, 600},
         50,
         50,
         INT_MIN,
         INT_MAX,
         0.001,
         0.001,
         TRUE,
         {0, 300, 500, 300, -10000, 10000}},
        {"a huge scale does not overflow",
         {1000, 600},
         50,
         50,
         10000,
         -10000,
         1e12,
         1e12,
         TRUE,
         {500, 0, 500, 300, 0, 0}},
        {"scale 0 counts as 1", {1000, 600}, 50, 50, 100, 100, 0, 0, TRUE, {350, 250, 500, 300, 100, 100}},
        {"a negative scale counts as 1", {1000, 600}, 50, 50, 100, 100, -2, -2, TRUE, {350, 250, 500, 300, 100, 100}},
        {"no width: the whole view, pan kept", {0, 600}, 50, 50, 77, -88, 1, 1, FALSE, {0, 0, 0, 600, 77, -88}},
        {"no height: the whole view, pan kept", {1000, 0}, 0, 0, 77, -88, 1, 1, FALSE, {0, 0, 1000, 0, 77, -88}},
        {"nothing captured yet", {0, 0}, 10, 10, 5, 5, 1, 1, FALSE, {0, 0, 0, 0, 5, 5}},
    };
    for (const Case& c : cases) {
        ZoomView got = {-1, -1, -1, -1, -1, -1};
        EXPECT_EQ(c.zoomed, ComputeZoomView(c.image, c.zoomX, c.zoomY, c.panX, c.panY, c.scaleX, c.scaleY, &got))
            << c.name;
        EXPECT_EQ(Text(c.expected), Text(got)) << c.name;
    }
}

TEST(ZoomView, WheelStepCountsWholeNotchesAndPicksTheAxes)
{
    struct Case {
        const char* name;
        UINT flags;
        short delta;
        BOOL composition;
        POINT step;
    } cases[] = {
        {"one notch away: both in", 0, 120, FALSE, {-1, -1}},
        {"two notches towards: both out", 0, -240, FALSE, {2, 2}},
        {"Control: the width only", MK_CONTROL, 120, FALSE, {-1, 0}},
        {"Shift: the height only", MK_SHIFT, 120, FALSE, {0, -1}},
        {"both keys: Control wins", MK_CONTROL | MK_SHIFT, 120, FALSE, {-1, 0}},
        {"composition: Control ignored", MK_CONTROL, 120, TRUE, {-1, -1}},
        {"composition: Shift ignored", MK_SHIFT, -120, TRUE, {1, 1}},
        {"composition: both ignored", MK_CONTROL | MK_SHIFT, 120, TRUE, {-1, -1}},
        {"other buttons do not matter", MK_LBUTTON, 360, FALSE, {-3, -3}},
        {"119: a partial notch counts nothing", 0, 119, FALSE, {0, 0}},
        {"-119 likewise", MK_CONTROL, -119, FALSE, {0, 0}},
        {"239: one notch", 0, 239, FALSE, {-1, -1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.step), Text(WheelZoomStep(c.flags, c.delta, c.composition))) << c.name;
}

TEST(ZoomView, KeyStepFollowsTheArrow)
{
    struct Case {
        UINT key;
        BOOL shift;
        BOOL pans;
        POINT step;
    } cases[] = {
        {VK_LEFT, FALSE, TRUE, {-4, 0}}, {VK_UP, FALSE, TRUE, {0, -4}},  {VK_RIGHT, FALSE, TRUE, {4, 0}},
        {VK_DOWN, FALSE, TRUE, {0, 4}},  {VK_LEFT, TRUE, TRUE, {-1, 0}}, {VK_DOWN, TRUE, TRUE, {0, 1}},
        {VK_HOME, FALSE, FALSE, {7, 7}}, {'A', TRUE, FALSE, {7, 7}},
    };
    for (const Case& c : cases) {
        POINT step = {7, 7};
        EXPECT_EQ(c.pans, KeyPanStep(c.key, c.shift, &step)) << "key " << c.key << " shift " << c.shift;
        EXPECT_EQ(Text(c.step), Text(step)) << "key " << c.key << " shift " << c.shift;
    }
}

TEST(ZoomView, DragStepCarriesFractionsOverASlowDrag)
{
    // A view 100x50 over a client 400x200: one mouse pixel is a quarter of a pan unit.
    struct Step {
        const char* name;
        POINT last, now;
        SIZE client;
        BOOL moves;
        POINT pan;
        double remX, remY;
    } steps[] = {
        {"one pixel left: a quarter carried", {10, 10}, {9, 10}, {400, 200}, TRUE, {0, 0}, 0.25, 0},
        {"another", {9, 10}, {8, 10}, {400, 200}, TRUE, {0, 0}, 0.5, 0},
        {"another", {8, 10}, {7, 10}, {400, 200}, TRUE, {0, 0}, 0.75, 0},
        {"the fourth makes a whole unit", {7, 10}, {6, 10}, {400, 200}, TRUE, {1, 0}, 0, 0},
        {"three up: three quarters down the view", {6, 10}, {6, 13}, {400, 200}, TRUE, {0, 0}, 0, -0.75},
        {"no movement: nothing", {6, 13}, {6, 13}, {400, 200}, FALSE, {9, 9}, 0, -0.75},
        {"a client without width: nothing", {6, 13}, {0, 0}, {0, 200}, FALSE, {9, 9}, 0, -0.75},
        {"a client without height: nothing", {6, 13}, {0, 0}, {400, 0}, FALSE, {9, 9}, 0, -0.75},
        {"a big move: whole units and the fraction", {100, 100}, {0, 100}, {400, 200}, TRUE, {25, 0}, 0, -0.75},
    };
    DragRemainder remainder = {0, 0};
    for (const Step& s : steps) {
        POINT pan = {9, 9};
        EXPECT_EQ(s.moves, DragPanStep(s.last, s.now, s.client, {100, 50}, &remainder, &pan)) << s.name;
        EXPECT_EQ(Text(s.pan), Text(pan)) << s.name;
        EXPECT_DOUBLE_EQ(s.remX, remainder.x) << s.name;
        EXPECT_DOUBLE_EQ(s.remY, remainder.y) << s.name;
    }
    // A step far beyond any pan saturates and carries nothing.
    DragRemainder beyond = {0.5, 0.5};
    POINT pan;
    ASSERT_TRUE(DragPanStep({30000, 0}, {-30000, 0}, {1, 1}, {100000, 1}, &beyond, &pan));
    EXPECT_EQ(4 * kPanLimit, pan.x);
    EXPECT_EQ(0.0, beyond.x);
}

TEST(ZoomView, ClampedAddSaturates)
{
    EXPECT_EQ(100, ClampedAdd(100, INT_MAX, 0, 100));
    EXPECT_EQ(0, ClampedAdd(50, INT_MIN, 0, 100));
    EXPECT_EQ(-kPanLimit, ClampedAdd(-9999, -5, -kPanLimit, kPanLimit));
    EXPECT_EQ(42, ClampedAdd(40, 2, 0, 100));
}

namespace {

HWND MakeSource()
{
    return MakeSourceWindow({50, 60, 450, 360}, "zoom source");
}

const RECT kSlot = {100, 200, 260, 320};  // a 400x300 source fits it whole: 160x120

// A thumbnail whose system move loop is replaced by a zoom change, as a wheel turned during the
// move would make.
class MoveProbe : public Cthumbnail {
public:
    MoveProbe(WindowEntry entry) : Cthumbnail(entry, kSlot, 255, nullptr) {}
    int moves = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION) {
            ++moves;
            m_nZoomX = 50;
            return 0;
        }
        return Cthumbnail::WindowProc(message, wParam, lParam);
    }
};

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

}  // namespace

TEST(ThumbnailZoom, ZoomAndPanSaturate)
{
    HWND source = MakeSource();
    Cthumbnail* thumb = new Cthumbnail(SourceEntry(source, "zoom source"), kSlot, 255, nullptr);
    thumb->ZoomBy(INT_MIN, INT_MAX);
    EXPECT_EQ(0, thumb->m_nZoomX);
    EXPECT_EQ(100, thumb->m_nZoomY);
    thumb->PanBy(9000, -9000);
    thumb->PanBy(INT_MAX, INT_MIN);
    EXPECT_EQ(kPanLimit, thumb->m_nPanX);
    EXPECT_EQ(-kPanLimit, thumb->m_nPanY);
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}

TEST(ThumbnailZoom, WheelAndKeysActOnlyWhileHoveredAndThePaintClampsThePan)
{
    struct Step {
        const char* name;
        int hover;
        UINT message;
        WPARAM wParam;
        int zoomX, zoomY, panX, panY;  // afterwards, once painted
        RECT view;                     // left, top, width, height once painted
    } steps[] = {
        {"the wheel without hover: nothing", 0, WM_MOUSEWHEEL, MAKEWPARAM(0, 1200), 100, 100, 0, 0, {0, 0, 0, 0}},
        {"an arrow on the whole view: the pan is kept, nothing shows it",
         1,
         WM_KEYDOWN,
         VK_DOWN,
         100,
         100,
         0,
         4,
         {0, 0, 0, 0}},
        {"ten notches away: the view shows the kept pan",
         1,
         WM_MOUSEWHEEL,
         MAKEWPARAM(0, 1200),
         90,
         90,
         0,
         4,
         {50, 34, 900, 540}},
        {"the arrow back", 1, WM_KEYDOWN, VK_UP, 90, 90, 0, 0, {50, 30, 900, 540}},
        {"a delta of 119: nothing", 1, WM_MOUSEWHEEL, MAKEWPARAM(0, 119), 90, 90, 0, 0, {50, 30, 900, 540}},
        {"an arrow without hover: nothing", 0, WM_KEYDOWN, VK_RIGHT, 90, 90, 0, 0, {50, 30, 900, 540}},
        {"an arrow while hovered", 1, WM_KEYDOWN, VK_RIGHT, 90, 90, 4, 0, {54, 30, 900, 540}},
        {"another key: nothing", 1, WM_KEYDOWN, VK_HOME, 90, 90, 4, 0, {54, 30, 900, 540}},
        {"far past the right edge: written back", 1, WM_NULL, 9000, 90, 90, 50, 0, {100, 30, 900, 540}},
        {"one step back moves at once", 1, WM_KEYDOWN, VK_LEFT, 90, 90, 46, 0, {96, 30, 900, 540}},
        {"Control with the wheel: the width only, the pan clamped anew",
         1,
         WM_MOUSEWHEEL,
         MAKEWPARAM(MK_CONTROL, 0xFF88),
         91,
         90,
         45,
         0,
         {90, 30, 910, 540}},
    };
    HWND source = MakeSource();
    Cthumbnail* thumb = new Cthumbnail(SourceEntry(source, "zoom source"), kSlot, 255, nullptr);
    ASSERT_EQ(THUMB_NORMAL, thumb->m_nState);
    ASSERT_FALSE(thumb->m_bComposition);
    // A cached image of 1000x600, as a capture on zoomed axes would leave.
    thumb->m_nBitmapWidth = 1000;
    thumb->m_nBitmapHeight = 600;
    for (const Step& s : steps) {
        thumb->m_bHover = s.hover;
        if (s.message == WM_NULL)
            thumb->PanBy(static_cast<int>(s.wParam), 0);
        else
            SendMessageA(thumb->m_hWnd, s.message, s.wParam, At(150, 250));
        Repaint(thumb->m_hWnd);
        EXPECT_EQ(s.zoomX, thumb->m_nZoomX) << s.name;
        EXPECT_EQ(s.zoomY, thumb->m_nZoomY) << s.name;
        EXPECT_EQ(s.panX, thumb->m_nPanX) << s.name;
        EXPECT_EQ(s.panY, thumb->m_nPanY) << s.name;
        EXPECT_EQ(Text(s.view),
                  Text(RECT{thumb->m_nViewLeft, thumb->m_nViewTop, thumb->m_nViewWidth, thumb->m_nViewHeight}))
            << s.name;
    }
    // A new slot shows the whole source again.
    thumb->SetSlot(kSlot);
    EXPECT_EQ(100, thumb->m_nZoomX);
    EXPECT_EQ(0, thumb->m_nPanX);
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}

TEST(ThumbnailZoom, DragPansWithTheCaptureUntilReleaseOrLoss)
{
    SetCursorPos(1200, 900);  // away from the thumbnail: a hover would add the frame and shrink the client
    HWND source = MakeSource();
    HWND other = MakeSource();
    Cthumbnail* thumb = new Cthumbnail(SourceEntry(source, "zoom source"), kSlot, 255, nullptr);
    HWND hwnd = thumb->m_hWnd;
    thumb->m_nBitmapWidth = 1000;
    thumb->m_nBitmapHeight = 600;
    thumb->ZoomBy(-50, -50);
    Repaint(hwnd);
    ASSERT_EQ(500, thumb->m_nViewWidth);  // over a client 160 wide: a mouse pixel is 3.125 units

    struct Step {
        const char* name;
        UINT message;
        WPARAM flags;
        int x, y;
        bool dragging;
        bool captured;
        int panX, panY;
    } steps[] = {
        {"press on the zoomed view", WM_LBUTTONDOWN, MK_LBUTTON, 80, 60, true, true, 0, 0},
        {"two pixels left: the image follows", WM_MOUSEMOVE, MK_LBUTTON, 78, 60, true, true, 6, 0},
        {"two more: the fractions add up", WM_MOUSEMOVE, MK_LBUTTON, 76, 60, true, true, 12, 0},
        {"one down: the image follows up", WM_MOUSEMOVE, MK_LBUTTON, 76, 61, true, true, 12, -2},
        {"release", WM_LBUTTONUP, 0, 76, 61, false, false, 12, -2},
        {"a move after the release: no pan", WM_MOUSEMOVE, MK_LBUTTON, 0, 0, false, false, 12, -2},
        {"press again", WM_LBUTTONDOWN, MK_LBUTTON, 50, 50, true, true, 12, -2},
        {"a move without the button ends it", WM_MOUSEMOVE, 0, 40, 50, false, false, 12, -2},
        {"press again", WM_LBUTTONDOWN, MK_LBUTTON, 50, 50, true, true, 12, -2},
        {"another window takes the mouse", WM_CAPTURECHANGED, 0, 0, 0, false, false, 12, -2},
        {"a move after the loss: no pan", WM_MOUSEMOVE, MK_LBUTTON, 0, 0, false, false, 12, -2},
    };
    for (const Step& s : steps) {
        if (s.message == WM_CAPTURECHANGED)
            SetCapture(other);
        else
            SendMessageA(hwnd, s.message, s.flags, At(s.x, s.y));
        EXPECT_EQ(s.dragging, thumb->m_bDragging != 0) << s.name;
        EXPECT_EQ(s.captured, GetCapture() == hwnd) << s.name;
        EXPECT_EQ(s.panX, thumb->m_nPanX) << s.name;
        EXPECT_EQ(s.panY, thumb->m_nPanY) << s.name;
    }
    ReleaseCapture();
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(other);
    DestroyWindow(source);
}

TEST(ThumbnailZoom, APressOnTheWholeViewIsAMoveAndNothingElse)
{
    HWND source = MakeSource();
    MoveProbe* thumb = new MoveProbe(SourceEntry(source, "zoom source"));
    HWND hwnd = thumb->m_hWnd;
    SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, At(80, 60));
    EXPECT_EQ(1, thumb->moves);
    EXPECT_EQ(50, thumb->m_nZoomX) << "the probe's move loop zoomed in";
    EXPECT_EQ(0, thumb->m_bDragging) << "the same press also started a drag";
    EXPECT_NE(hwnd, GetCapture());
    ReleaseCapture();
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}
