// Where a parked window goes back to and which marks are trusted: the decisions over plain values,
// the mark's check on a real window, and the workspace conversion against a work area of the test's own.
#include "strip/ParkedPlacement.h"

#include "desktop/Globals.h"
#include "desktop/MultiDisplay.h"
#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"

#include <gtest/gtest.h>

#include "tests/unit/support/describe.h"
#include "tests/unit/support/strip.h"

#include <cstring>
#include <string>

namespace {

// One screen with its taskbar along the top, 40 high; a second one to the left with its taskbar at its left.
const MonitorArea kTopBar = {{0, 0, 1280, 1024}, {0, 40, 1280, 1024}};
const MonitorArea kLeftScreen = {{-1600, 0, 0, 1200}, {-1540, 0, 0, 1200}};
const std::vector<MonitorArea> kOne = {kTopBar};
const std::vector<MonitorArea> kTwo = {kTopBar, kLeftScreen};

const DWORD kShown = WS_OVERLAPPEDWINDOW | WS_VISIBLE;

ParkedState State(int method, DWORD style, DWORD exStyle, RECT normal, BYTE alpha = 255, DWORD flags = LWA_ALPHA)
{
    ParkedState s;
    std::memset(&s, 0, sizeof(s));
    s.method = method;
    s.style = style;
    s.exStyle = exStyle;
    s.alpha = alpha;
    s.layeredFlags = flags;
    s.placement.length = sizeof(s.placement);
    s.placement.rcNormalPosition = normal;
    return s;
}

WindowNow Now(DWORD style, DWORD exStyle, RECT rect, BYTE alpha = 0, DWORD flags = 0)
{
    WindowNow n;
    std::memset(&n, 0, sizeof(n));
    n.style = style;
    n.exStyle = exStyle;
    n.rect = rect;
    n.layeredReadable = flags != 0;
    n.alpha = alpha;
    n.layeredFlags = flags;
    return n;
}

}  // namespace

TEST(ParkedPlacement, WorkspaceOffsetIsThatOfTheNearestMonitor)
{
    struct Case {
        const char* name;
        std::vector<MonitorArea> monitors;
        RECT r;
        POINT offset;
    } cases[] = {
        {"taskbar at the top", kOne, {100, 50, 500, 350}, {0, 40}},
        {"mostly on the left screen, taskbar at its left", kTwo, {-900, 100, 100, 400}, {60, 0}},
        {"off every screen, nearest the left one", kTwo, {-5000, 100, -4000, 400}, {60, 0}},
        {"parked off screen: the primary is nearest", kTwo, {10100, 10050, 10500, 10350}, {0, 40}},
        {"no monitors", {}, {100, 50, 500, 350}, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.offset), Text(WorkOffsetNear(c.monitors, c.r))) << c.name;
}

TEST(ParkedPlacement, PositionIsKeptOnlyWhereAMonitorShowsIt)
{
    struct Case {
        const char* name;
        std::vector<MonitorArea> monitors;
        RECT r;
        RECT placed;
    } cases[] = {
        {"inside the work area", kOne, {100, 50, 500, 350}, {100, 50, 500, 350}},
        {"caption under the top taskbar", kOne, {100, 10, 500, 310}, {440, 382, 840, 682}},
        {"partly off the right edge, enough to hold", kOne, {1200, 100, 1600, 400}, {1200, 100, 1600, 400}},
        {"only a sliver at the right", kOne, {1270, 100, 1670, 400}, {440, 382, 840, 682}},
        {"caption at the very bottom", kOne, {100, 1000, 500, 1300}, {440, 382, 840, 682}},
        {"a stored 30000", kOne, {30000, 30000, 30400, 30300}, {440, 382, 840, 682}},
        {"parked depth", kOne, {10100, 10050, 10500, 10350}, {440, 382, 840, 682}},
        {"larger than the screen: cut to its work area", kOne, {5000, 5000, 7000, 7000}, {0, 40, 1280, 1024}},
        {"on the left screen", kTwo, {-900, 100, -500, 400}, {-900, 100, -500, 400}},
        {"far left: centred on the left screen", kTwo, {-5000, 100, -4600, 400}, {-970, 450, -570, 750}},
        {"no monitors: as it is", {}, {30000, 30000, 30400, 30300}, {30000, 30000, 30400, 30300}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.placed), Text(PlaceOnMonitor(c.monitors, c.r))) << c.name;
}

