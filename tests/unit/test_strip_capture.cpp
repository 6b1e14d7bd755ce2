// The captured image: both captures of windows of this process that paint a known pattern, what
// painting shows before and after, the GDI objects a capture holds, and a source that hangs.
#include "strip/Thumbnail.h"

#include "desktop/TaskBarControl.h"
#include "strip/CaptureScratch.h"
#include "strip/ControlDlg.h"
#include "tests/e2e/kv_pattern.h"

#include <gtest/gtest.h>

#include "tests/unit/support/pump.h"
#include "tests/unit/support/source_thread.h"
#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

LRESULT CALLBACK PatternProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT: {
            RECT client;
            GetClientRect(hwnd, &client);
            kv::PaintPattern(reinterpret_cast<HDC>(wParam), client, 0);
            return message == WM_ERASEBKGND ? 1 : 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT client;
            GetClientRect(hwnd, &client);
            kv::PaintPattern(dc, client, 0);
            EndPaint(hwnd, &ps);
            return 0;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A borderless source, so that its window is its client and the pattern fills it.
HWND MakeSource(const RECT& r)
{
    HWND hwnd = MakeSourceWindow(r, "capture source", &PatternProc, WS_POPUP, WS_EX_TOOLWINDOW);
    UpdateWindow(hwnd);
    return hwnd;
}

WindowEntry EntryFor(HWND source)
{
    return SourceEntry(source, "capture source");
}

// For the refresh step's idle wait: WaitForInputIdle fails for this console process, so the
// desktop's process, which is idle, stands in for the source's.
WindowEntry StepEntryFor(HWND source)
{
    WindowEntry entry = EntryFor(source);
    GetWindowThreadProcessId(GetDesktopWindow(), &entry.processId);
    return entry;
}

const RECT kSlot = {100, 600, 260, 720};

// What the captures share while a thumbnail lives: the copy DC with its scratch bitmap.
const long kScratchObjects = 2;
// What each captured thumbnail holds: its image and the DC that it stays selected in.
const long kImageObjects = 2;

using kv::ColorHex;
using kv::NearColor;

// A pixel of the cached image, at fractions of its size.
COLORREF ImagePixel(const Cthumbnail* thumb, double fx, double fy)
{
    if (!thumb->m_pImageDC)
        return CLR_INVALID;
    return GetPixel(*thumb->m_pImageDC, static_cast<int>(fx * thumb->m_nBitmapWidth),
                    static_cast<int>(fy * thumb->m_nBitmapHeight));
}

// A pixel of the thumbnail window as its last paint left it.
COLORREF WindowPixel(HWND hwnd, int x, int y)
{
    HDC dc = GetDC(hwnd);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return c;
}

struct Probe {
    double fx, fy;
    int quadrant;  // of the pattern: 0 top left, 1 top right, 2 bottom left, 3 bottom right
};

class CapturedImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A capture asks the taskbar service to drop the source's button; the control page keeps it from acting.
        if (CTaskBarControl* taskBar = CTaskBarControl::GetInstance())
            taskBar->m_bEnableDeleteTab = 0;
    }
};

}  // namespace

