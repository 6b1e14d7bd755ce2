// Parking of minimised windows and the thumbnail's hover, seen from outside: a helper window of
// another process is parked off screen or in place and comes back as it was, whichever way its
// thumbnail goes; a thumbnail at rest lies beneath ordinary windows and rises under the mouse.
#include <functional>
#include <string>
#include <vector>

#include "e2e.h"

using namespace kv;

namespace {

// The bottom strip from x 100: slot 0 is (100, 854, 260, 974); a 320x240 helper fills it.
const char kSettings[] = "LOCATION=3\r\nSIZE=1\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
                         "BOTTOMMARGIN=50\r\nTRANSPARENT=60\r\nLIMIT=4\r\nINTERVAL=1\r\n";
const RECT kSlot0 = {100, 854, 260, 974};
const RECT kNormal = {300, 150, 620, 390};
const int kRestAlpha = 153;

HWND OnlyThumbnail(DWORD pid)
{
    HWND found = nullptr;
    int count = 0;
    for (HWND hwnd : TopWindows(pid)) {
        if (IsThumbnail(hwnd)) {
            found = hwnd;
            ++count;
        }
    }
    return count == 1 ? found : nullptr;
}

DWORD Style(HWND h) { return static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE)); }
DWORD ExStyle(HWND h) { return static_cast<DWORD>(GetWindowLongA(h, GWL_EXSTYLE)); }

// The alpha, -1 unless the window has the layered style now.
int LayeredAlpha(HWND hwnd) { return (ExStyle(hwnd) & WS_EX_LAYERED) ? AlphaOf(hwnd) : -1; }

RECT Moved(const RECT& r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

// Top-level windows in z-order, topmost first.
int ZIndex(HWND hwnd)
{
    int i = 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT), ++i) {
        if (w == hwnd) return i;
    }
    return -1;
}

// True when cond, polled over periodMs, never holds for longer than maxMs at a stretch.
bool NeverLongerThan(const std::function<bool()>& cond, DWORD maxMs, DWORD periodMs)
{
    const DWORD start = GetTickCount();
    DWORD since = 0;
    bool holding = false;
    return HoldsFor([&] {
        const DWORD now = GetTickCount() - start;
        if (!cond()) {
            holding = false;
            return true;
        }
        if (!holding) since = now;
        holding = true;
        return now - since <= maxMs;
    }, periodMs);
}

bool Topmost(HWND h) { return (ExStyle(h) & WS_EX_TOPMOST) != 0; }
bool Framed(HWND h) { return (Style(h) & WS_THICKFRAME) != 0; }

std::string Hex(DWORD v)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(v));
    return text;
}

std::string StateText(HWND h)
{
    return RectText(WindowRectOf(h)) + " style " + Hex(Style(h)) + " ex " + Hex(ExStyle(h)) + " alpha " +
           std::to_string(LayeredAlpha(h)) + (IsIconic(h) ? " minimised" : "");
}

// The cursor where asked, once this process sees it there; another process sees it a little later.
void MoveCursor(int x, int y)
{
    SetCursorPos(x, y);
    WaitFor([&] {
        POINT p;
        return GetCursorPos(&p) && p.x == x && p.y == y;
    }, 2000);
}

void CursorAway() { MoveCursor(1270, 300); }

std::string AppWithSettings(const Scratch& s, const std::string& folder)
{
    WriteBytes(folder + "\\Kestrova.ini", std::string("[SYSTEM]\r\n") + kSettings);
    return s.InstallApp(folder);
}

std::string HelperArgs(const char* title, bool minimised)
{
    return std::string("--title \"") + title + "\" --pos 300,150 --size 320x240" + (minimised ? " --minimized" : "");
}

// What the helper looks like while it shows normally: the styles it must have again, minimised.
struct Original {
    DWORD style;
    DWORD exStyle;
};

}  // namespace

