// The clipboard bitmap hand-over through a fake clipboard: on every failure the bitmap is freed
// by its owner and the clipboard is closed whenever it was opened.
#include "framework/Clipboard.h"

#include <gtest/gtest.h>

#include "framework/Gdi.h"

namespace {

struct FakeClipboard {
    bool openFails, emptyFails, setFails;
    int opens, closes, sets;
    HANDLE held;
};
FakeClipboard g_clip;

BOOL WINAPI FakeOpen(HWND)
{
    if (g_clip.openFails)
        return FALSE;
    ++g_clip.opens;
    return TRUE;
}
BOOL WINAPI FakeEmpty()
{
    return g_clip.emptyFails ? FALSE : TRUE;
}
HANDLE WINAPI FakeSet(UINT, HANDLE data)
{
    ++g_clip.sets;
    if (g_clip.setFails)
        return nullptr;
    g_clip.held = data;
    return data;
}
BOOL WINAPI FakeClose()
{
    ++g_clip.closes;
    return TRUE;
}

const ClipboardCalls kFake = {&FakeOpen, &FakeEmpty, &FakeSet, &FakeClose};

TEST(FrameworkClipboard, BitmapLeavesItsOwnerOnlyWhenTheClipboardTakesIt)
{
    struct Case {
        const char* name;
        bool openFails, emptyFails, setFails;
        BOOL ok;
        int closes;
    } cases[] = {
        {"taken", false, false, false, TRUE, 1},
        {"clipboard held by another program", true, false, false, FALSE, 0},
        {"cannot be emptied", false, true, false, FALSE, 1},
        {"refuses the data", false, false, true, FALSE, 1},
    };
    for (const Case& c : cases) {
        g_clip = {c.openFails, c.emptyFails, c.setFails, 0, 0, 0, nullptr};
        const long gdiBefore = AfxGdiLiveCount();
        {
            HDC screen = GetDC(nullptr);
            CBitmap bitmap;
            bitmap.Attach(CreateCompatibleBitmap(screen, 8, 8));
            ReleaseDC(nullptr, screen);
            const HGDIOBJ handle = bitmap.GetSafeHandle();
            EXPECT_EQ(c.ok, AfxSetClipboardBitmap(nullptr, bitmap, kFake)) << c.name;
            EXPECT_EQ(c.ok ? nullptr : handle, bitmap.GetSafeHandle()) << c.name << ": who holds the bitmap";
            if (c.ok)
                DeleteObject(g_clip.held);  // what the clipboard would free
        }
        EXPECT_EQ(gdiBefore, AfxGdiLiveCount()) << c.name << ": GDI objects";
        EXPECT_EQ(c.closes, g_clip.closes) << c.name << ": closes";
        EXPECT_EQ(g_clip.opens, g_clip.closes) << c.name << ": every open is closed";
    }
}

TEST(FrameworkClipboard, NoBitmapPutsNothingOnTheClipboard)
{
    g_clip = {false, false, false, 0, 0, 0, nullptr};
    CBitmap none;
    EXPECT_FALSE(AfxSetClipboardBitmap(nullptr, none, kFake));
    EXPECT_EQ(0, g_clip.opens);
    EXPECT_EQ(0, g_clip.sets);
}

}  // namespace