TEST_F(CapturedImage, ShowsTheSourceOrWhatOfItIsOnTheScreen)
{
    enum Road { kPrint, kScreen };
    struct Case {
        const char* name;
        Road road;
        RECT source;
        int zoomX;
        bool emptyThumbnail;  // the thumbnail has no client area
        BOOL captures;
        SIZE size;  // 0 x 0: the thumbnail's client size
        std::vector<Probe> probes;
    } cases[] = {
        {"PrintWindow: the whole source at the client's size",
         kPrint,
         {100, 100, 500, 400},
         100,
         false,
         TRUE,
         {0, 0},
         {{0.25, 0.25, 0}, {0.75, 0.25, 1}, {0.25, 0.75, 2}, {0.75, 0.75, 3}}},
        {"PrintWindow zoomed across: the source's own width",
         kPrint,
         {100, 100, 500, 400},
         50,
         false,
         TRUE,
         {400, 120},
         {{0.25, 0.25, 0}, {0.75, 0.75, 3}}},
        {"screen copy of a source on the screen",
         kScreen,
         {100, 100, 500, 400},
         100,
         false,
         TRUE,
         {0, 0},
         {{0.25, 0.25, 0}, {0.75, 0.25, 1}, {0.25, 0.75, 2}, {0.75, 0.75, 3}}},
        {"screen copy cut off at the left: its right part",
         kScreen,
         {-100, 100, 300, 400},
         100,
         false,
         TRUE,
         {0, 0},
         {{0.15, 0.25, 0}, {0.6, 0.25, 1}, {0.15, 0.75, 2}, {0.6, 0.75, 3}}},
        {"screen copy cut off at the top: its bottom part",
         kScreen,
         {100, -150, 500, 150},
         100,
         false,
         TRUE,
         {0, 0},
         {{0.25, 0.1, 2}, {0.75, 0.1, 3}, {0.25, 0.9, 2}, {0.75, 0.9, 3}}},
        {"screen copy cut off on every side: the middle",
         kScreen,
         {-50, -60, 1330, 1090},
         100,
         false,
         TRUE,
         {0, 0},
         {{0.46, 0.46, 0}, {0.54, 0.46, 1}, {0.46, 0.56, 2}, {0.54, 0.56, 3}}},
        {"screen copy of a source off the screen: no image",
         kScreen,
         {3000, 100, 3400, 400},
         100,
         false,
         FALSE,
         {0, 0},
         {}},
        {"PrintWindow of a source without area: no image", kPrint, {100, 100, 100, 100}, 100, false, FALSE, {0, 0}, {}},
        {"PrintWindow into a thumbnail without area: no image",
         kPrint,
         {100, 100, 500, 400},
         100,
         true,
         FALSE,
         {0, 0},
         {}},
        {"screen copy into a thumbnail without area: no image",
         kScreen,
         {100, 100, 500, 400},
         100,
         true,
         FALSE,
         {0, 0},
         {}},
    };
    for (const Case& c : cases) {
        HWND source = MakeSource(c.source);
        const long gdiBefore = AfxGdiLiveCount();
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 255, nullptr);
        ASSERT_FALSE(thumb->m_bComposition) << c.name << ": Wine reports composition off";
        if (c.emptyThumbnail)
            SetWindowPos(thumb->m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        thumb->m_nZoomX = c.zoomX;
        const long gdiThumbnail = AfxGdiLiveCount();

        // Twice: the second image replaces the first.
        for (int round = 0; round < 2; ++round) {
            const BOOL got = c.road == kPrint ? thumb->CaptureByPrintWindow() : thumb->CaptureByScreenCopy();
            EXPECT_EQ(c.captures, got) << c.name;
            EXPECT_EQ(gdiThumbnail + (c.captures ? kImageObjects + kScratchObjects : 0), AfxGdiLiveCount())
                << c.name << ", capture " << round + 1 << ": GDI objects held";
        }
        RECT client;
        GetClientRect(thumb->m_hWnd, &client);
        const SIZE size = c.size.cx ? c.size : SIZE{c.captures ? client.right : 0, c.captures ? client.bottom : 0};
        EXPECT_EQ(size.cx, thumb->m_nBitmapWidth) << c.name;
        EXPECT_EQ(size.cy, thumb->m_nBitmapHeight) << c.name;
        for (const Probe& p : c.probes) {
            const COLORREF want = kv::PatternColor(0, p.quadrant);
            const COLORREF got = ImagePixel(thumb, p.fx, p.fy);
            EXPECT_TRUE(NearColor(want, got)) << c.name << ": at " << p.fx << ", " << p.fy << " expected "
                                              << ColorHex(want) << ", got " << ColorHex(got);
        }
        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << c.name << ": GDI objects left after the close";
        DestroyWindow(source);
    }
}