KV_E2E_TEST(parked_off_screen_and_put_back_on_every_road)
{
    enum Road { kSuspend, kExit, kBroughtBack };
    struct Case {
        const char* name;
        bool minimisedAtStart;  // else it minimises itself while its thumbnail shows
        Road road;
    } cases[] = {
        {"minimises itself, then the tracker reports it gone", false, kSuspend},
        {"minimises itself, then the program exits", false, kExit},
        {"minimised before its thumbnail came, then the program exits", true, kExit},
        {"minimises itself, then is brought back on screen by other means", false, kBroughtBack},
    };
    Scratch s;
    CursorAway();
    int n = 0;
    for (const Case& c : cases) {
        const std::string title = "parking " + std::to_string(n);
        Process helper = Start(BuiltFile("kv_helper.exe"), HelperArgs(title.c_str(), c.minimisedAtStart));
        HWND h = nullptr;
        Require(WaitFor([&] {
            h = FindTopWindow(helper.Pid(), nullptr, title.c_str());
            return h && IsWindowVisible(h) && IsIconic(h) == c.minimisedAtStart;
        }, 5000), "%s: the helper did not open", c.name);
        // Its styles while shown normally; under Wine another process cannot read its normal position.
        const Original original = {Style(h) | WS_MINIMIZE, ExStyle(h)};

        App kestrova = StartApp(AppWithSettings(s, s.Folder("app" + std::to_string(n++))), "", s.Root());
        const DWORD pid = kestrova.proc.Pid();
        HWND thumb = nullptr;
        Require(WaitFor([&] { return (thumb = OnlyThumbnail(pid)) != nullptr; }, 8000), "%s: no thumbnail", c.name);
        if (!c.minimisedAtStart) {
            Require(SameRect(WindowRectOf(h), kNormal), "%s: the helper at %s", c.name, RectText(WindowRectOf(h)).c_str());
            PostMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        }

        const RECT parked = Moved(kNormal, 10000, 10000);
        Expect(WaitFor([&] { return SameRect(WindowRectOf(h), parked) && !IsWindowEnabled(h) && LayeredAlpha(h) == -1 &&
                                    !IsIconic(h); }, 5000),
               "%s: not parked at %s, disabled and opaque: %s", c.name, RectText(parked).c_str(), StateText(h).c_str());
        Expect(SameRect(WindowRectOf(thumb), kSlot0), "%s: thumbnail at %s", c.name, RectText(WindowRectOf(thumb)).c_str());

        switch (c.road) {
        case kSuspend:
            PostMessageA(kestrova.main, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
            Expect(WaitFor([&] { return OnlyThumbnail(pid) == nullptr; }, 5000), "%s: the thumbnail stays", c.name);
            break;
        case kExit:
            Expect(ExitByTray(kestrova), "%s: still running after the tray's exit", c.name);
            break;
        case kBroughtBack:
            SetWindowPos(h, nullptr, 200, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            break;
        }

        if (c.road == kBroughtBack) {
            const RECT there = {200, 100, 520, 340};
            const Original shown = {original.style & ~WS_MINIMIZE, original.exStyle};
            Expect(WaitFor([&] { return Style(h) == shown.style && ExStyle(h) == shown.exStyle; }, 3000),
                   "%s: its styles not back (%s, expected %s %s)", c.name, StateText(h).c_str(),
                   Hex(shown.style).c_str(), Hex(shown.exStyle).c_str());
            Expect(HoldsFor([&] { return SameRect(WindowRectOf(h), there) && IsWindowEnabled(h); }, 1000),
                   "%s: moved or disabled again: %s", c.name, StateText(h).c_str());
            Expect(ExitByTray(kestrova), "%s: still running after the tray's exit", c.name);
            Expect(!IsIconic(h) && SameRect(WindowRectOf(h), there) && Style(h) == shown.style,
                   "%s: touched at the exit: %s", c.name, StateText(h).c_str());
        } else {
            Expect(WaitFor([&] { return IsIconic(h) && Style(h) == original.style && ExStyle(h) == original.exStyle; },
                           5000),
                   "%s: not minimised with its own styles: %s, expected style %s ex %s", c.name, StateText(h).c_str(),
                   Hex(original.style).c_str(), Hex(original.exStyle).c_str());
            // Under Wine only its own restore shows the normal position it keeps.
            PostMessageA(h, WM_SYSCOMMAND, SC_RESTORE, 0);
            Expect(WaitFor([&] { return !IsIconic(h) && SameRect(WindowRectOf(h), kNormal); }, 3000),
                   "%s: restored to %s, expected %s", c.name, RectText(WindowRectOf(h)).c_str(),
                   RectText(kNormal).c_str());
            Expect(IsWindowEnabled(h) && LayeredAlpha(h) == -1, "%s: restored disabled or layered: %s", c.name,
                   StateText(h).c_str());
            if (kestrova.proc.Running()) Expect(ExitByTray(kestrova), "%s: still running after the exit", c.name);
        }
        PostMessageA(h, WM_CLOSE, 0, 0);
        helper.WaitExit(3000);
    }
}

KV_E2E_TEST(parked_in_place_with_layered_switch)
{
    Scratch s;
    CursorAway();
    Process helper = Start(BuiltFile("kv_helper.exe"), HelperArgs("parking in place", false));
    HWND h = nullptr;
    Require(WaitFor([&] { return (h = FindTopWindow(helper.Pid(), nullptr, "parking in place")) && IsWindowVisible(h); },
                    5000),
            "the helper did not open");
    const Original original = {Style(h) | WS_MINIMIZE, ExStyle(h)};
    App kestrova = StartApp(AppWithSettings(s, s.Folder("app")), "-LAYERED", s.Root());
    Require(WaitFor([&] { return OnlyThumbnail(kestrova.proc.Pid()) != nullptr; }, 8000), "no thumbnail");
    PostMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);

    Expect(WaitFor([&] { return SameRect(WindowRectOf(h), kNormal) && !IsIconic(h) && !IsWindowEnabled(h) &&
                                LayeredAlpha(h) == 0; }, 5000),
           "not parked in place, disabled, with alpha 0: %s", StateText(h).c_str());
    Expect(ExitByTray(kestrova), "still running after the tray's exit");
    Expect(WaitFor([&] { return IsIconic(h) && Style(h) == original.style && ExStyle(h) == original.exStyle; }, 5000),
           "not minimised with its own styles: %s, expected style %s ex %s", StateText(h).c_str(),
           Hex(original.style).c_str(), Hex(original.exStyle).c_str());
    PostMessageA(h, WM_SYSCOMMAND, SC_RESTORE, 0);
    Expect(WaitFor([&] { return !IsIconic(h) && SameRect(WindowRectOf(h), kNormal); }, 3000), "restored to %s",
           RectText(WindowRectOf(h)).c_str());
    Expect(IsWindowEnabled(h) && LayeredAlpha(h) == -1, "restored disabled or layered: %s", StateText(h).c_str());
}

KV_E2E_TEST(parked_chrome_window_is_restored_at_its_position)
{
    Scratch s;
    CursorAway();
    const std::string chrome = s.InstallHelper(s.Folder("browser"), "chrome.exe");
    Process helper = Start(chrome, HelperArgs("parking chrome", false));
    HWND h = nullptr;
    Require(WaitFor([&] { return (h = FindTopWindow(helper.Pid(), nullptr, "parking chrome")) && IsWindowVisible(h); },
                    5000),
            "the helper did not open");
    const DWORD style = Style(h), exStyle = ExStyle(h);
    App kestrova = StartApp(AppWithSettings(s, s.Folder("app")), "", s.Root());
    Require(WaitFor([&] { return OnlyThumbnail(kestrova.proc.Pid()) != nullptr; }, 8000), "no thumbnail");
    PostMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    Require(WaitFor([&] { return SameRect(WindowRectOf(h), Moved(kNormal, 10000, 10000)); }, 5000), "not parked: %s",
            StateText(h).c_str());
    Expect(ExitByTray(kestrova), "still running after the tray's exit");
    Expect(WaitFor([&] { return !IsIconic(h) && SameRect(WindowRectOf(h), kNormal) && Style(h) == style &&
                                ExStyle(h) == exStyle; }, 5000),
           "not restored at %s with its own styles: %s, expected style %s ex %s", RectText(kNormal).c_str(),
           StateText(h).c_str(), Hex(style).c_str(), Hex(exStyle).c_str());
}

KV_E2E_TEST(thumbnail_rests_beneath_windows_and_rises_under_the_mouse)
{
    Scratch s;
    CursorAway();
    // The source, and an ordinary window over the first slot.
    Process helper = Start(BuiltFile("kv_helper.exe"),
                           "--title \"hover source\" --pos 300,150 --size 320x240 --window --title \"hover cover\" "
                           "--pos 50,760 --size 320x240");
    HWND cover = nullptr;
    Require(WaitFor([&] { return (cover = FindTopWindow(helper.Pid(), nullptr, "hover cover")) != nullptr; }, 5000),
            "the helper did not open");
    App kestrova = StartApp(AppWithSettings(s, s.Folder("app")), "", s.Root());
    const DWORD pid = kestrova.proc.Pid();
    HWND thumb = nullptr;
    // The cover is tracked too; whichever window slot 0 shows, the cover lies over it.
    Require(WaitFor([&] {
        for (HWND t : TopWindows(pid)) {
            if (IsThumbnail(t) && SameRect(WindowRectOf(t), kSlot0)) thumb = t;
        }
        return thumb != nullptr;
    }, 8000), "no thumbnail in slot 0");
    auto beneath = [&] { return ZIndex(thumb) > ZIndex(cover) && !Topmost(thumb); };
    // Wine raises a window it activates, unasked: the next poll tick puts the thumbnail back.
    Expect(WaitFor(beneath, 2000) && NeverLongerThan([&] { return !beneath(); }, 400, 1500),
           "at rest the thumbnail is not beneath the window over it (z %d, cover %d, topmost %d)", ZIndex(thumb),
           ZIndex(cover), Topmost(thumb));
    Expect(LayeredAlpha(thumb) == kRestAlpha && !Framed(thumb), "at rest: %s", StateText(thumb).c_str());

    // The cover moves off the slot, so the cursor meets the thumbnail.
    SetWindowPos(cover, nullptr, 700, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    MoveCursor(170, 900);
    MoveCursor(180, 910);
    Expect(WaitFor([&] { return Topmost(thumb) && LayeredAlpha(thumb) == 255 && Framed(thumb); }, 3000),
           "under the mouse: %s", StateText(thumb).c_str());
    Expect(ZIndex(thumb) < ZIndex(cover), "hovered, the thumbnail is not above the other window");

    CursorAway();
    Expect(WaitFor([&] { return !Topmost(thumb) && LayeredAlpha(thumb) == kRestAlpha && !Framed(thumb); }, 3000),
           "after the mouse left: %s", StateText(thumb).c_str());
    Expect(ZIndex(thumb) > ZIndex(cover), "after the hover, the thumbnail is not beneath the other window");
    Expect(ExitByTray(kestrova), "still running after the tray's exit");
}
