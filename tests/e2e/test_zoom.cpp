// Zoom and pan inside a thumbnail as a user sees it: the wheel and the arrow keys while hovered, a
// drag that moves the whole thumbnail or pans its zoomed view, and the whole view after an arrange.
// Under Wine only the foreground source is captured with pixels (a screen copy), so the source is
// brought to the front before each look at the thumbnail's picture. The wheel and the keys are
// posted to the thumbnail, since the focus they would follow has to stay on the source.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e.h"
#include "kv_pattern.h"

using namespace kv;

namespace {

const int kArrangeButton = 1011;
const int kPattern = 1;

COLORREF ScreenPixel(POINT p)
{
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
}

// The screen point at this fraction of the thumbnail's client area.
POINT ThumbAt(HWND thumb, double fx, double fy)
{
    RECT client;
    GetClientRect(thumb, &client);
    POINT p = {static_cast<LONG>(client.right * fx), static_cast<LONG>(client.bottom * fy)};
    ClientToScreen(thumb, &p);
    return p;
}

// The pattern's quadrant centres and the point where its quadrants meet, in the source window's
// own coordinates (the capture's).
struct PatternPlace {
    POINT centre[4];
    POINT meet;
    POINT client;  // the client area's top left
    SIZE window;
};

PatternPlace PlaceOf(HWND source)
{
    const RECT client = ClientInWindow(source);
    const RECT w = WindowRectOf(source);
    const LONG ox = client.left, oy = client.top, cx = client.right - client.left, cy = client.bottom - client.top;
    PatternPlace place;
    for (int q = 0; q < 4; ++q)
        place.centre[q] = {ox + cx * (q % 2 ? 3 : 1) / 4, oy + cy * (q / 2 ? 3 : 1) / 4};
    place.meet = {ox + cx / 2, oy + cy / 2};
    place.client = {ox, oy};
    place.window = {w.right - w.left, w.bottom - w.top};
    return place;
}

// "" when the thumbnail shows the whole source, else what it shows instead.
std::string WholeMismatch(HWND source, HWND thumb)
{
    const PatternPlace place = PlaceOf(source);
    std::string wrong;
    for (int q = 0; q < 4; ++q) {
        const COLORREF got = ScreenPixel(
            ThumbAt(thumb, double(place.centre[q].x) / place.window.cx, double(place.centre[q].y) / place.window.cy));
        if (!NearColor(got, PatternColor(kPattern, q)))
            wrong += " quadrant " + std::to_string(q) + ": " + ColorHex(got);
    }
    // Halfway down the caption, which any zoom would replace by the pattern.
    const COLORREF caption = ScreenPixel(ThumbAt(thumb, 0.5, place.client.y / 2.0 / place.window.cy));
    for (int q = 0; q < 4; ++q) {
        if (NearColor(caption, PatternColor(kPattern, q)))
            wrong += " the caption shows the pattern: " + ColorHex(caption);
    }
    return wrong;
}

// "" when the middle of the thumbnail shows one colour of the pattern only, else what it shows.
std::string AllOfMismatch(HWND thumb, int quadrant)
{
    std::string wrong;
    for (double fy : {0.25, 0.5, 0.75}) {
        for (double fx : {0.25, 0.5, 0.75}) {
            const COLORREF got = ScreenPixel(ThumbAt(thumb, fx, fy));
            if (!NearColor(got, PatternColor(kPattern, quadrant)))
                wrong += " " + ColorHex(got);
        }
    }
    return wrong.empty() ? "" : "not all " + ColorHex(PatternColor(kPattern, quadrant)) + ":" + wrong;
}

// The colour at thumbnail client x (pixels) on the row a quarter down.
COLORREF ColourAtColumn(HWND thumb, int x)
{
    RECT client;
    GetClientRect(thumb, &client);
    POINT p = {x, client.bottom / 4};
    ClientToScreen(thumb, &p);
    return ScreenPixel(p);
}

// The thumbnail's picture on a 10 x 10 grid, for failure messages.
std::string Picture(HWND thumb)
{
    std::string grid;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x)
            grid += ColorHex(ScreenPixel(ThumbAt(thumb, (x + 0.5) / 10, (y + 0.5) / 10))) + (x < 9 ? " " : "\n");
    }
    return grid;
}

// The source in front and staying there: a click or hover on the thumbnail activates it a moment
// later, and a capture taken meanwhile is Wine's empty PrintWindow picture.
bool SourceInFront(HWND source)
{
    return WaitFor(
        [&] {
            if (GetForegroundWindow() != source) {
                SetForegroundWindow(source);
                return false;
            }
            return HoldsFor([&] { return GetForegroundWindow() == source; }, 500);
        },
        10000);
}