TEST(CaptureScratch, GrowsForALargerCopyAndShrinksForAFarSmallerOne)
{
    struct Case {
        const char* name;
        SIZE current, needed, expected;
    } cases[] = {
        {"first copy", {0, 0}, {800, 600}, {800, 600}},
        {"the same size", {800, 600}, {800, 600}, {800, 600}},
        {"smaller: kept", {800, 600}, {320, 240}, {800, 600}},
        {"wider only", {800, 600}, {1024, 200}, {1024, 600}},
        {"taller only", {800, 600}, {300, 900}, {800, 900}},
        {"larger both ways", {800, 600}, {1280, 1024}, {1280, 1024}},
        {"far smaller: the copy's size", {3000, 3000}, {3000, 100}, {3000, 100}},
        {"wide, then tall: the tall one's size, not both", {3000, 100}, {100, 3000}, {100, 3000}},
        {"eight times the copy's area: kept", {800, 800}, {200, 400}, {800, 800}},
        {"more than eight times: the copy's size", {800, 801}, {200, 400}, {200, 400}},
        {"no area: kept", {800, 600}, {0, 0}, {800, 600}},
    };
    for (const Case& c : cases) {
        const SIZE got = ScratchSizeFor(c.current, c.needed);
        EXPECT_TRUE(got.cx == c.expected.cx && got.cy == c.expected.cy)
            << c.name << ": expected " << c.expected.cx << "x" << c.expected.cy << ", got " << got.cx << "x" << got.cy;
    }
}

// Sources of changing size and zooms: the image is drawn over in place while its size stays, and
// whatever the order of sizes, the GDI objects held stay the image and the scratch.
TEST_F(CapturedImage, ImageIsKeptWhileItsSizeStaysAndTheScratchServesEverySource)
{
    HWND smallSource = MakeSource({100, 100, 420, 340});
    HWND largeSource = MakeSource({50, 50, 850, 650});
    const long gdiBefore = AfxGdiLiveCount();
    Cthumbnail* first = new Cthumbnail(EntryFor(smallSource), kSlot, 255, nullptr);
    Cthumbnail* second = new Cthumbnail(EntryFor(largeSource), kSlot, 255, nullptr);
    const long gdiThumbnails = AfxGdiLiveCount();
    ASSERT_TRUE(first->CaptureByPrintWindow());
    const HGDIOBJ image = first->m_bmpCapture.GetSafeHandle();
    ASSERT_TRUE(second->CaptureByPrintWindow());  // a larger copy: the scratch grows
    for (const Probe& p : {Probe{0.25, 0.25, 0}, Probe{0.75, 0.25, 1}, Probe{0.25, 0.75, 2}, Probe{0.75, 0.75, 3}}) {
        const COLORREF want = kv::PatternColor(0, p.quadrant);
        const COLORREF got = ImagePixel(second, p.fx, p.fy);
        EXPECT_TRUE(NearColor(want, got)) << "the larger source after the smaller one, at " << p.fx << ", " << p.fy
                                          << ": expected " << ColorHex(want) << ", got " << ColorHex(got);
    }
    ASSERT_TRUE(first->CaptureByPrintWindow());
    EXPECT_EQ(image, first->m_bmpCapture.GetSafeHandle()) << "the same size: drawn in place";
    EXPECT_EQ(gdiThumbnails + 2 * kImageObjects + kScratchObjects, AfxGdiLiveCount()) << "two images and the scratch";

    first->m_nZoomX = 50;  // the image takes the source's own width
    ASSERT_TRUE(first->CaptureByPrintWindow());
    EXPECT_EQ(320, first->m_nBitmapWidth);
    EXPECT_EQ(gdiThumbnails + 2 * kImageObjects + kScratchObjects, AfxGdiLiveCount())
        << "a new size replaces the image";
    const COLORREF want = kv::PatternColor(0, 3);
    const COLORREF got = ImagePixel(first, 0.75, 0.75);
    EXPECT_TRUE(NearColor(want, got)) << "after the small source: expected " << ColorHex(want) << ", got "
                                      << ColorHex(got);

    CloseThumbnail(first, THUMB_CLOSE);
    CloseThumbnail(second, THUMB_CLOSE);
    EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << "the scratch went with the last thumbnail";
    DestroyWindow(smallSource);
    DestroyWindow(largeSource);
}