TEST(ParkedPlacement, MarkIsAppliedOnlyAsFarAsItIsSafe)
{
    const RECT normal = {100, 50, 500, 350};  // workspace: (100, 90) on the screen
    const RECT offScreen = {10100, 10090, 10500, 10390};
    const DWORD parkedLook = kShown | WS_DISABLED;
    struct Case {
        const char* name;
        ParkedState mark;
        bool sound;
        WindowNow now;
        DWORD style;
        DWORD exStyle;
        int alpha;
        RECT normal;  // workspace coordinates
    } cases[] = {
        {"sound mark: as it says", State(kParkedOffScreen, kShown, 0, normal), true, Now(parkedLook, 0, offScreen),
         kShown, 0, 255, normal},
        {"sound, its own disabled style stays", State(kParkedInPlace, kShown | WS_DISABLED, 0, normal), true,
         Now(parkedLook, WS_EX_LAYERED, {100, 90, 500, 390}, 0, LWA_ALPHA), kShown | WS_DISABLED, 0, 255, normal},
        {"sound, style without WS_VISIBLE", State(kParkedOffScreen, WS_OVERLAPPEDWINDOW, 0, normal), true,
         Now(parkedLook, 0, offScreen), kShown, 0, 255, normal},
        {"sound, own alpha 200 kept", State(kParkedInPlace, kShown, WS_EX_LAYERED, normal, 200), true,
         Now(parkedLook, WS_EX_LAYERED, {100, 90, 500, 390}, 0, LWA_ALPHA), kShown, WS_EX_LAYERED, 200, normal},
        {"sound, own alpha 0: opaque", State(kParkedInPlace, kShown, WS_EX_LAYERED, normal, 0), true,
         Now(parkedLook, WS_EX_LAYERED, {100, 90, 500, 390}, 0, LWA_ALPHA), kShown, WS_EX_LAYERED, 255, normal},
        {"sound, layered without attributes: opaque", State(kParkedInPlace, kShown, WS_EX_LAYERED, normal, 0, 0), true,
         Now(parkedLook, WS_EX_LAYERED, {100, 90, 500, 390}, 0, LWA_ALPHA), kShown, WS_EX_LAYERED, 255, normal},
        {"sound, stored at 30000: centred",
         State(kParkedOffScreen, kShown, 0, {30000, 30000, 30400, 30300}),
         true,
         Now(parkedLook, 0, offScreen),
         kShown,
         0,
         255,
         {440, 342, 840, 642}},
        {"forged marker alone: its own look, enabled, shown, opaque, centred",
         State(kParkedOffScreen, 0, 0, {0, 0, 0, 0}, 0, 0),
         false,
         Now(parkedLook, WS_EX_LAYERED, offScreen, 0, LWA_ALPHA),
         kShown,
         0,
         255,
         {440, 342, 840, 642}},
        {"partial mark on a hidden window in place: where it is", State(kParkedInPlace, 0, 0, {0, 0, 0, 0}), false,
         Now(WS_OVERLAPPEDWINDOW | WS_DISABLED, WS_EX_LAYERED | WS_EX_WINDOWEDGE, {100, 90, 500, 390}, 0, LWA_ALPHA),
         kShown, WS_EX_WINDOWEDGE, 255, normal},
        {"tool window: screen coordinates",
         State(kParkedOffScreen, kShown, WS_EX_TOOLWINDOW, {100, 10, 500, 310}),
         true,
         Now(parkedLook, WS_EX_TOOLWINDOW, offScreen),
         kShown,
         WS_EX_TOOLWINDOW,
         255,
         {440, 382, 840, 682}},
    };
    for (const Case& c : cases) {
        const ParkedState s = SafeStateToPutBack(c.mark, c.sound, c.now, kOne);
        EXPECT_EQ(Hex(c.style), Hex(s.style)) << c.name;
        EXPECT_EQ(Hex(c.exStyle), Hex(s.exStyle)) << c.name;
        if (s.exStyle & WS_EX_LAYERED) {
            EXPECT_EQ(c.alpha, s.alpha) << c.name;
            EXPECT_TRUE(s.layeredFlags & LWA_ALPHA) << c.name;
        }
        EXPECT_EQ(Text(c.normal), Text(s.placement.rcNormalPosition)) << c.name;
        if (!c.sound) {
            EXPECT_EQ(kParkedOffScreen, s.method) << c.name << ": moved where it shows, then minimised";
        }
    }
}