// A mouse event at an absolute screen position, as the hardware would give it.
void Mouse(DWORD flags, int x, int y)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = (x * 65536 + w - 1) / w;
    in.mi.dy = (y * 65536 + h - 1) / h;
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(in));
}

POINT Cursor()
{
    POINT p = {0, 0};
    GetCursorPos(&p);
    return p;
}

// A drag from one point to another in small steps, as a hand makes it. Wine's X11 desktop echoes
// a cursor move back a moment later; the echo of the last position must not land inside the drag.
void Drag(const Process& app, POINT from, POINT to, const std::function<void()>& whileHeld = nullptr)
{
    Mouse(0, from.x, from.y);
    Require(WaitFor([&] { return Cursor().x == from.x && Cursor().y == from.y; }, 2000),
            "the cursor did not reach (%ld,%ld)", from.x, from.y);
    HoldsFor([&] { return Cursor().x == from.x && Cursor().y == from.y; }, 300);
    app.WaitIdle(2000);
    Mouse(MOUSEEVENTF_LEFTDOWN, from.x, from.y);
    Pump(100);
    const int steps = 10;
    for (int i = 1; i <= steps; ++i) {
        Mouse(0, from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
        Pump(30);
    }
    Require(WaitFor([&] { return Cursor().x == to.x && Cursor().y == to.y; }, 2000),
            "the cursor did not reach (%ld,%ld) but is at (%ld,%ld)", to.x, to.y, Cursor().x, Cursor().y);
    if (whileHeld)
        whileHeld();
    Mouse(MOUSEEVENTF_LEFTUP, to.x, to.y);
}

HWND CaptureOf(HWND thumb)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(thumb, nullptr), &info))
        return nullptr;
    return info.hwndCapture;
}

// Hovers the thumbnail with the cursor near its lower right corner, away from what is looked at.
bool Hover(HWND thumb)
{
    const RECT r = WindowRectOf(thumb);
    MoveCursor(r.right - 4, r.bottom - 4);
    Mouse(0, r.right - 5, r.bottom - 5);
    // The frame comes last, after the z-order change that activates the thumbnail.
    return WaitFor(
        [&] {
            return AlphaOf(thumb) == 255 && (GetWindowLongA(thumb, GWL_EXSTYLE) & WS_EX_TOPMOST) &&
                   (GetWindowLongA(thumb, GWL_STYLE) & WS_THICKFRAME);
        },
        3000);
}

void Wheel(HWND thumb, int notches)
{
    const POINT at = Cursor();
    for (int i = 0; i < std::abs(notches); ++i)
        PostMessageA(thumb, WM_MOUSEWHEEL, MAKEWPARAM(0, notches > 0 ? 120 : -120), MAKELPARAM(at.x, at.y));
}

void Keys(HWND thumb, WORD vk, int count)
{
    for (int i = 0; i < count; ++i)
        PostMessageA(thumb, WM_KEYDOWN, vk, 1);
}

struct Bench {
    Scratch scratch;
    Process helper;
    HWND source = nullptr;
    App kestrova;
    HWND thumb = nullptr;
};

// Kestrova with one thumbnail of a pattern helper, which is in the foreground and shown whole.
void Open(Bench& b, const char* title)
{
    const std::string folder = b.scratch.Folder("app");
    WriteBytes(folder + "\\Kestrova.ini",
               "[SYSTEM]\r\nLOCATION=3\r\nSIZE=1\r\nLEFTMARGIN=100\r\nBOTTOMMARGIN=50\r\nTRANSPARENT=60\r\n"
               "LIMIT=4\r\nINTERVAL=1\r\nFRAME=0\r\n");
    const std::string app = b.scratch.InstallApp(folder);
    ParkCursor();
    b.helper =
        Start(BuiltFile("kv_helper.exe"), std::string("--title \"") + title +
                                              "\" --pos 300,100 --size 320x240 --pattern " + std::to_string(kPattern));
    Require(WaitFor([&] { return (b.source = FindTopWindow(b.helper.Pid(), nullptr, title)) != nullptr; }, 5000),
            "the helper window did not open");
    b.kestrova = StartApp(app, "", b.scratch.Root());
    Require(WaitFor(
                [&] {
                    const std::vector<HWND> thumbs = Thumbnails(b.kestrova.proc.Pid());
                    b.thumb = thumbs.size() == 1 ? thumbs[0] : nullptr;
                    return b.thumb != nullptr;
                },
                10000),
            "%u thumbnails, not one", unsigned(Thumbnails(b.kestrova.proc.Pid()).size()));
    Require(Foreground(b.source), "the helper does not come to the foreground");
    Require(WaitFor([&] { return WholeMismatch(b.source, b.thumb).empty(); }, 5000),
            "the thumbnail does not show its source:%s", WholeMismatch(b.source, b.thumb).c_str());
}

}  // namespace

