// A thumbnail's own commands as a user meets them: the context menu, the double click on a
// background, parked or hung source, web reload into the browsers' windows, the clipboard copy, and
// a thumbnail closed while its menu or dialog is open.
#include <string>
#include <vector>

#include "e2e.h"
#include "kv_pattern.h"
#include "thumb_tools.h"

using namespace kv;

namespace {

// Slots of 160x120 along the top from x 100; the menu has room below them.
const char kIni[] =
    "[SYSTEM]\r\nLOCATION=0\r\nSIZE=1\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
    "BOTTOMMARGIN=50\r\nLIMIT=8\r\nINTERVAL=5\r\nTRANSPARENT=100\r\n";

RECT Slot(int i)
{
    return {100 + 160 * i, 10, 260 + 160 * i, 130};
}

const UINT kArrange = 32774, kMoveToEnd = 32791, kCopy = 32786, kExclude = 32780, kReloadOn = 32783, kReloadOff = 32784,
           kReloadInterval = 32785;

struct Running {
    Scratch scratch;
    std::string folder;
    std::vector<Process> sources;
    App app;
    HWND list = nullptr;
    DWORD Pid() const { return app.proc.Pid(); }
};

struct SourceSpec {
    std::string exe;  // empty: kv_helper.exe itself
    std::string args;
};

// Kestrova on the top layout, then each source in its own process, waited for until its thumbnail
// is in, so that source i lies in slot i.
void StartWith(Running& r, const std::vector<SourceSpec>& sources)
{
    r.folder = r.scratch.Folder("app");
    WriteBytes(r.folder + "\\Kestrova.ini", kIni);
    SetCursorPos(1270, 600);
    r.app = StartApp(r.scratch.InstallApp(r.folder), "", r.scratch.Root());
    r.list = FindDescendant(r.app.main, kThumbList);
    Require(r.list != nullptr, "no thumbnail list");
    for (const SourceSpec& s : sources) {
        // A folder each: names that differ only in case are one file to Windows.
        const std::string exe =
            s.exe.empty()
                ? BuiltFile("kv_helper.exe")
                : r.scratch.InstallHelper(r.scratch.Folder("helper" + std::to_string(r.sources.size())), s.exe);
        r.sources.push_back(Start(exe, s.args));
        const size_t expected = r.sources.size();
        Require(WaitFor(
                    [&] {
                        return ThumbnailIn(r.Pid(), Slot(int(expected) - 1)) != nullptr &&
                               RowCount(r.list) == int(expected);
                    },
                    15000),
                "no thumbnail in slot %u for [%s %s]", unsigned(expected - 1), s.exe.c_str(), s.args.c_str());
    }
}

std::string Window(const char* title, int x, const char* extra = "")
{
    return std::string("--title \"") + title + "\" --pos " + std::to_string(x) + ",300 --size 320x240 " + extra;
}

HWND Thumb(const Running& r, int slot)
{
    return ThumbnailIn(r.Pid(), Slot(slot));
}

HWND VisibleMenu(DWORD pid)
{
    for (HWND hwnd : TopWindows(pid)) {
        if (ClassOf(hwnd) == "#32768" && IsWindowVisible(hwnd))
            return hwnd;
    }
    return nullptr;
}

void CloseMenu(DWORD pid)
{
    if (HWND menu = VisibleMenu(pid)) {
        SendKey(VK_ESCAPE);
        if (!WaitFor([&] { return !VisibleMenu(pid); }, 2000))
            PostMessageA(GetWindow(menu, GW_OWNER), WM_CANCELMODE, 0, 0);
        WaitFor([&] { return !VisibleMenu(pid); }, 3000);
    }
}

UINT_PTR Prop(HWND hwnd, const char* name)
{
    return reinterpret_cast<UINT_PTR>(GetPropA(hwnd, name));
}

bool Opaque(HWND hwnd)
{
    return !(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED) || AlphaOf(hwnd) == 255;
}

}  // namespace