TEST(ParkedPlacement, WindowsOwnLaterLayeringIsKept)
{
    const RECT at = {100, 90, 500, 390};
    struct Case {
        const char* name;
        ParkedState saved;
        WindowNow now;
        DWORD exStyle;
        int alpha;
        DWORD flags;
    } cases[] = {
        {"off screen, not layered: nothing to merge", State(kParkedOffScreen, kShown, 0, at), Now(kShown, 0, at), 0,
         255, LWA_ALPHA},
        {"off screen, layered itself at 180", State(kParkedOffScreen, kShown, 0, at),
         Now(kShown, WS_EX_LAYERED, at, 180, LWA_ALPHA), WS_EX_LAYERED, 180, LWA_ALPHA},
        {"off screen, own 200 changed to 120", State(kParkedOffScreen, kShown, WS_EX_LAYERED, at, 200),
         Now(kShown, WS_EX_LAYERED, at, 120, LWA_ALPHA), WS_EX_LAYERED, 120, LWA_ALPHA},
        {"in place, the parking's alpha 0: its own before", State(kParkedInPlace, kShown, 0, at),
         Now(kShown, WS_EX_LAYERED, at, 0, LWA_ALPHA), 0, 255, LWA_ALPHA},
        {"in place, made opaque by a put-back cut short", State(kParkedInPlace, kShown, 0, at),
         Now(kShown, WS_EX_LAYERED, at, 255, LWA_ALPHA), 0, 255, LWA_ALPHA},
        {"off screen, hidden by a put-back cut short", State(kParkedOffScreen, kShown, 0, at),
         Now(kShown, WS_EX_LAYERED, at, 0, LWA_ALPHA), 0, 255, LWA_ALPHA},
        {"in place, own 200 under the parking's 0", State(kParkedInPlace, kShown, WS_EX_LAYERED, at, 200),
         Now(kShown, WS_EX_LAYERED, at, 0, LWA_ALPHA), WS_EX_LAYERED, 200, LWA_ALPHA},
        {"in place, set its own 150 meanwhile", State(kParkedInPlace, kShown, 0, at),
         Now(kShown, WS_EX_LAYERED, at, 150, LWA_ALPHA), WS_EX_LAYERED, 150, LWA_ALPHA},
        {"off screen, unreadable own layering: opaque attributes", State(kParkedOffScreen, kShown, 0, at),
         Now(kShown, WS_EX_LAYERED, at), WS_EX_LAYERED, 255, LWA_ALPHA},
    };
    for (const Case& c : cases) {
        const ParkedState s = MergeOwnLayering(c.saved, c.now);
        EXPECT_EQ(Hex(c.exStyle), Hex(s.exStyle)) << c.name;
        EXPECT_EQ(c.alpha, s.alpha) << c.name;
        EXPECT_EQ(Hex(c.flags), Hex(s.layeredFlags)) << c.name;
    }
}