KV_E2E_TEST(zoom_wheel_and_keys_act_only_while_hovered)
{
    Bench b;
    Open(b, "zoom keys");

    // Not hovered: the wheel changes nothing.
    Wheel(b.thumb, 20);
    Expect(HoldsFor([&] { return WholeMismatch(b.source, b.thumb).empty(); }, 1500),
           "the wheel zoomed a thumbnail that is not hovered:%s", WholeMismatch(b.source, b.thumb).c_str());

    // Hovered (which takes the foreground), then the source in front again for its captures.
    Require(Hover(b.thumb), "the thumbnail is not hovered: alpha %d", AlphaOf(b.thumb));
    Require(SourceInFront(b.source), "the helper does not stay in the foreground");
    Require(WaitFor([&] { return WholeMismatch(b.source, b.thumb).empty(); }, 5000),
            "hovered, the thumbnail does not show its source:%s", WholeMismatch(b.source, b.thumb).c_str());
    // Thirty partial notches: as many notches would show the source's middle only.
    const POINT at = Cursor();
    for (int i = 0; i < 30; ++i)
        PostMessageA(b.thumb, WM_MOUSEWHEEL, MAKEWPARAM(0, 119), MAKELPARAM(at.x, at.y));
    Expect(HoldsFor([&] { return WholeMismatch(b.source, b.thumb).empty(); }, 1500),
           "wheel deltas of 119 changed the picture:%s", WholeMismatch(b.source, b.thumb).c_str());

    // Ninety notches away: a tenth of the source, then the arrow keys into each quadrant.
    Wheel(b.thumb, 90);
    const PatternPlace place = PlaceOf(b.source);
    const POINT middle = {place.window.cx / 2, place.window.cy / 2};
    POINT pan = {0, 0};  // one key step is 4 source pixels on a zoomed axis
    for (int q : {0, 1, 3, 2}) {
        const POINT want = {(place.centre[q].x - middle.x) / 4, (place.centre[q].y - middle.y) / 4};
        Keys(b.thumb, want.x < pan.x ? VK_LEFT : VK_RIGHT, std::abs(want.x - pan.x));
        Keys(b.thumb, want.y < pan.y ? VK_UP : VK_DOWN, std::abs(want.y - pan.y));
        pan = want;
        Expect(WaitFor([&] { return AllOfMismatch(b.thumb, q).empty(); }, 5000), "panned into quadrant %d: %s", q,
               AllOfMismatch(b.thumb, q).c_str());
    }
    Keys(b.thumb, pan.x < 0 ? VK_RIGHT : VK_LEFT, std::abs(pan.x));
    Keys(b.thumb, pan.y < 0 ? VK_DOWN : VK_UP, std::abs(pan.y));

    // A quarter of the source, then far past the top edge: the view shows the caption, whose lower
    // edge lies across the middle of the thumbnail. One step back moves the view down at once.
    Wheel(b.thumb, -15);
    Keys(b.thumb, VK_UP, 100);
    const int viewHeight = place.window.cy / 4;
    const int clientTop = place.client.y;
    auto row = [&](int sourceY) { return double(sourceY) / viewHeight; };  // at the top edge
    auto q0At = [&](double fy) {
        return NearColor(ScreenPixel(ThumbAt(b.thumb, 0.25, fy)), PatternColor(kPattern, 0));
    };
    // Two source pixels above the client's top edge, and two below it.
    const double above = row(clientTop - 2), below = row(clientTop + 2);
    Require(below < 1, "the client starts %d pixels down the source: not inside a view %d high", clientTop, viewHeight);
    Expect(WaitFor([&] { return !q0At(above) && q0At(below); }, 5000),
           "at the top edge the caption does not end between %.2f and %.2f of the height: %s and %s", above, below,
           ColorHex(ScreenPixel(ThumbAt(b.thumb, 0.25, above))).c_str(),
           ColorHex(ScreenPixel(ThumbAt(b.thumb, 0.25, below))).c_str());
    Keys(b.thumb, VK_DOWN, 1);
    Expect(WaitFor([&] { return q0At(above); }, 5000),
           "one step back from the top edge: %.2f of the height shows %s, not the pattern", above,
           ColorHex(ScreenPixel(ThumbAt(b.thumb, 0.25, above))).c_str());
    Require(ExitByTray(b.kestrova), "still running after the tray's exit");
}