TEST_F(CapturedImage, ScaleIsImageOverSourcePerAxis)
{
    struct Case {
        const char* name;
        int zoomX, zoomY;
        double scaleX, scaleY;
    } cases[] = {
        {"whole view", 100, 100, 160.0 / 400, 120.0 / 300},
        {"zoomed across", 40, 100, 1.0, 120.0 / 300},
        {"zoomed both ways", 40, 70, 1.0, 1.0},
    };
    HWND source = MakeSource({100, 100, 500, 400});
    for (const Case& c : cases) {
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 255, nullptr);
        thumb->m_nZoomX = c.zoomX;
        thumb->m_nZoomY = c.zoomY;
        ASSERT_TRUE(thumb->CaptureByPrintWindow()) << c.name;
        EXPECT_DOUBLE_EQ(c.scaleX, thumb->m_dScaleX) << c.name;
        EXPECT_DOUBLE_EQ(c.scaleY, thumb->m_dScaleY) << c.name;
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
    DestroyWindow(source);
}

TEST_F(CapturedImage, PaintingShowsGreyAndTitleUntilThereIsAnImageToShow)
{
    struct Case {
        const char* name;
        bool captured;
        int state;
        bool image;
    } cases[] = {
        {"before the first capture: grey", false, THUMB_NORMAL, false},
        {"after a capture: the image", true, THUMB_NORMAL, true},
        {"parked: the image", true, THUMB_PARKED, true},
        {"new: grey, whatever was captured", true, THUMB_NEW, false},
        {"closing: grey", true, THUMB_CLOSE, false},
    };
    HWND source = MakeSource({100, 100, 500, 400});
    for (const Case& c : cases) {
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 255, nullptr);
        if (c.captured) {
            ASSERT_TRUE(thumb->CaptureByPrintWindow()) << c.name;
        }
        const int state = thumb->m_nState;
        thumb->m_nState = c.state;
        Repaint(thumb->m_hWnd);
        const COLORREF want = c.image ? kv::PatternColor(0, 3) : kThumbGrey;
        const COLORREF got = WindowPixel(thumb->m_hWnd, 120, 90);  // the bottom-right quarter, below the title
        EXPECT_TRUE(NearColor(want, got)) << c.name << ": expected " << ColorHex(want) << ", got " << ColorHex(got);
        thumb->m_nState = state;
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
    DestroyWindow(source);
}

TEST_F(CapturedImage, ThousandStepsHoldNoMoreGdiObjectsThanTen)
{
    HWND source = MakeSource({100, 100, 500, 400});
    const long gdiBefore = AfxGdiLiveCount();
    Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 255, nullptr);
    const long gdiThumbnail = AfxGdiLiveCount();
    long afterTen = -1;
    for (int step = 1; step <= 1000; ++step) {
        // Both captures, each painted, as the refresh cycle does them.
        if (step % 2)
            thumb->CaptureByPrintWindow();
        else
            thumb->CaptureByScreenCopy();
        Repaint(thumb->m_hWnd);
        if (step == 10)
            afterTen = AfxGdiLiveCount();
    }
    EXPECT_EQ(gdiThumbnail + kImageObjects + kScratchObjects, afterTen)
        << "after 10 steps: the image and the scratch only";
    EXPECT_EQ(afterTen, AfxGdiLiveCount()) << "after 1000 steps";
    CloseThumbnail(thumb, THUMB_CLOSE);
    EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << "the image went with the thumbnail";
    DestroyWindow(source);
}

