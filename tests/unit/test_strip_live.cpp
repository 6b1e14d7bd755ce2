// The live DWM thumbnail's geometry and handles, through a fake DWM behind the wrappers: Wine has
// no composition, so this road runs only here.
#include "strip/Thumbnail.h"

#include "desktop/DwmApi.h"
#include "strip/ControlDlg.h"

#include <gtest/gtest.h>

#include "tests/unit/support/fake_dwm.h"
#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

#include <string>
#include <vector>

namespace {

HWND MakeSource(int width, int height)
{
    return MakeSourceWindow({50, 60, 50 + width, 60 + height}, "live source");
}

WindowEntry EntryFor(HWND source)
{
    return SourceEntry(source, "live source");
}

const RECT kSlot = {100, 200, 260, 320};

// Updates of the fake carrying exactly these flags.
std::vector<DWM_THUMBNAIL_PROPERTIES> UpdatesWith(DWORD flags)
{
    std::vector<DWM_THUMBNAIL_PROPERTIES> found;
    for (const DWM_THUMBNAIL_PROPERTIES& p : g_fake.updates) {
        if (p.dwFlags == flags)
            found.push_back(p);
    }
    return found;
}

std::string Handles(const std::vector<UINT_PTR>& handles)
{
    std::string text;
    for (UINT_PTR h : handles)
        text += (text.empty() ? "" : " ") + std::to_string(h);
    return "[" + text + "]";
}

class LiveThumbnail : public ::testing::Test {
protected:
    ScopedFakeDwm m_dwm;
};

}  // namespace

TEST_F(LiveThumbnail, RegistersTheWholeSourceAndTakesItsAspect)
{
    const DWORD kAll =
        DWM_TNP_RECTDESTINATION | DWM_TNP_RECTSOURCE | DWM_TNP_OPACITY | DWM_TNP_VISIBLE | DWM_TNP_SOURCECLIENTAREAONLY;
    struct Case {
        const char* name;
        int frame;             // FRAME: the thumbnail has its resize frame
        SIZE dwmSource;        // what the DWM reports of the source
        HRESULT query;         // the size query's result
        HRESULT registration;  // the registration's result
        HRESULT update;        // every property update's result
        double ratio;          // client height / client width afterwards; 0: the size is kept
        bool queried;
        bool liveSourceSet;
    } cases[] = {
        {"1000x500: half as high as wide, whatever the slot", 0, {1000, 500}, S_OK, S_OK, S_OK, 0.5, true, true},
        {"with the resize frame: the client takes the aspect", 1, {1000, 500}, S_OK, S_OK, S_OK, 0.5, true, true},
        {"22x22: grows downwards to a square", 0, {22, 22}, S_OK, S_OK, S_OK, 1.0, true, true},
        {"a source without width keeps the size", 0, {0, 500}, S_OK, S_OK, S_OK, 0, true, true},
        {"an unreadable source size keeps the size", 0, {1000, 500}, E_FAIL, S_OK, S_OK, 0, true, true},
        {"a refused registration changes nothing", 0, {1000, 500}, S_OK, E_FAIL, S_OK, 0, false, false},
        {"refused properties: no live source; the next size message adjusts",
         0,
         {1000, 500},
         S_OK,
         S_OK,
         E_FAIL,
         0.5,
         true,
         false},
    };
    for (const Case& c : cases) {
        g_fake = FakeDwm();
        g_fake.sourceSize = c.dwmSource;
        g_fake.querySizeResult = c.query;
        g_fake.registerResult = c.registration;
        g_fake.updateResult = c.update;
        CControlDlg page;
        page.m_bFrame = c.frame;
        HWND source = MakeSource(400, 300);  // fits the slot whole: 160x120 at (100, 200)
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 153, nullptr);
        ASSERT_TRUE(thumb->m_bComposition) << c.name;
        HWND hwnd = thumb->m_hWnd;

        RECT window, client;
        GetWindowRect(hwnd, &window);
        GetClientRect(hwnd, &client);
        const int clientWidth = client.right;  // smaller than 160 with the frame
        const int clientHeight = c.ratio ? static_cast<int>(clientWidth * c.ratio) : 120 - (160 - clientWidth);
        EXPECT_EQ(Text(RECT{0, 0, clientWidth, clientHeight}), Text(client)) << c.name;
        EXPECT_EQ(Text(RECT{100, 200, 260, 0}), Text(RECT{window.left, window.top, window.right, 0}))
            << c.name << ": the left, top and width change";
        EXPECT_EQ(c.queried, g_fake.sizeQueries > 0) << c.name << ": source size asked";

        const std::vector<DWM_THUMBNAIL_PROPERTIES> first = UpdatesWith(kAll);
        if (c.registration == S_OK) {
            ASSERT_EQ(1u, first.size()) << c.name;
            EXPECT_EQ(Text(RECT{0, 0, clientWidth, 120 - (160 - clientWidth)}), Text(first[0].rcDestination)) << c.name;
            EXPECT_EQ(Text(RECT{0, 0, 400, 300}), Text(first[0].rcSource)) << c.name << ": the whole source window";
            EXPECT_EQ(255, first[0].opacity) << c.name;
            EXPECT_TRUE(first[0].fVisible) << c.name;
            EXPECT_FALSE(first[0].fSourceClientAreaOnly) << c.name;
        } else {
            EXPECT_TRUE(g_fake.updates.empty()) << c.name;
            EXPECT_EQ(nullptr, thumb->m_hThumbnail) << c.name;
        }
        const std::vector<DWM_THUMBNAIL_PROPERTIES> destinations = UpdatesWith(DWM_TNP_RECTDESTINATION);
        if (c.ratio) {
            ASSERT_FALSE(destinations.empty()) << c.name;
            EXPECT_EQ(Text(RECT{0, 0, clientWidth, clientHeight}), Text(destinations.back().rcDestination)) << c.name;
        } else {
            EXPECT_TRUE(destinations.empty()) << c.name << ": a destination without a ratio";
        }
        EXPECT_EQ(c.liveSourceSet ? Text(RECT{0, 0, 400, 300}) : Text(RECT{0, 0, 0, 0}), Text(thumb->m_rcLiveSource))
            << c.name;

        CloseThumbnail(thumb, THUMB_CLOSE);
        DestroyWindow(source);
    }
}

