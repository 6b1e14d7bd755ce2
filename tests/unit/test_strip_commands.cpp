// A thumbnail's command handlers on windows of this process: the item states of the menu as it
// opens, and the double click's question to a source that was busy a moment ago or is hung now.
#include "strip/Thumbnail.h"

#include "framework/Guard.h"
#include "res/resource.h"
#include "strip/ControlDlg.h"

#include <gtest/gtest.h>

#include "tests/unit/support/box_closer.h"
#include "tests/unit/support/pump.h"
#include "tests/unit/support/source_thread.h"
#include "tests/unit/support/source_window.h"
#include "tests/unit/support/strip.h"

#include <cstring>
#include <vector>

namespace {

const RECT kSlot = {100, 200, 260, 320};

HWND MakeSource()
{
    return MakeSourceWindow({300, 300, 620, 540}, "source");
}

// The states of the three web-reload items, read when the menu opens; the menu is then closed.
struct MenuSpy {
    static WNDPROC s_original;
    static UINT s_on, s_off, s_interval;
    static int s_opened;

    static UINT Grayed(HMENU menu, UINT id) { return GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED; }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_INITMENUPOPUP && !HIWORD(lParam) && LOWORD(lParam) == 0 && !s_opened) {
            HMENU popup = reinterpret_cast<HMENU>(wParam);
            ++s_opened;
            s_on = Grayed(popup, ID_THUMB_RELOAD_ON);
            s_off = Grayed(popup, ID_THUMB_RELOAD_OFF);
            s_interval = Grayed(popup, ID_THUMB_RELOAD_INTERVAL);
            EndMenu();
        }
        return CallWindowProcA(s_original, hwnd, message, wParam, lParam);
    }
};
WNDPROC MenuSpy::s_original = nullptr;
UINT MenuSpy::s_on = 0, MenuSpy::s_off = 0, MenuSpy::s_interval = 0;
int MenuSpy::s_opened = 0;

TEST(ThumbnailCommands, MenuOpensWithTheReloadItemsOfItsProcessAndState)
{
    const UINT E = MF_ENABLED, G = MF_GRAYED;
    struct Case {
        const char* process;
        int reload;
        UINT on, off, interval;
    } cases[] = {
        {"chrome.exe", 0, E, G, E},
        {"chrome.exe", 1, G, E, E},
        {"other.exe", 0, G, G, G},
    };
    HWND source = MakeSource();
    for (const Case& c : cases) {
        Cthumbnail* thumb = new Cthumbnail(SourceEntry(source, "source", c.process), kSlot, 255, nullptr);
        thumb->m_bWebReload = c.reload;
        MenuSpy::s_opened = 0;
        MenuSpy::s_original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(thumb->m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuSpy::Proc)));
        SendMessageA(thumb->m_hWnd, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
        SetWindowLongPtrA(thumb->m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(MenuSpy::s_original));
        ASSERT_EQ(1, MenuSpy::s_opened) << c.process << ": the menu did not open";
        EXPECT_EQ(c.on, MenuSpy::s_on) << c.process << " reload " << c.reload << ": する";
        EXPECT_EQ(c.off, MenuSpy::s_off) << c.process << " reload " << c.reload << ": しない";
        EXPECT_EQ(c.interval, MenuSpy::s_interval) << c.process << " reload " << c.reload << ": 間隔設定";
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
    DestroyWindow(source);
}

// Answers every message box of this thread from a timer, which the box's own loop dispatches, and
// counts the boxes.

TEST(ThumbnailCommands, DoubleClickAsksTheSourceAfresh)
{
    struct Case {
        const char* name;
        bool hungBefore;  // a refresh found it hung a moment ago
        bool hungNow;
        int boxes;
    } cases[] = {
        {"hung: the busy box", false, true, 1},
        {"hung a moment ago, answers now: no box", true, false, 0},
        {"answers: no box", false, false, 0},
    };
    for (const Case& c : cases) {
        SourceThread source(&MakeSource);
        ASSERT_TRUE(IsWindow(source.Window())) << c.name;
        Cthumbnail* thumb = new Cthumbnail(SourceEntry(source.Window(), "source"), kSlot, 255, nullptr);
        if (c.hungBefore) {
            source.Hang();
            EXPECT_FALSE(thumb->CaptureByPrintWindow()) << c.name;
            // The print goes on a thread of its own: the thumbnail learns of the missed answer at its end.
            EXPECT_TRUE(PollFor(
                [&] {
                    MSG msg;
                    if (!PeekMessageA(&msg, thumb->m_hWnd, WM_APP_THUMB_PRINTED, WM_APP_THUMB_PRINTED, PM_REMOVE))
                        return false;
                    DispatchMessageA(&msg);
                    return true;
                },
                5000))
                << c.name << ": the print never ended";
            source.Resume();
        }
        if (c.hungNow)
            source.Hang();
        MessageBoxCloser closer;
        const DWORD start = GetTickCount();
        SendMessageA(thumb->m_hWnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
        const DWORD elapsed = GetTickCount() - start;
        EXPECT_EQ(c.boxes, MessageBoxCloser::Boxes()) << c.name;
        EXPECT_LT(elapsed, 2500u) << c.name << ": held up by the source";
        source.Resume();
        CloseThumbnail(thumb, THUMB_CLOSE);
    }
}

}  // namespace
