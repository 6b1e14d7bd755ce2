// What the thumbnails show and how the hover hot key raises them: the refresh cycle's captures
// seen on the screen, the refit to a resized source, and Win+W held and let go.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e.h"
#include "kv_pattern.h"

using namespace kv;

namespace {

// The thumbnail whose window has this height; the helpers differ in aspect, so in height.
HWND ThumbnailOfHeight(DWORD pid, int height)
{
    for (HWND t : Thumbnails(pid)) {
        const RECT r = WindowRectOf(t);
        if (r.bottom - r.top == height)
            return t;
    }
    return nullptr;
}

UINT_PTR PaintsOf(HWND hwnd)
{
    return reinterpret_cast<UINT_PTR>(GetPropA(hwnd, kPaintCountProp));
}

bool Raised(HWND thumb)
{
    return (GetWindowLongA(thumb, GWL_EXSTYLE) & WS_EX_TOPMOST) && (GetWindowLongA(thumb, GWL_STYLE) & WS_THICKFRAME);
}

bool AtRest(HWND thumb)
{
    return !(GetWindowLongA(thumb, GWL_EXSTYLE) & WS_EX_TOPMOST) && !(GetWindowLongA(thumb, GWL_STYLE) & WS_THICKFRAME);
}

bool All(const std::vector<HWND>& thumbs, bool (*test)(HWND))
{
    for (HWND t : thumbs) {
        if (!test(t))
            return false;
    }
    return !thumbs.empty();
}

void Key(WORD vk, bool up)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (vk == VK_LWIN ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &in, sizeof(in));
}

}  // namespace

KV_E2E_TEST(refresh_shows_each_source_in_its_thumbnail)
{
    Scratch s;
    const std::string app =
        s.InstallAppWithSettings(s.Folder("app"),
                                 "LOCATION=3\r\nSIZE=1\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
                                 "BOTTOMMARGIN=50\r\nTRANSPARENT=100\r\nLIMIT=4\r\nINTERVAL=1\r\n");
    ParkCursor();
    // 320x240 fits a 160x120 slot whole; 400x200 gives a thumbnail 80 high.
    Process helper = Start(BuiltFile("kv_helper.exe"),
                           "--title \"image front\" --pos 300,100 --size 320x240 --pattern 1 --window "
                           "--title \"image back\" --pos 700,100 --size 400x200 --pattern 4");
    HWND front = nullptr, back = nullptr;
    Require(WaitFor(
                [&] {
                    front = FindTopWindow(helper.Pid(), nullptr, "image front");
                    back = FindTopWindow(helper.Pid(), nullptr, "image back");
                    return front && back;
                },
                5000),
            "the helper windows did not open");
    App kestrova = StartApp(app, "", s.Root());
    const DWORD pid = kestrova.proc.Pid();
    HWND frontThumb = nullptr, backThumb = nullptr;
    Require(WaitFor(
                [&] {
                    frontThumb = ThumbnailOfHeight(pid, 120);
                    backThumb = ThumbnailOfHeight(pid, 80);
                    return frontThumb && backThumb;
                },
                10000),
            "%u thumbnails, not one 120 and one 80 high", unsigned(Thumbnails(pid).size()));

    // The foreground source is copied from the screen; Wine's PrintWindow draws nothing across
    // processes, so the screen copy is the capture whose pixels can be checked here.
    Require(Foreground(front), "the front helper does not come to the foreground");
    Expect(WaitFor([&] { return PatternMismatch(front, frontThumb, 1).empty(); }, 5000),
           "the front thumbnail does not show its source:%s", PatternMismatch(front, frontThumb, 1).c_str());
    // A source behind is captured with PrintWindow once its process is idle, and then redrawn. Wine's
    // PrintWindow neither draws nor sends WM_PRINT across processes: the redraws show the captures.
    const UINT_PTR before = PaintsOf(back);
    Expect(WaitFor([&] { return PaintsOf(back) >= before + 3; }, 5000),
           "the source behind was redrawn %u times in 5 s: not captured", unsigned(PaintsOf(back) - before));

    // A source that changes size refits its thumbnail at the next refresh step, top-left kept.
    const RECT was = WindowRectOf(frontThumb);
    SetWindowPos(front, nullptr, 0, 0, 400, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const RECT want = {was.left, was.top, was.left + 160, was.top + 80};
    Expect(WaitFor([&] { return RectText(WindowRectOf(frontThumb)) == RectText(want); }, 3000),
           "after the resize the thumbnail is %s, expected %s", RectText(WindowRectOf(frontThumb)).c_str(),
           RectText(want).c_str());
    Expect(WaitFor([&] { return PatternMismatch(front, frontThumb, 1).empty(); }, 5000),
           "after the resize the thumbnail does not show its source:%s", PatternMismatch(front, frontThumb, 1).c_str());
    Require(ExitByTray(kestrova), "still running after the tray's exit");
}

KV_E2E_TEST(hover_key_raises_every_thumbnail_while_held)
{
    Scratch s;
    const std::string app =
        s.InstallAppWithSettings(s.Folder("app"),
                                 "LOCATION=3\r\nSIZE=1\r\nLEFTMARGIN=100\r\nBOTTOMMARGIN=50\r\nTRANSPARENT=60\r\n"
                                 "INTERVAL=5\r\nFRAME=0\r\n");
    ParkCursor();
    Process helper = Start(BuiltFile("kv_helper.exe"),
                           "--title \"hover one\" --pos 300,100 --window --title \"hover two\" --pos 400,150 "
                           "--window --title \"hover three\" --pos 500,200");
    Require(WaitFor([&] { return FindTopWindow(helper.Pid(), nullptr, "hover three") != nullptr; }, 5000),
            "the helper windows did not open");
    App kestrova = StartApp(app, "", s.Root());
    const DWORD pid = kestrova.proc.Pid();
    Require(WaitFor([&] { return Thumbnails(pid).size() == 3; }, 10000), "%u thumbnails",
            unsigned(Thumbnails(pid).size()));
    const std::vector<HWND> thumbs = Thumbnails(pid);
    Require(WaitFor([&] { return All(thumbs, AtRest); }, 3000), "the thumbnails are not at rest before the key");

    // Held: the system repeats the key-down, and each repeat is another hot-key message.
    Key(VK_LWIN, false);
    Key('W', false);
    Expect(WaitFor([&] { return All(thumbs, Raised); }, 2000), "Win+W did not raise every thumbnail");
    for (int repeat = 0; repeat < 8; ++repeat) {
        Pump(100);
        Key('W', false);
        Expect(All(thumbs, Raised), "a thumbnail dropped while Win+W was held (repeat %d)", repeat);
    }
    for (HWND t : thumbs)
        Expect(AlphaOf(t) == 153, "raised by the key, alpha %d instead of 153 at rest", AlphaOf(t));
    const DWORD lastPress = GetTickCount();
    Key('W', true);
    Key(VK_LWIN, true);

    Expect(WaitFor([&] { return All(thumbs, AtRest); }, 3000), "the thumbnails stay raised after Win+W");
    const DWORD dropped = GetTickCount() - lastPress;
    Expect(dropped >= 300, "dropped back %lu ms after the last press: the countdown is 5 ticks of 100 ms", dropped);
    Require(ExitByTray(kestrova), "still running after the tray's exit");
}