KV_E2E_TEST(zoom_drag_moves_whole_thumbnail_or_pans_zoomed_view)
{
    Bench b;
    Open(b, "zoom drag");

    // The whole view: the system moves the thumbnail by exactly the mouse's movement.
    const RECT was = WindowRectOf(b.thumb);
    const POINT grab = {(was.left + was.right) / 2, (was.top + was.bottom) / 2};
    const POINT end = {grab.x + 30, grab.y - 40};
    Drag(b.kestrova.proc, grab, end);
    Expect(WaitFor(
               [&] {
                   const RECT now = WindowRectOf(b.thumb);
                   return now.left - was.left == end.x - grab.x && now.top - was.top == end.y - grab.y &&
                          now.right - now.left == was.right - was.left;
               },
               3000),
           "the mouse moved by (%ld,%ld); the thumbnail went from %s to %s", end.x - grab.x, end.y - grab.y,
           RectText(was).c_str(), RectText(WindowRectOf(b.thumb)).c_str());
    Expect(WaitFor([&] { return CaptureOf(b.thumb) == nullptr; }, 2000), "the mouse is still captured after the move");

    // Zoomed to half: the quadrants meet in the middle of the view.
    Require(Hover(b.thumb), "the thumbnail is not hovered: alpha %d", AlphaOf(b.thumb));
    Wheel(b.thumb, 50);
    Require(SourceInFront(b.source), "the helper does not stay in the foreground");
    const PatternPlace place = PlaceOf(b.source);
    RECT client;
    GetClientRect(b.thumb, &client);
    const int viewWidth = place.window.cx / 2;
    const int meet = (place.meet.x - (place.window.cx - viewWidth) / 2) * client.right / viewWidth;
    const int probe = meet + 10;  // right of the meeting now; left of it once the image follows the mouse
    // Zoomed, the top of the thumbnail shows the pattern instead of the caption.
    Require(WaitFor(
                [&] {
                    return NearColor(ColourAtColumn(b.thumb, probe), PatternColor(kPattern, 1)) &&
                           NearColor(ScreenPixel(ThumbAt(b.thumb, 0.25, 0.02)), PatternColor(kPattern, 0));
                },
                5000),
            "zoomed to half, column %d shows %s, not the right quadrant, and the top %s", probe,
            ColorHex(ColourAtColumn(b.thumb, probe)).c_str(),
            ColorHex(ScreenPixel(ThumbAt(b.thumb, 0.25, 0.02))).c_str());

    // A drag pans: the thumbnail stays, the mouse is its own until the release.
    const RECT before = WindowRectOf(b.thumb);
    const POINT from = ThumbAt(b.thumb, 0.3, 0.5);
    HWND capturedDuring = nullptr;
    RECT during = {};
    Drag(b.kestrova.proc, from, {from.x + 20, from.y}, [&] {
        WaitFor([&] { return (capturedDuring = CaptureOf(b.thumb)) == b.thumb; }, 2000);
        during = WindowRectOf(b.thumb);
    });
    Expect(capturedDuring == b.thumb, "during the drag the mouse is captured by 0x%08x, not the thumbnail",
           (unsigned)(UINT_PTR)capturedDuring);
    Expect(SameRect(during, before), "the zoomed thumbnail moved during the drag: %s to %s", RectText(before).c_str(),
           RectText(during).c_str());
    Expect(WaitFor([&] { return CaptureOf(b.thumb) == nullptr; }, 2000), "the mouse is still captured after the drag");
    Expect(SameRect(WindowRectOf(b.thumb), before), "the zoomed thumbnail moved: %s to %s", RectText(before).c_str(),
           RectText(WindowRectOf(b.thumb)).c_str());
    Require(SourceInFront(b.source), "the helper does not stay in the foreground");
    Expect(WaitFor([&] { return NearColor(ColourAtColumn(b.thumb, probe), PatternColor(kPattern, 0)); }, 5000),
           "after dragging 20 pixels right, column %d shows %s, not the left quadrant; the picture:\n%s", probe,
           ColorHex(ColourAtColumn(b.thumb, probe)).c_str(), Picture(b.thumb).c_str());

    // An arrangement puts the thumbnail back in its slot with the whole view.
    ParkCursor();
    HWND arrange = FindDescendant(b.kestrova.main, kArrangeButton);
    Require(arrange != nullptr, "no arrange button");
    DWORD_PTR result = 0;
    Require(SendMessageTimeoutA(arrange, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0, "BM_CLICK timed out");
    Expect(WaitFor([&] { return SameRect(WindowRectOf(b.thumb), was); }, 3000),
           "arranged, the thumbnail is at %s, not %s", RectText(WindowRectOf(b.thumb)).c_str(), RectText(was).c_str());
    Require(SourceInFront(b.source), "the helper does not stay in the foreground");
    Expect(WaitFor([&] { return WholeMismatch(b.source, b.thumb).empty(); }, 5000),
           "arranged, the thumbnail does not show the whole source:%s", WholeMismatch(b.source, b.thumb).c_str());
    Require(ExitByTray(b.kestrova), "still running after the tray's exit");
}