// The image stays selected in a DC of its own: both go when the window goes, whether the control
// page closes the thumbnail or its window is destroyed while the object waits for the close.
TEST_F(CapturedImage, ImageAndItsDCGoWithTheWindow)
{
    struct Case {
        const char* name;
        bool outsideTheProtocol;
    } cases[] = {
        {"closed by the control page", false},
        {"window destroyed outside the close", true},
    };
    HWND source = MakeSource({100, 100, 500, 400});
    for (const Case& c : cases) {
        const long gdiBefore = AfxGdiLiveCount();
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 255, nullptr);
        const long gdiThumbnail = AfxGdiLiveCount();
        ASSERT_TRUE(thumb->CaptureByPrintWindow()) << c.name;
        Repaint(thumb->m_hWnd);
        EXPECT_EQ(gdiThumbnail + kImageObjects + kScratchObjects, AfxGdiLiveCount()) << c.name;
        if (c.outsideTheProtocol) {
            DestroyWindow(thumb->m_hWnd);
            EXPECT_EQ(gdiThumbnail + kScratchObjects, AfxGdiLiveCount()) << c.name << ": the image outlived its window";
        }
        CloseThumbnail(thumb, THUMB_CLOSE);
        EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << c.name << ": GDI objects left after the close";
    }
    DestroyWindow(source);
}

namespace {

HWND MakeThreadSource()
{
    return MakeSource({100, 100, 500, 400});
}

// While set, the source thread stops answering right after it has answered PrintWindow.
SourceThread* g_hangAfterPrint = nullptr;

LRESULT CALLBACK HangAfterPrintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_PRINT)
        return PatternProc(hwnd, message, wParam, lParam);
    const LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
    if (g_hangAfterPrint) {
        ReplyMessage(result);
        g_hangAfterPrint->HangHere();
    }
    return result;
}

HWND MakeHangAfterPrintSource()
{
    HWND hwnd = MakeThreadSource();
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HangAfterPrintProc));
    return hwnd;
}

}  // namespace

TEST_F(CapturedImage, HungSourceIsSkippedWithinTheTimeOut)
{
    struct Case {
        const char* name;
        BOOL (Cthumbnail::*capture)();
    } cases[] = {
        {"PrintWindow", &Cthumbnail::CaptureByPrintWindow},
        {"screen copy", &Cthumbnail::CaptureByScreenCopy},
    };
    for (const Case& c : cases) {
        SourceThread source(&MakeThreadSource);
        ASSERT_TRUE(IsWindow(source.Window())) << c.name;
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source.Window()), kSlot, 255, nullptr);
        source.Hang();
        const DWORD start = GetTickCount();
        EXPECT_FALSE((thumb->*c.capture)()) << c.name;
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_LT(elapsed, 2500u) << c.name << ": held up by the hung source";
        EXPECT_EQ(0, thumb->m_nBitmapWidth) << c.name;
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
}

TEST_F(CapturedImage, RefreshStepIsNotHeldUpByASourceThatStopsAnsweringAfterItsPicture)
{
    SourceThread source(&MakeHangAfterPrintSource);
    ASSERT_TRUE(IsWindow(source.Window()));
    Cthumbnail* thumb = new Cthumbnail(StepEntryFor(source.Window()), kSlot, 255, nullptr);
    ASSERT_NE(GetForegroundWindow(), source.Window()) << "the step must take the PrintWindow road";
    g_hangAfterPrint = &source;
    const DWORD start = GetTickCount();
    thumb->RefreshThumbnail();
    const DWORD elapsed = GetTickCount() - start;
    g_hangAfterPrint = nullptr;
    EXPECT_GT(thumb->m_nBitmapWidth, 0) << "no capture";
    EXPECT_LT(elapsed, 1500u) << "the step waited for the source to repaint";
    source.Resume();
    CloseThumbnail(thumb, THUMB_CLOSE);
}