TEST(ParkedPlacement, OnlyAWholeMarkOfOursIsRead)
{
    HWND window = CreateWindowExA(0, "STATIC", "marked", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window != nullptr);
    enum Damage { kNone, kMarkerAlone, kFieldLost, kFieldChanged, kCheckLost };
    struct Case {
        const char* name;
        Damage damage;
        bool read;
    } cases[] = {
        {"whole", kNone, true},
        {"marker alone", kMarkerAlone, false},
        {"a value lost", kFieldLost, false},
        {"a value changed", kFieldChanged, false},
        {"the check lost", kCheckLost, false},
    };
    for (const Case& c : cases) {
        if (c.damage == kMarkerAlone) {
            SetPropA(window, "Kestrova.Parked", reinterpret_cast<HANDLE>(1));
        } else {
            MarkParked(window, State(kParkedOffScreen, kShown, 0, {100, 50, 500, 350}));
            if (c.damage == kFieldLost)
                RemovePropA(window, "Kestrova.Parked.Left");
            if (c.damage == kFieldChanged)
                SetPropA(window, "Kestrova.Parked.Top", reinterpret_cast<HANDLE>(30000));
            if (c.damage == kCheckLost)
                RemovePropA(window, "Kestrova.Parked.Check");
        }
        ParkedState out;
        EXPECT_TRUE(IsMarkedParked(window)) << c.name;
        EXPECT_EQ(c.read, ReadParkedMark(window, &out)) << c.name;
        RemoveParkedMark(window);
    }
    DestroyWindow(window);
}

namespace {

std::vector<MonitorArea> TopTaskbar()
{
    return kOne;
}

class FakeMonitors {
public:
    FakeMonitors() : m_before(SetMonitorQuery(&TopTaskbar)) {}
    ~FakeMonitors() { SetMonitorQuery(m_before); }

private:
    MonitorQuery m_before;
};

RECT WindowRect(HWND h)
{
    RECT r = {};
    GetWindowRect(h, &r);
    return r;
}

}  // namespace

