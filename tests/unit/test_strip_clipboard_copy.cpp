// The picture a thumbnail copies: with composition the DWM draws outside the window's own surface,
// so the copy is a capture of the source in the part the thumbnail shows (fake DWM, in-process source).
#include "strip/Thumbnail.h"

#include "desktop/DwmApi.h"
#include "framework/Gdi.h"
#include "strip/ControlDlg.h"

#include <gtest/gtest.h>

#include "tests/unit/support/fake_dwm.h"
#include "tests/unit/support/source_thread.h"
#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

#include <cstring>
#include <string>

namespace {

const COLORREF kLeft = RGB(200, 0, 0), kRight = RGB(0, 0, 200);

// A frameless source, red on its left half and blue on its right, drawn for PrintWindow too.
LRESULT CALLBACK HalvesProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND) {
        RECT client;
        GetClientRect(hwnd, &client);
        RECT left = client, right = client;
        left.right = right.left = client.right / 2;
        HBRUSH red = CreateSolidBrush(kLeft), blue = CreateSolidBrush(kRight);
        FillRect(reinterpret_cast<HDC>(wParam), &left, red);
        FillRect(reinterpret_cast<HDC>(wParam), &right, blue);
        DeleteObject(red);
        DeleteObject(blue);
        return 1;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

HWND MakeHalves()
{
    return MakeSourceWindow({50, 60, 450, 360}, "halves", &HalvesProc, WS_POPUP);
}

// Composition on or off for one test, through the fake DWM, which gives every source 400 x 300.
class Composition : public ScopedFakeDwm {
public:
    explicit Composition(bool on) : ScopedFakeDwm(on) { g_fake.sourceSize = {400, 300}; }
};

TEST(ThumbnailCopy, WithCompositionTheSourceIsCapturedInTheShownPart)
{
    Composition composition(true);
    HWND source = MakeHalves();
    Cthumbnail* thumb = new Cthumbnail(SourceEntry(source, "halves"), RECT{100, 200, 260, 320}, 255, nullptr);
    ASSERT_TRUE(thumb->m_bComposition);
    ASSERT_NE(nullptr, thumb->m_hThumbnail);
    RECT client;
    GetClientRect(thumb->m_hWnd, &client);
    ASSERT_GT(client.right, 0);

    struct Case {
        const char* name;
        RECT view;  // the source part the live thumbnail shows; empty: the whole window
        COLORREF left, right;
    } cases[] = {
        {"whole source", {0, 0, 400, 300}, kLeft, kRight},
        {"no view known yet: the whole window", {0, 0, 0, 0}, kLeft, kRight},
        {"zoomed on the right half", {200, 0, 400, 300}, kRight, kRight},
        {"zoomed on the left quarter", {0, 0, 100, 150}, kLeft, kLeft},
    };
    for (const Case& c : cases) {
        thumb->m_rcLiveSource = c.view;
        const long gdiBefore = AfxGdiLiveCount();
        {
            CBitmap picture;
            ASSERT_TRUE(thumb->CapturePicture(picture)) << c.name;
            BITMAP info = {};
            GetObjectA(picture.GetSafeHandle(), sizeof(info), &info);
            EXPECT_EQ(client.right, info.bmWidth) << c.name;
            EXPECT_EQ(client.bottom, info.bmHeight) << c.name;
            HDC screen = GetDC(nullptr);
            HDC memory = CreateCompatibleDC(screen);
            HGDIOBJ old = SelectObject(memory, picture.GetSafeHandle());
            const COLORREF left = GetPixel(memory, client.right / 8, client.bottom / 2);
            const COLORREF right = GetPixel(memory, client.right * 7 / 8, client.bottom / 2);
            SelectObject(memory, old);
            DeleteDC(memory);
            ReleaseDC(nullptr, screen);
            EXPECT_EQ(c.left, left) << c.name << ": left";
            EXPECT_EQ(c.right, right) << c.name << ": right";
        }
        EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << c.name << ": GDI objects";
    }
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(source);
}

// Puts a text of ours on the clipboard; the sequence number tells whether anything changed it since.
DWORD HoldText()
{
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 8);
        std::memcpy(GlobalLock(text), "kv keep", 8);
        GlobalUnlock(text);
        SetClipboardData(CF_TEXT, text);
        CloseClipboard();
    }
    return GetClipboardSequenceNumber();
}

TEST(ThumbnailCopy, AThumbnailWithoutAreaCopiesNothing)
{
    // Under Wine a bitmap of no width or height is made all the same, 1 x 1.
    struct Case {
        const char* name;
        bool composition;
        int width, height;
    } cases[] = {
        {"captured image, no width", false, 0, 100},
        {"captured image, no height", false, 160, 0},
        // The live thumbnail takes the height of its width and the source's aspect.
        {"live thumbnail, no width", true, 0, 100},
    };
    for (const Case& c : cases) {
        Composition composition(c.composition);
        HWND source = MakeHalves();
        Cthumbnail* thumb = new Cthumbnail(SourceEntry(source, "halves"), RECT{100, 200, 260, 320}, 255, nullptr);
        ASSERT_EQ(c.composition, thumb->m_bComposition != FALSE) << c.name;
        SetWindowPos(thumb->m_hWnd, nullptr, 0, 0, c.width, c.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RECT client;
        GetClientRect(thumb->m_hWnd, &client);
        ASSERT_TRUE(client.right == 0 || client.bottom == 0) << c.name << ": client " << Text(client);
        const DWORD sequence = HoldText();
        const long gdiBefore = AfxGdiLiveCount();
        thumb->CopyToClipboard();
        EXPECT_EQ(sequence, GetClipboardSequenceNumber()) << c.name << ": the clipboard changed";
        EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT) && !IsClipboardFormatAvailable(CF_BITMAP)) << c.name;
        EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << c.name << ": GDI objects";
        CloseThumbnail(thumb, THUMB_CLOSE);
        DestroyWindow(source);
    }
}

HWND MakeHalvesOnThread()
{
    return MakeHalves();
}

TEST(ThumbnailCopy, WithCompositionAHungSourceIsAskedFirstAndNothingIsCopied)
{
    Composition composition(true);
    SourceThread source(&MakeHalvesOnThread);
    ASSERT_TRUE(IsWindow(source.Window()));
    Cthumbnail* thumb = new Cthumbnail(SourceEntry(source.Window(), "halves"), RECT{100, 200, 260, 320}, 255, nullptr);
    ASSERT_TRUE(thumb->m_bComposition);
    const DWORD sequence = HoldText();
    source.Hang();
    const DWORD start = GetTickCount();
    thumb->CopyToClipboard();
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_LT(elapsed, 2500u) << "held up by the hung source";
    EXPECT_EQ(sequence, GetClipboardSequenceNumber()) << "a copy of a source that did not answer";
    source.Resume();

    // Once it answers again, the copy is made at once, whatever the last question found.
    thumb->CopyToClipboard();
    EXPECT_NE(sequence, GetClipboardSequenceNumber()) << "no copy of a source that answers again";
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
    CloseThumbnail(thumb, THUMB_CLOSE);
}

}  // namespace