TEST_F(LiveThumbnail, AspectMoveDoesNotAdjustAgainFromItsOwnSizeMessage)
{
    g_fake.sourceSize = {1000, 500};
    HWND source = MakeSource(400, 300);
    Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 153, nullptr);
    // The source becomes wider: one adjustment moves the window once and sends one destination.
    g_fake.sourceSize = {1000, 250};
    g_fake.sizeQueries = 0;
    g_fake.updates.clear();
    thumb->AdjustToSourceAspect();
    RECT client;
    GetClientRect(thumb->m_hWnd, &client);
    EXPECT_EQ(Text(RECT{0, 0, 160, 40}), Text(client));
    EXPECT_EQ(1, g_fake.sizeQueries);
    EXPECT_EQ(1u, UpdatesWith(DWM_TNP_RECTDESTINATION).size());
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}

TEST_F(LiveThumbnail, HandlesAreUnregisteredOnceAndReplacedWhenCompositionReturns)
{
    struct Step {
        const char* name;
        BOOL composition;  // what the DWM says from this step on; -1: close the thumbnail
        UINT_PTR handle;   // m_hThumbnail afterwards
        const char* gone;  // handles unregistered so far
    } steps[] = {
        {"created with composition", TRUE, 0x100, "[]"},
        {"composition changed, still on: a new handle", TRUE, 0x101, "[256]"},
        {"composition off: the handle stays", FALSE, 0x101, "[256]"},
        {"composition back on: replaced again", TRUE, 0x102, "[256 257]"},
        {"closed: unregistered once", -1, 0, "[256 257 258]"},
    };
    g_fake.sourceSize = {400, 300};
    HWND source = MakeSource(400, 300);
    Cthumbnail* thumb = nullptr;
    for (const Step& s : steps) {
        if (s.composition < 0) {
            CloseThumbnail(thumb, THUMB_CLOSE);
            thumb = nullptr;
        } else {
            g_fake.composition = s.composition;
            if (!thumb)
                thumb = new Cthumbnail(EntryFor(source), kSlot, 153, nullptr);
            else
                SendMessageA(thumb->m_hWnd, WM_DWMCOMPOSITIONCHANGED, 0, 0);
            EXPECT_EQ(s.composition, thumb->m_bComposition) << s.name;
            EXPECT_EQ(s.handle, reinterpret_cast<UINT_PTR>(thumb->m_hThumbnail)) << s.name;
        }
        EXPECT_EQ(std::string(s.gone), Handles(g_fake.unregistered)) << s.name;
    }
    DestroyWindow(source);
}