// Wine's taskbar is at the bottom, so only a work area of the test's own shows the conversion: the
// source's workspace position is 40 pixels above where it shows on the screen.
TEST(ParkedPlacement, OffScreenParkingConvertsWorkspaceCoordinates)
{
    FakeMonitors monitors;
    CMultiDisplay::GetInstance()->m_nMonitorCount = 1;
    LayeredMode = 0;
    CControlDlg page;
    HWND src = CreateWindowExA(0, "STATIC", "parked", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120, 400, 300, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(src != nullptr);
    ShowWindow(src, SW_SHOWMINNOACTIVE);
    // Within this process the placement is right: (150, 120) in workspace coordinates.
    Cthumbnail* thumb = new Cthumbnail(SourceEntry(src, "parked"), {100, 200, 260, 320}, 153, nullptr);
    ASSERT_EQ(THUMB_PARKED, thumb->m_nState);
    EXPECT_EQ(Text(RECT{10150, 10160, 10550, 10460}), Text(WindowRect(src))) << "parked by the screen position";
    // Brought back by its thumbnail: where its normal position shows on the screen.
    thumb->ReturnParkedSource();
    EXPECT_EQ(THUMB_NORMAL, thumb->m_nState);
    EXPECT_EQ(Text(RECT{150, 160, 550, 460}), Text(WindowRect(src))) << "back at the screen position";
    CloseThumbnail(thumb, THUMB_CLOSE);
    DestroyWindow(src);
}

TEST(ParkedPlacement, RecoveryChecksAMarkBeforeItUsesIt)
{
    enum Mark { kMarkerAlone, kStoredFarOff, kNoVisibleStyle };
    struct Case {
        const char* name;
        Mark mark;
    } cases[] = {
        {"a marker alone on a parked-looking window", kMarkerAlone},
        {"a whole mark with a position of 30000", kStoredFarOff},
        {"a whole mark whose style lacks WS_VISIBLE", kNoVisibleStyle},
    };
    for (const Case& c : cases) {
        HWND w = CreateWindowExA(0, "STATIC", "recovered", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120, 400, 300,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(w != nullptr) << c.name;
        const DWORD own = static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE));
        // As a killed run would have left it: disabled, transparent and far off.
        EnableWindow(w, FALSE);
        SetWindowLongA(w, GWL_EXSTYLE, GetWindowLongA(w, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(w, 0, 0, LWA_ALPHA);
        SetWindowPos(w, nullptr, 30000, 30000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (c.mark == kMarkerAlone) {
            SetPropA(w, "Kestrova.Parked", reinterpret_cast<HANDLE>(1));
        } else {
            const RECT farOff = {30000, 30000, 30400, 30300};
            const RECT onScreen = {150, 120, 550, 420};
            MarkParked(w, State(kParkedInPlace, c.mark == kNoVisibleStyle ? own & ~WS_VISIBLE : own, 0,
                                c.mark == kStoredFarOff ? farOff : onScreen));
        }
        EXPECT_EQ(1, RecoverParkedWindows()) << c.name;
        EXPECT_FALSE(IsMarkedParked(w)) << c.name;
        EXPECT_TRUE(IsWindowVisible(w)) << c.name << ": hidden";
        EXPECT_TRUE(IsWindowEnabled(w)) << c.name << ": disabled";
        EXPECT_EQ(Hex(own & WS_CAPTION), Hex(static_cast<DWORD>(GetWindowLongA(w, GWL_STYLE)) & WS_CAPTION))
            << c.name << ": lost its caption";
        const DWORD ex = static_cast<DWORD>(GetWindowLongA(w, GWL_EXSTYLE));
        BYTE alpha = 255;
        if (ex & WS_EX_LAYERED)
            GetLayeredWindowAttributes(w, nullptr, &alpha, nullptr);
        EXPECT_EQ(255, alpha) << c.name << ": transparent";
        ShowWindow(w, SW_SHOWNOACTIVATE);
        const RECT r = WindowRect(w);
        EXPECT_EQ(Text(PlaceOnMonitor(CurrentMonitors(), r)), Text(r)) << c.name << ": where no monitor shows it";
        DestroyWindow(w);
    }
}

TEST(ParkedPlacement, WindowLayeredByItselfWhileParkedKeepsItsAlpha)
{
    struct Case {
        const char* name;
        int layered;  // "-LAYERED": in place
        BYTE alpha;   // what the window sets itself while parked
    } cases[] = {
        {"off screen", 0, 180},
        {"in place", 1, 150},
    };
    for (const Case& c : cases) {
        CMultiDisplay::GetInstance()->m_nMonitorCount = 1;
        LayeredMode = c.layered;
        CControlDlg page;
        HWND src = CreateWindowExA(0, "STATIC", "parked", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 150, 120, 400, 300, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(src != nullptr) << c.name;
        ShowWindow(src, SW_SHOWMINNOACTIVE);
        Cthumbnail* thumb = new Cthumbnail(SourceEntry(src, "parked"), {100, 200, 260, 320}, 153, nullptr);
        ASSERT_EQ(THUMB_PARKED, thumb->m_nState) << c.name;
        SetWindowLongA(src, GWL_EXSTYLE, GetWindowLongA(src, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(src, 0, c.alpha, LWA_ALPHA);
        CloseThumbnail(thumb, THUMB_CLOSE);
        LayeredMode = 0;
        EXPECT_TRUE(IsIconic(src)) << c.name;
        EXPECT_TRUE(GetWindowLongA(src, GWL_EXSTYLE) & WS_EX_LAYERED) << c.name << ": its own layering dropped";
        BYTE alpha = 0;
        DWORD flags = 0;
        EXPECT_TRUE(GetLayeredWindowAttributes(src, nullptr, &alpha, &flags)) << c.name;
        EXPECT_EQ(c.alpha, alpha) << c.name;
        DestroyWindow(src);
    }
}