// A source that answers only after a long work: the step goes on without its print, whose image
// shows once the source has drawn it; a thumbnail closed meanwhile gives the print's thread back.
TEST_F(CapturedImage, SourceBusyInItsWorkHoldsUpNeitherTheStepNorTheImageAfterIt)
{
    struct Case {
        const char* name;
        bool closeWhilePrinted;
    } cases[] = {
        {"the image shows once it answers", false},
        {"closed while it is printed", true},
    };
    for (const Case& c : cases) {
        SourceThread source(&MakeThreadSource);
        ASSERT_TRUE(IsWindow(source.Window())) << c.name;
        Cthumbnail* thumb = new Cthumbnail(StepEntryFor(source.Window()), kSlot, 255, nullptr);
        ASSERT_NE(GetForegroundWindow(), source.Window()) << "the step must take the PrintWindow road";
        const size_t keptBefore = KeptPrintThreads();
        source.Hang(600);  // answers by itself after its work
        DWORD start = GetTickCount();
        thumb->RefreshThumbnail();
        const DWORD first = GetTickCount() - start;
        start = GetTickCount();
        thumb->RefreshThumbnail();  // its print still goes on: not a second one
        const DWORD second = GetTickCount() - start;
        EXPECT_LT(first, 400u) << c.name << ": the step waited for the source";
        EXPECT_LT(second, 400u) << c.name << ": the next step waited for the source";
        EXPECT_EQ(0, thumb->m_nBitmapWidth) << c.name << ": an image before the source drew";
        if (c.closeWhilePrinted) {
            CloseThumbnail(thumb, THUMB_CLOSE);
            source.Resume();
            // Its thread waits for the next print again once the source has drawn.
            EXPECT_TRUE(WaitFor([&] { return KeptPrintThreads() >= (keptBefore ? keptBefore : 1); }, 5000))
                << c.name << ": " << KeptPrintThreads() << " print threads kept, " << keptBefore << " before";
            continue;
        }
        EXPECT_TRUE(WaitFor([&] { return thumb->m_nBitmapWidth > 0; }, 5000)) << c.name << ": no image";
        const COLORREF want = kv::PatternColor(0, 3);
        const COLORREF got = ImagePixel(thumb, 0.75, 0.75);
        EXPECT_TRUE(NearColor(want, got)) << c.name << ": expected " << ColorHex(want) << ", got " << ColorHex(got);
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
}

// A wide source and a tall one: the scratch follows the last copy, not the widest and the tallest.
TEST_F(CapturedImage, ScratchShrinksWhenTheLastCopyNeededFarLess)
{
    HWND wide = MakeSource({0, 100, 1200, 200});
    HWND tall = MakeSource({100, 0, 200, 1000});
    Cthumbnail* wideThumb = new Cthumbnail(EntryFor(wide), kSlot, 255, nullptr);
    Cthumbnail* tallThumb = new Cthumbnail(EntryFor(tall), kSlot, 255, nullptr);
    struct Step {
        Cthumbnail* thumb;
        SIZE scratch;
    } steps[] = {{wideThumb, {1200, 100}}, {tallThumb, {100, 1000}}, {wideThumb, {1200, 100}}};
    for (const Step& s : steps) {
        ASSERT_TRUE(s.thumb->CaptureByPrintWindow());
        const SIZE got = CaptureScratch().Size();
        EXPECT_TRUE(got.cx == s.scratch.cx && got.cy == s.scratch.cy)
            << "scratch " << got.cx << "x" << got.cy << ", expected " << s.scratch.cx << "x" << s.scratch.cy;
        for (const Probe& p : {Probe{0.25, 0.25, 0}, Probe{0.75, 0.75, 3}}) {
            const COLORREF want = kv::PatternColor(0, p.quadrant);
            const COLORREF got = ImagePixel(s.thumb, p.fx, p.fy);
            EXPECT_TRUE(NearColor(want, got)) << (s.thumb == wideThumb ? "wide" : "tall") << " at " << p.fx << ", "
                                              << p.fy << ": expected " << ColorHex(want) << ", got " << ColorHex(got);
        }
    }
    CloseThumbnail(wideThumb, THUMB_CLOSE);
    CloseThumbnail(tallThumb, THUMB_CLOSE);
    DestroyWindow(wide);
    DestroyWindow(tall);
}