TEST_F(LiveThumbnail, SourceRectangleFollowsTheViewAndIsSentOnlyWhenItChanges)
{
    const RECT kInset = {7, 0, 7, 7};  // invisible resize borders left, right and below
    // Zoomed to 50 the view is 193x146 of the visible frame's 386x293, centred at (96, 73) in it.
    struct Step {
        const char* name;
        int zoom;  // 100: the whole source; else zoomed with the pan below
        int panX;
        HRESULT frame;
        HRESULT update;
        RECT sent;  // the source rectangle sent at this paint; all 0: nothing sent
        RECT live;  // m_rcLiveSource afterwards
    } steps[] = {
        {"the visible frame, in the window's coordinates", 100, 0, S_OK, S_OK, {7, 0, 393, 293}, {7, 0, 393, 293}},
        {"the same again: nothing sent", 100, 0, S_OK, S_OK, {}, {7, 0, 393, 293}},
        {"zoomed: the view, moved by the frame's offset", 50, 0, S_OK, S_OK, {103, 73, 296, 219}, {103, 73, 296, 219}},
        {"panned 20: 20 source pixels, whatever a capture left as scale",
         50,
         20,
         S_OK,
         E_FAIL,
         {123, 73, 316, 219},
         {103, 73, 296, 219}},
        {"refused, so offered again at the next paint", 50, 20, S_OK, S_OK, {123, 73, 316, 219}, {123, 73, 316, 219}},
        {"zoomed without frame bounds: the whole window", 50, 20, E_FAIL, S_OK, {0, 0, 400, 300}, {0, 0, 400, 300}},
    };
    g_fake.sourceSize = {400, 300};
    g_fake.frameInset = kInset;
    HWND source = MakeSource(400, 300);
    Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 153, nullptr);
    thumb->m_dScaleX = thumb->m_dScaleY = 0.25;  // as left by captures before composition came on
    for (const Step& s : steps) {
        g_fake.frameResult = s.frame;
        g_fake.updateResult = s.update;
        thumb->m_nZoomX = thumb->m_nZoomY = s.zoom;
        thumb->m_nPanX = s.panX;
        thumb->m_nPanY = 0;
        g_fake.updates.clear();
        Repaint(thumb->m_hWnd);
        const std::vector<DWM_THUMBNAIL_PROPERTIES> sent = UpdatesWith(DWM_TNP_RECTSOURCE);
        if (IsRectEmpty(&s.sent)) {
            EXPECT_TRUE(sent.empty()) << s.name;
        } else {
            ASSERT_EQ(1u, sent.size()) << s.name;
            EXPECT_EQ(Text(s.sent), Text(sent[0].rcSource)) << s.name;
        }
        EXPECT_EQ(Text(s.live), Text(thumb->m_rcLiveSource)) << s.name;
        EXPECT_EQ(s.panX, thumb->m_nPanX) << s.name << ": the pan is kept";
    }
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}

TEST_F(LiveThumbnail, BackgroundIsErasedOnlyWithComposition)
{
    struct Case {
        const char* name;
        BOOL composition;
        COLORREF pixel;
    } cases[] = {
        {"composition on: the live thumbnail's grey", TRUE, 0xDCDCDC},
        {"composition off: painting covers the window, nothing erased", FALSE, RGB(0, 0, 0)},
    };
    g_fake.sourceSize = {400, 300};
    HWND source = MakeSource(400, 300);
    for (const Case& c : cases) {
        g_fake.composition = c.composition;
        Cthumbnail* thumb = new Cthumbnail(EntryFor(source), kSlot, 153, nullptr);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 200);
        HGDIOBJ old = SelectObject(memory, bitmap);
        RECT all = {0, 0, 200, 200};
        FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SendMessageA(thumb->m_hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
        EXPECT_EQ(c.pixel, GetPixel(memory, 80, 60)) << c.name;
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
    DestroyWindow(source);
}