KV_E2E_TEST(thumbnail_menu_opens_at_the_cursor_and_ignores_a_gone_source)
{
    Running r;
    StartWith(r, {{"", Window("cmd A", 300)}, {"", Window("cmd B", 340)}});
    HWND a = FindWindowA(nullptr, "cmd A");
    HWND thumb = Thumb(r, 0);
    const POINT at = {150, 60};
    SetCursorPos(at.x, at.y);
    WaitFor(
        [&] {
            POINT p;
            GetCursorPos(&p);
            return p.x == at.x && p.y == at.y;
        },
        2000);
    PostMessageA(thumb, WM_RBUTTONUP, 0, MAKELPARAM(50, 50));
    HWND menu = nullptr;
    Expect(WaitFor([&] { return (menu = VisibleMenu(r.Pid())) != nullptr; }, 5000), "no menu after WM_RBUTTONUP");
    if (menu) {
        const RECT m = WindowRectOf(menu);
        Expect(m.left == at.x && m.top == at.y, "menu at %s, cursor at (%ld, %ld)", RectText(m).c_str(), at.x, at.y);
    }
    CloseMenu(r.Pid());
    SetCursorPos(1270, 600);

    // The move commands trade A's and B's slots; a move past the end does nothing.
    HWND b = FindWindowA(nullptr, "cmd B");
    // With both slots used, a row is its slot.
    auto slotOf = [&](HWND source) { return RowOf(r.list, source == a ? "cmd A" : "cmd B"); };
    struct Move {
        UINT command;
        int aSlot;
    } moves[] = {{kMoveToEnd, 1}, {kMoveToEnd, 1}, {32790, 0}, {32779, 1}, {32778, 0}, {32778, 0}};
    for (const Move& m : moves) {
        PostMessageA(thumb, WM_COMMAND, m.command, 0);
        Expect(WaitFor([&] { return slotOf(a) == m.aSlot && ThumbnailIn(r.Pid(), Slot(m.aSlot)) == thumb; }, 3000),
               "command %u: A in row %d, expected %d", m.command, slotOf(a), m.aSlot);
    }
    Expect(slotOf(b) == 1, "B in row %d", slotOf(b));

    // A command that arrives after its source has gone does nothing: B keeps slot 1.
    PostMessageA(a, WM_CLOSE, 0, 0);
    Require(WaitFor([&] { return !IsWindow(a); }, 5000), "A did not close");
    if (IsWindow(thumb))
        PostMessageA(thumb, WM_COMMAND, kMoveToEnd, 0);
    Expect(HoldsFor([&] { return Thumb(r, 1) != nullptr; }, 1500), "B left slot 1 after a command for a gone source");
    Expect(Answers(r.app.main), "Kestrova does not answer");
    // Arrange still works for any thumbnail.
    PostMessageA(Thumb(r, 1), WM_COMMAND, kArrange, 0);
    Expect(WaitFor([&] { return Thumb(r, 0) != nullptr && Thumb(r, 1) == nullptr; }, 5000),
           "arrange did not compact the strip");
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(thumbnail_double_click_activates_restores_or_reports_busy)
{
    Running r;
    StartWith(
        r,
        {{"", Window("cmd back", 300)}, {"", Window("cmd parked", 340, "--minimized")}, {"", Window("cmd hung", 380)}});
    HWND back = FindWindowA(nullptr, "cmd back"), parked = FindWindowA(nullptr, "cmd parked"),
         hung = FindWindowA(nullptr, "cmd hung");
    Require(WaitFor([&] { return !IsIconic(parked) && !IsWindowEnabled(parked); }, 8000),
            "the minimised window was not parked");

    // A background source comes to the front.
    Require(Foreground(hung), "cannot bring another window forward");
    PostMessageA(Thumb(r, 0), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
    Expect(WaitFor([&] { return GetForegroundWindow() == back; }, 5000), "the background source did not come forward");

    // A parked source comes back at its own place, enabled and opaque, in front, and stays so.
    const RECT normal = {340, 300, 660, 540};
    PostMessageA(Thumb(r, 1), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
    auto restored = [&] {
        return !IsIconic(parked) && IsWindowEnabled(parked) && Opaque(parked) && SameRect(WindowRectOf(parked), normal);
    };
    Expect(WaitFor(restored, 5000), "parked source: iconic %d enabled %d opaque %d at %s", IsIconic(parked),
           IsWindowEnabled(parked), Opaque(parked), RectText(WindowRectOf(parked)).c_str());
    Expect(WaitFor([&] { return GetForegroundWindow() == parked; }, 3000), "the restored source is not in front");
    Expect(HoldsFor(restored, 2000), "the restored source did not stay: iconic %d enabled %d at %s", IsIconic(parked),
           IsWindowEnabled(parked), RectText(WindowRectOf(parked)).c_str());

    // A hung source: the busy box, and the source as it was. It hangs on Kestrova's next question, the
    // refresh step's or the double click's: a hang posted to it could come after that question.
    const RECT hungRect = WindowRectOf(hung);
    Require(Foreground(back), "cannot bring another window forward");
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kHelperRelease);
    ResetEvent(release);
    SetPropA(hung, kHelperHangOnNullProp, reinterpret_cast<HANDLE>(1));
    PostMessageA(Thumb(r, 2), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
    HWND box = nullptr;
    Expect(WaitFor([&] { return (box = MessageBoxOfProcess(r.Pid())) != nullptr; }, 5000), "no busy box");
    if (box) {
        Expect(MessageBoxText(box) == "対象のウィンドが現在ビジー状態です。操作をSkipしました", "box [%s]",
               MessageBoxText(box).c_str());
        PressButton(box, IDOK);
    }
    Expect(SameRect(WindowRectOf(hung), hungRect) && GetForegroundWindow() != hung, "the hung source changed");
    Expect(Answers(r.app.main), "Kestrova does not answer");
    SetEvent(release);
    CloseHandle(release);
    Require(WaitFor([&] { return Answers(hung); }, 10000), "the hung source never woke");
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(web_reload_posts_f5_to_the_browsers_only)
{
    Running r;
    const std::string ff = "--children firefox ", chrome = "--children chrome ";
    StartWith(r, {{"firefox.exe", ff + Window("web ff", 300)},
                  {"chrome.exe", chrome + Window("web chrome", 340)},
                  {"iexplore.exe", Window("web ie", 380, "--minimized")},
                  {"Firefox.exe", ff + Window("web capital", 420)},
                  {"other.exe", ff + Window("web other", 460)}});
    HWND ff1 = FindWindowExA(FindWindowA(nullptr, "web ff"), nullptr, "MozillaWindowClass", nullptr);
    HWND page =
        FindWindowExA(FindWindowExA(FindWindowA(nullptr, "web chrome"), nullptr, "Chrome_ContainerWin_0", nullptr),
                      nullptr, "Chrome_RenderWidgetHostHWND", nullptr);
    HWND ie = FindWindowA(nullptr, "web ie");
    HWND wrongCase = FindWindowExA(FindWindowA(nullptr, "web capital"), nullptr, "MozillaWindowClass", nullptr);
    HWND other = FindWindowExA(FindWindowA(nullptr, "web other"), nullptr, "MozillaWindowClass", nullptr);
    Require(ff1 && page && ie && wrongCase && other, "a browser window or child is missing");
    Require(WaitFor([&] { return !IsIconic(ie) && !IsWindowEnabled(ie); }, 8000), "the IE window was not parked");
    const LONG ieStyle = GetWindowLongA(ie, GWL_STYLE);

    const DWORD on = GetTickCount();
    for (int slot = 0; slot < 5; ++slot)
        PostMessageA(Thumb(r, slot), WM_COMMAND, kReloadOn, 0);
    struct Target {
        const char* name;
        HWND hwnd;
    } targets[] = {{"firefox child", ff1}, {"chrome page", page}, {"parked IE", ie}};
    for (const Target& t : targets) {
        Expect(WaitFor([&] { return Prop(t.hwnd, kF5CountProp) >= 1; }, 5000), "%s: no F5", t.name);
        const DWORD after = static_cast<DWORD>(Prop(t.hwnd, kF5FirstProp)) - on;
        Expect(after >= 700 && after <= 3500, "%s: first F5 %lu ms after する", t.name, after);
    }
    Expect(Prop(ie, kF5EnabledProp) == 2, "the parked IE window was disabled when F5 came");
    // Disabled again, with the bit the window flipped itself at the key.
    const LONG ieWant = ieStyle ^ (Prop(ie, kF5CountProp) % 2 ? kF5StyleFlip : 0);
    Expect(WaitFor([&] { return GetWindowLongA(ie, GWL_STYLE) == ieWant; }, 2000), "IE style %08lx, expected %08lx",
           GetWindowLongA(ie, GWL_STYLE), ieWant);
    Expect(Prop(wrongCase, kF5CountProp) == 0 && Prop(other, kF5CountProp) == 0,
           "F5 went to Firefox.exe (%u) or other.exe (%u)", unsigned(Prop(wrongCase, kF5CountProp)),
           unsigned(Prop(other, kF5CountProp)));

    // "しない" straight after "する": the pending reload never comes.
    const UINT_PTR pageCount = Prop(page, kF5CountProp);
    PostMessageA(Thumb(r, 1), WM_COMMAND, kReloadOn, 0);
    PostMessageA(Thumb(r, 1), WM_COMMAND, kReloadOff, 0);
    Expect(HoldsFor([&] { return Prop(page, kF5CountProp) == pageCount; }, 2500), "F5 after しない");
    Expect(Prop(wrongCase, kF5CountProp) == 0 && Prop(other, kF5CountProp) == 0, "F5 went to Firefox.exe or other.exe");
    Expect(Answers(r.app.main), "Kestrova does not answer");
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(web_reload_interval_dialog)
{
    Running r;
    StartWith(r, {{"firefox.exe", "--children firefox " + Window("web ff", 300)}});
    HWND child = FindWindowExA(FindWindowA(nullptr, "web ff"), nullptr, "MozillaWindowClass", nullptr);
    Require(child != nullptr, "no firefox child");
    PostMessageA(Thumb(r, 0), WM_COMMAND, kReloadOn, 0);
    Require(WaitFor([&] { return Prop(child, kF5CountProp) == 1; }, 5000), "no first F5");

    auto dialog = [&](const char* typed, int button) {
        PostMessageA(Thumb(r, 0), WM_COMMAND, kReloadInterval, 0);
        HWND dlg = nullptr;
        Require(WaitFor([&] { return (dlg = DialogOf(r.Pid(), "更新間隔設定")) != nullptr; }, 5000),
                "no interval dialog");
        const std::string shown = EditText(GetDlgItem(dlg, 1054));
        SendMessageTimeoutA(GetDlgItem(dlg, 1054), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed), SMTO_ABORTIFHUNG,
                            3000, nullptr);
        PressButton(dlg, button);
        Require(WaitFor([&] { return !IsWindow(dlg); }, 5000), "the dialog stays");
        return shown;
    };
    // Cancel changes nothing: no reload a second later.
    const std::string first = dialog("10", IDCANCEL);
    Expect(first == "30", "the dialog showed [%s], not 30", first.c_str());
    Expect(HoldsFor([&] { return Prop(child, kF5CountProp) == 1; }, 2500), "F5 after Cancel");
    // OK with 10: a reload a second later, then one every 10 s.
    const DWORD ok = GetTickCount();
    dialog("10", IDOK);
    Expect(WaitFor([&] { return Prop(child, kF5CountProp) == 2; }, 4000), "no F5 after OK");
    const DWORD second = static_cast<DWORD>(Prop(child, kF5LastProp));
    Expect(second - ok >= 700 && second - ok <= 3500, "F5 %lu ms after OK", second - ok);
    Expect(WaitFor([&] { return Prop(child, kF5CountProp) == 3; }, 15000), "no F5 10 s later");
    const DWORD gap = static_cast<DWORD>(Prop(child, kF5LastProp)) - second;
    Expect(gap >= 9000 && gap <= 13000, "F5 %lu ms after the one before, expected 10 s", gap);
    const std::string last = dialog("5000", IDCANCEL);
    Expect(last == "10", "the dialog showed [%s], not the new interval", last.c_str());
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(thumbnail_copies_its_picture_to_the_clipboard)
{
    Running r;
    StartWith(r, {{"", Window("cmd copy", 300, "--pattern 3")}});
    HWND source = FindWindowA(nullptr, "cmd copy");
    HWND thumb = Thumb(r, 0);
    Foreground(source);  // under Wine only the foreground window is captured
    Require(WaitFor([&] { return PatternMismatch(source, thumb, 3).empty(); }, 5000),
            "the thumbnail shows no picture: %s", PatternMismatch(source, thumb, 3).c_str());

    const DWORD sequence = GetClipboardSequenceNumber();
    PostMessageA(thumb, WM_COMMAND, kCopy, 0);
    Require(WaitFor([&] { return GetClipboardSequenceNumber() != sequence && IsClipboardFormatAvailable(CF_BITMAP); },
                    5000),
            "no bitmap on the clipboard");
    RECT client;
    GetClientRect(thumb, &client);
    Require(OpenClipboard(nullptr), "cannot open the clipboard");
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    Expect(info.bmWidth == client.right && info.bmHeight == client.bottom, "bitmap %ldx%ld, client %ldx%ld",
           info.bmWidth, info.bmHeight, client.right, client.bottom);
    // The picture matches what the thumbnail shows on the screen, quarter by quarter.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    POINT origin = {0, 0};
    ClientToScreen(thumb, &origin);
    for (int q = 0; q < 4; ++q) {
        const int x = client.right * (1 + 2 * (q % 2)) / 4, y = client.bottom * (1 + 2 * (q / 2)) / 4;
        const COLORREF copied = GetPixel(memory, x, y), shown = GetPixel(screen, origin.x + x, origin.y + y);
        Expect(NearColor(copied, shown), "quarter %d: copied %06lx, shown %06lx", q, copied, shown);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    CloseClipboard();

    // The clipboard held by another program: nothing changes, and Kestrova runs on.
    Require(OpenClipboard(nullptr) && EmptyClipboard(), "cannot take the clipboard");
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 8);
    memcpy(GlobalLock(text), "kv keep", 8);
    GlobalUnlock(text);
    SetClipboardData(CF_TEXT, text);
    // Sent, so that the copy has been tried when the call returns.
    DWORD_PTR result = 0;
    Expect(SendMessageTimeoutA(thumb, WM_COMMAND, kCopy, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0,
           "the copy does not return while the clipboard is held");
    Expect(Answers(r.app.main), "Kestrova does not answer while the clipboard is held");
    CloseClipboard();
    Expect(HoldsFor([&] { return !IsClipboardFormatAvailable(CF_BITMAP) && IsClipboardFormatAvailable(CF_TEXT); }, 500),
           "the clipboard content changed");
    Expect(r.app.proc.Running(), "Kestrova ended");
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(thumbnail_closed_while_its_menu_or_dialog_is_open)
{
    Running r;
    StartWith(r, {{"", Window("nest menu", 300)},
                  {"", Window("nest parked", 340, "--minimized")},
                  {"", Window("nest other", 380)}});
    HWND menuSource = FindWindowA(nullptr, "nest menu"), parked = FindWindowA(nullptr, "nest parked");
    Require(WaitFor([&] { return !IsIconic(parked) && !IsWindowEnabled(parked); }, 8000),
            "the minimised window was not parked");
    const RECT otherRect = WindowRectOf(Thumb(r, 2));

    // The menu is open when its source closes: the thumbnail goes, the menu runs no command.
    HWND thumb = Thumb(r, 0);
    PostMessageA(thumb, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    Require(WaitFor([&] { return VisibleMenu(r.Pid()) != nullptr; }, 5000), "no menu");
    PostMessageA(menuSource, WM_CLOSE, 0, 0);
    Expect(WaitFor([&] { return !IsWindow(thumb); }, 5000), "the thumbnail stays while its menu is open");
    Expect(Answers(r.app.main), "Kestrova does not answer");
    CloseMenu(r.Pid());
    Expect(HoldsFor([&] { return Thumbnails(r.Pid()).size() == 2 && SameRect(WindowRectOf(Thumb(r, 2)), otherRect); },
                    1000),
           "the strip changed after the menu closed");

    // The interval dialog is open when its thumbnail is excluded: the parked source is back at
    // once, minimised and enabled, while the dialog still stands.
    HWND parkedThumb = Thumb(r, 1);
    PostMessageA(parkedThumb, WM_COMMAND, kReloadInterval, 0);
    HWND dlg = nullptr;
    Require(WaitFor([&] { return (dlg = DialogOf(r.Pid(), "更新間隔設定")) != nullptr; }, 5000), "no interval dialog");
    SelectRow(r.list, RowOf(r.list, "nest parked"));
    Click(r.app.main, 1030);
    Expect(WaitFor([&] { return !IsWindow(parkedThumb); }, 5000), "the thumbnail stays");
    Expect(WaitFor([&] { return IsIconic(parked) && IsWindowEnabled(parked); }, 5000) && IsWindow(dlg),
           "the parked source is not back while the dialog is open: iconic %d enabled %d dialog %d", IsIconic(parked),
           IsWindowEnabled(parked), IsWindow(dlg));
    Expect(Answers(r.app.main), "Kestrova does not answer");
    PressButton(dlg, IDOK);
    Expect(WaitFor([&] { return !IsWindow(dlg); }, 5000), "the dialog stays");
    Expect(Answers(r.app.main) && r.app.proc.Running(), "Kestrova is gone or does not answer");
    Expect(SameRect(WindowRectOf(Thumb(r, 2)), otherRect), "the other thumbnail moved");

    // Suspend arrives while a menu is open: every thumbnail goes, and the program answers on.
    HWND other = Thumb(r, 2);
    PostMessageA(other, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    Require(WaitFor([&] { return VisibleMenu(r.Pid()) != nullptr; }, 5000), "no menu on the last thumbnail");
    PostMessageA(r.app.main, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    Expect(WaitFor([&] { return !IsWindow(other) && Thumbnails(r.Pid()).empty(); }, 5000),
           "thumbnails stay after suspend");
    Expect(Answers(r.app.main), "Kestrova does not answer after suspend");
    CloseMenu(r.Pid());
    PostMessageA(r.app.main, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    Expect(WaitFor([&] { return !Thumbnails(r.Pid()).empty(); }, 8000), "no thumbnail after resume");
    Require(ExitByTray(r.app), "still running after the tray's exit");
}
