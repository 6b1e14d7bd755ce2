// The property dialog of the control page (IDC_CHANGE_PROPERTIES) and its hot-key field, driven as a user
// would: the dialog's controls, keys through SendInput, clicks on its buttons, and the settings
// file, the page's labels and the thumbnails afterwards.
#include <string>
#include <vector>

#include "e2e.h"

using namespace kv;

namespace {

const char kCaption[] = "プロパティ設定";
const int kChangeProperties = 1008;
const int kHotKeyField = 1116;
const int kCheckHotKey = 1117;
const int kFrameBox = 1111;
const int kLocationRadios[] = {1010, 1012, 1013, 1011};  // top, left, right, bottom
const int kSizeRadios[] = {1028, 1029, 1030};
const int kTopEdit = 1014, kLeftEdit = 1016, kRightEdit = 1017, kBottomEdit = 1015, kLimitEdit = 1044,
          kIntervalEdit = 1054;

struct Run {
    Scratch scratch;
    std::string folder;
    std::string ini;
    App app;
};

// A Kestrova in a folder of its own, with the settings file holding keys (none: no file).
void StartIn(Run& r, const char* keys)
{
    r.folder = r.scratch.Folder("app");
    r.ini = r.folder + "\\Kestrova.ini";
    if (keys)
        WriteBytes(r.ini, std::string("[SYSTEM]\r\n") + keys);
    r.app = StartApp(r.scratch.InstallApp(r.folder), "", r.scratch.Root());
}

// The file as it is now; "<none>" when there is none.
std::string ReadIni(const std::string& path)
{
    return ReadBytes(path, "<none>");
}

// The file once the program has put its new copy in place. Only its stamp is watched meanwhile:
// Wine refuses to replace a file that anyone has open, so a poll that opens it would make the
// program's save fail.
std::string IniAfterSave(const std::string& path, const Stamp& before)
{
    // The replace may leave no file for a moment: wait for the new one.
    const auto written = [&] {
        const Stamp now = StampOf(path);
        return now.exists && !SameStamp(now, before);
    };
    if (!WaitFor(written, 10000))
        return "<not written>";
    return ReadIni(path);
}

std::string IniText(const std::vector<int>& values)
{
    std::string text = "[SYSTEM]\r\n";
    const char* names[] = {"LOCATION",    "SIZE",  "LEFTMARGIN", "TOPMARGIN", "RIGHTMARGIN", "BOTTOMMARGIN",
                           "TRANSPARENT", "LIMIT", "INTERVAL",   "FRAME",     "HVHOTKEY",    "HVMODIFIERS"};
    for (size_t i = 0; i < 12; ++i)
        text += std::string(names[i]) + "=" + std::to_string(values[i]) + "\r\n";
    return text;
}

std::string Shown(const std::string& bytes)
{
    std::string out;
    for (char c : bytes)
        out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

HWND PropertyDialog(DWORD pid)
{
    HWND dlg = FindTopWindow(pid, "#32770", kCaption);
    return dlg && IsWindowVisible(dlg) ? dlg : nullptr;
}

// Clicks 1008 as the page would receive it, and waits for the dialog.
HWND OpenProperties(const App& app)
{
    HWND button = FindDescendant(app.main, kChangeProperties);
    Require(button != nullptr, "no button 1008");
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(kChangeProperties, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    HWND dlg = nullptr;
    Require(WaitFor([&] { return (dlg = PropertyDialog(app.proc.Pid())) != nullptr; }, 10000),
            "the property dialog did not open");
    return dlg;
}

// A message box of the program: caption "Kestrova" with a static text, not the main window.
HWND ProgramBox(const App& app)
{
    for (HWND hwnd : TopWindows(app.proc.Pid())) {
        if (hwnd != app.main && ClassOf(hwnd) == "#32770" && TextOf(hwnd) == "Kestrova" && IsWindowVisible(hwnd) &&
            GetDlgItem(hwnd, 0xFFFF))
            return hwnd;
    }
    return nullptr;
}

// Waits for a box, checks its text and closes it.
void ExpectBox(const App& app, const char* text, const char* what)
{
    HWND box = nullptr;
    if (!Expect(WaitFor([&] { return (box = ProgramBox(app)) != nullptr; }, 10000), "%s: no message box", what))
        return;
    Expect(MessageBoxText(box) == text, "%s: box [%s], expected [%s]", what, MessageBoxText(box).c_str(), text);
    PressButton(box, IDOK);
    Expect(WaitFor([&] { return !IsWindow(box); }, 5000), "%s: the box stays", what);
}

bool Checked(HWND dlg, int id)
{
    return SendMessageA(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckRadio(HWND dlg, const int* group, int count, int index)
{
    for (int i = 0; i < count; ++i)
        SendMessageA(GetDlgItem(dlg, group[i]), BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetText(HWND dlg, int id, const char* text)
{
    SendMessageA(GetDlgItem(dlg, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

// WM_GETTEXT: an edit keeps its text to itself, GetWindowText from outside would not ask it.
std::string ItemText(HWND root, int id)
{
    HWND item = FindDescendant(root, id);
    if (!item)
        return "<no control " + std::to_string(id) + ">";
    char buf[512] = "";
    SendMessageA(item, WM_GETTEXT, sizeof(buf), reinterpret_cast<LPARAM>(buf));
    return buf;
}

void ExpectLabel(HWND mainWnd, int id, const char* text, const char* what)
{
    const std::string shown = ItemText(mainWnd, id);
    Expect(shown == text, "%s: static %d shows [%s], expected [%s]", what, id, shown.c_str(), text);
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// Moves the focus into the hot-key field as the dialog's own navigation does, and waits until it has
// it (and with it the hook).
void FocusField(HWND dlg)
{
    HWND field = GetDlgItem(dlg, kHotKeyField);
    PostMessageA(dlg, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    Require(WaitFor([&] { return FocusOf(dlg) == field; }, 5000),
            "the hot-key field did not take the focus (focus on control %d)", GetDlgCtrlID(FocusOf(dlg)));
    // The focus shows before the field has handled WM_SETFOCUS, which installs the hook.
    DWORD_PTR result = 0;
    Require(SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0,
            "the dialog does not answer");
}

struct Key {
    WORD vk;
    bool down;
};

// Under Wine the keyboard hook's calls are queued to the program at once, before SendInput
// returns; a message sent after them is answered only once they have been handled, and the keys
// they posted to the field come before anything posted later.
void SendKeys(HWND dlg, const std::vector<Key>& keys)
{
    for (const Key& k : keys) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k.vk;
        in.ki.dwFlags = k.down ? 0 : KEYEVENTF_KEYUP;
        SendInput(1, &in, sizeof(INPUT));
    }
    DWORD_PTR result = 0;
    Require(SendMessageTimeoutA(dlg, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0,
            "the dialog does not answer");
}

// Waits for the dialog to close; a box that came instead is named in the failure.
bool WaitClosed(const App& app, HWND dlg, const char* what)
{
    if (WaitFor([&] { return !IsWindow(dlg) || !IsWindowVisible(dlg); }, 10000))
        return true;
    HWND box = ProgramBox(app);
    Expect(false, "%s: the dialog stays open%s%s", what, box ? ", with the box " : "",
           box ? MessageBoxText(box).c_str() : "");
    return false;
}

// Presses a dialog button and waits for the dialog to close.
bool PressAndWaitClosed(const App& app, HWND dlg, int id)
{
    PressButton(dlg, id);
    return WaitClosed(app, dlg, id == IDOK ? "OK" : "Cancel");
}

// A window of the harness that counts the key presses it receives.
int g_keysSeen = 0;
LRESULT CALLBACK KeyCounterProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_KEYDOWN)
        ++g_keysSeen;
    return DefWindowProcA(hwnd, msg, wp, lp);
}

// A key sent to another window arrives: no keyboard hook is left swallowing keys.
bool KeysReachOtherWindows()
{
    static const char* cls = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = KeyCounterProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "KvKeyCounter";
        RegisterClassA(&wc);
        return "KvKeyCounter";
    }();
    HWND wnd = CreateWindowExA(0, cls, "key counter", WS_OVERLAPPED | WS_VISIBLE, 600, 300, 200, 100, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    bool arrived = false;
    if (Foreground(wnd)) {
        SetFocus(wnd);
        g_keysSeen = 0;
        SendKey('A');
        arrived = WaitFor([] { return g_keysSeen > 0; }, 5000);
    }
    DestroyWindow(wnd);
    return arrived;
}

std::vector<int> Defaults()
{
    return {1, 1, 20, 10, 10, 30, 60, 16, 5, 0, 87, 8};
}

// Helpers of 4:3 fill a 160x120 slot exactly.
std::string Helpers(int count)
{
    std::string args;
    for (int i = 0; i < count; ++i) {
        if (i)
            args += " --window";
        args +=
            " --title \"prop " + std::to_string(i) + "\" --pos " + std::to_string(300 + 40 * i) + ",100 --size 320x240";
    }
    return args;
}

}  // namespace

KV_E2E_TEST(properties_dialog_shows_and_applies_the_settings)
{
    Process helpers = Start(BuiltFile("kv_helper.exe"), Helpers(4));
    Require(WaitFor([&] { return FindTopWindow(helpers.Pid(), nullptr, "prop 3") != nullptr; }, 5000),
            "the helpers did not open");
    SetCursorPos(1270, 300);
    Run r;
    StartIn(r, nullptr);
    const DWORD pid = r.app.proc.Pid();
    Require(WaitFor([&] { return Thumbnails(pid).size() == 4; }, 15000), "%u thumbnails",
            unsigned(Thumbnails(pid).size()));

    HWND dlg = OpenProperties(r.app);
    Expect(!IsWindowEnabled(r.app.main), "the main window stays enabled under the dialog");
    Expect(Checked(dlg, kLocationRadios[1]) && !Checked(dlg, kLocationRadios[0]) && !Checked(dlg, kLocationRadios[3]),
           "the left edge is not the one checked");
    Expect(Checked(dlg, kSizeRadios[1]) && !Checked(dlg, kSizeRadios[0]), "middle is not the size checked");
    Expect(!Checked(dlg, kFrameBox), "the frame box is ticked with FRAME 0");
    const struct {
        int id;
        const char* text;
    } edits[] = {{kTopEdit, "10"},    {kLeftEdit, "20"},  {kRightEdit, "10"},
                 {kBottomEdit, "30"}, {kLimitEdit, "16"}, {kIntervalEdit, "5"}};
    for (const auto& e : edits)
        Expect(ItemText(dlg, e.id) == e.text, "edit %d shows [%s], expected [%s]", e.id, ItemText(dlg, e.id).c_str(),
               e.text);

    CheckRadio(dlg, kLocationRadios, 4, 3);
    SetText(dlg, kLimitEdit, "3");
    SetText(dlg, kTopEdit, "50");
    SendMessageA(GetDlgItem(dlg, kFrameBox), BM_SETCHECK, BST_CHECKED, 0);
    const Stamp before = StampOf(r.ini);
    PressButton(dlg, IDOK);
    Require(WaitClosed(r.app, dlg, "OK"), "the dialog stays after OK");

    std::vector<int> expected = Defaults();
    expected[0] = 3;   // LOCATION bottom
    expected[3] = 50;  // TOPMARGIN
    expected[7] = 3;   // LIMIT
    expected[9] = 1;   // FRAME
    const std::string written = IniAfterSave(r.ini, before);
    Expect(written == IniText(expected), "Kestrova.ini holds [%s], expected [%s]", Shown(written).c_str(),
           Shown(IniText(expected)).c_str());
    ExpectLabel(r.app.main, 1009, "下辺に並べる", "after OK");
    ExpectLabel(r.app.main, 1020, "50", "after OK");
    ExpectLabel(r.app.main, 1041, "3", "after OK");
    ExpectLabel(r.app.main, 1105, "PF", "after OK");
    Expect(IsWindowEnabled(r.app.main), "the main window is still disabled");

    // Bottom slots of 160x120 from x 20 at y 1024 - 30 - 120; at most three thumbnails, framed.
    auto placed = [&] {
        std::vector<HWND> thumbs = Thumbnails(pid);
        if (thumbs.size() != 3)
            return false;
        for (HWND t : thumbs) {
            const RECT w = WindowRectOf(t);
            bool inSlot = false;
            for (int i = 0; i < 3; ++i)
                inSlot = inSlot || SameRect(w, RECT{20 + 160 * i, 874, 180 + 160 * i, 994});
            if (!inSlot || !(GetWindowLongA(t, GWL_STYLE) & WS_THICKFRAME))
                return false;
        }
        return true;
    };
    std::string seen;
    Expect(WaitFor(placed, 5000), "thumbnails not in three framed bottom slots:%s", [&] {
        for (HWND t : Thumbnails(pid))
            seen += " " + RectText(WindowRectOf(t)) + ((GetWindowLongA(t, GWL_STYLE) & WS_THICKFRAME) ? "F" : "");
        return seen.c_str();
    }());
    Require(ExitByTray(r.app), "still running after the tray's exit");
    Expect(r.app.proc.ExitCode() == 0, "exit code %lu", r.app.proc.ExitCode());
}

KV_E2E_TEST(properties_cancel_changes_nothing_and_unchanged_ok_writes_in_place)
{
    Process helpers = Start(BuiltFile("kv_helper.exe"), Helpers(3));
    Require(WaitFor([&] { return FindTopWindow(helpers.Pid(), nullptr, "prop 2") != nullptr; }, 5000),
            "the helpers did not open");
    SetCursorPos(1270, 300);
    Run r;
    StartIn(r, nullptr);
    const DWORD pid = r.app.proc.Pid();
    Require(WaitFor([&] { return Thumbnails(pid).size() == 3; }, 15000), "%u thumbnails",
            unsigned(Thumbnails(pid).size()));

    // Cancel after changes: no file, same labels.
    HWND dlg = OpenProperties(r.app);
    CheckRadio(dlg, kLocationRadios, 4, 0);
    SetText(dlg, kLimitEdit, "2");
    PressButton(dlg, IDCANCEL);
    Require(WaitFor([&] { return PropertyDialog(pid) == nullptr; }, 10000), "the dialog stays after Cancel");
    Expect(HoldsFor([&] { return !StampOf(r.ini).exists; }, 1000), "Cancel wrote Kestrova.ini");
    ExpectLabel(r.app.main, 1009, "左辺に並べる", "after Cancel");
    ExpectLabel(r.app.main, 1041, "16", "after Cancel");

    // A freed slot in the middle stays free through an OK that changes nothing.
    PostMessageA(FindTopWindow(helpers.Pid(), nullptr, "prop 1"), WM_CLOSE, 0, 0);
    Require(WaitFor([&] { return Thumbnails(pid).size() == 2; }, 5000), "the closed window's thumbnail stays");
    // Taken once the thumbnails have settled: under load a first capture may still refit one.
    auto rects = [&] {
        std::vector<RECT> now;
        for (HWND t : Thumbnails(pid))
            now.push_back(WindowRectOf(t));
        return now;
    };
    auto same = [](const std::vector<RECT>& a, const std::vector<RECT>& b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!SameRect(a[i], b[i]))
                return false;
        return true;
    };
    std::vector<RECT> before = rects();
    Require(WaitFor(
                [&] {
                    const std::vector<RECT> start = rects();
                    if (HoldsFor([&] { return same(rects(), start); }, 1000)) {
                        before = start;
                        return true;
                    }
                    return false;
                },
                15000),
            "the thumbnails never settled");
    dlg = OpenProperties(r.app);
    const Stamp none = StampOf(r.ini);
    PressButton(dlg, IDOK);
    Require(WaitClosed(r.app, dlg, "OK"), "the dialog stays after OK");
    const std::string written = IniAfterSave(r.ini, none);
    Expect(written == IniText(Defaults()), "Kestrova.ini holds [%s]", Shown(written).c_str());
    Expect(HoldsFor([&] { return same(rects(), before); }, 1500), "an unchanged OK moved the thumbnails");

    // Only the hot key changed: the whole apply runs, so the grid is rebuilt and the free slot closes.
    RECT first = before[0];
    for (const RECT& b : before)
        if (b.top < first.top)
            first = b;
    const RECT second = {first.left, first.bottom, first.right, first.bottom + (first.bottom - first.top)};
    dlg = OpenProperties(r.app);
    FocusField(dlg);
    SendKeys(dlg, {{VK_CONTROL, true}, {'Q', true}, {'Q', false}, {VK_CONTROL, false}});
    Require(PressAndWaitClosed(r.app, dlg, IDOK), "the dialog stays after OK");
    auto compacted = [&] {
        std::vector<HWND> now = Thumbnails(pid);
        if (now.size() != 2)
            return false;
        bool atFirst = false, atSecond = false;
        for (HWND t : now) {
            atFirst = atFirst || SameRect(WindowRectOf(t), first);
            atSecond = atSecond || SameRect(WindowRectOf(t), second);
        }
        return atFirst && atSecond;
    };
    std::string seen;
    Expect(
        WaitFor(compacted, 5000), "a new hot key alone did not rebuild the grid: thumbnails at%s, expected %s and %s",
        [&] {
            for (HWND t : Thumbnails(pid))
                seen += " " + RectText(WindowRectOf(t));
            return seen.c_str();
        }(),
        RectText(first).c_str(), RectText(second).c_str());
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(properties_keep_previous_values_for_bad_text_and_hand_edited_keys)
{
    Run r;
    // HVMODIFIERS 16392 is Win with MOD_NOREPEAT, which the hot-key field cannot show.
    StartIn(r,
            "LOCATION=9\r\nFRAME=7\r\nTOPMARGIN=10\r\nBOTTOMMARGIN=30\r\nLIMIT=16\r\nINTERVAL=5\r\n"
            "HVMODIFIERS=16392\r\n");
    HWND dlg = OpenProperties(r.app);
    for (int id : kLocationRadios)
        Expect(!Checked(dlg, id), "LOCATION 9 checks radio %d", id);
    Expect(Checked(dlg, kFrameBox), "FRAME 7 shows unticked");

    SetText(dlg, kTopEdit, "");
    SetText(dlg, kBottomEdit, "300");
    SetText(dlg, kLimitEdit, "abc");
    SetText(dlg, kIntervalEdit, "1,000");
    CheckRadio(dlg, kSizeRadios, 3, 2);  // one real change, so that the whole apply runs
    const Stamp before = StampOf(r.ini);
    PressButton(dlg, IDOK);
    Require(WaitClosed(r.app, dlg, "OK"), "the dialog stays after OK");
    // Keys already in the file keep their places; the profile functions append the others.
    const std::string expected =
        "[SYSTEM]\r\nLOCATION=9\r\nFRAME=7\r\nTOPMARGIN=10\r\nBOTTOMMARGIN=30\r\nLIMIT=16\r\n"
        "INTERVAL=5\r\nHVMODIFIERS=16392\r\nSIZE=2\r\nLEFTMARGIN=20\r\nRIGHTMARGIN=10\r\n"
        "TRANSPARENT=60\r\nHVHOTKEY=87\r\n";
    const std::string written = IniAfterSave(r.ini, before);
    Expect(written == expected, "Kestrova.ini holds [%s], expected [%s]", Shown(written).c_str(),
           Shown(expected).c_str());
    Expect(ProgramBox(r.app) == nullptr, "a box came up: [%s]",
           ProgramBox(r.app) ? MessageBoxText(ProgramBox(r.app)).c_str() : "");
    ExpectLabel(r.app.main, 1009, "", "LOCATION 9 kept");
    ExpectLabel(r.app.main, 1012, "LARGE", "SIZE changed");
    ExpectLabel(r.app.main, 1020, "10", "emptied top margin");
    ExpectLabel(r.app.main, 1023, "30", "bottom margin 300 in 0..100");
    ExpectLabel(r.app.main, 1041, "16", "LIMIT abc");
    ExpectLabel(r.app.main, 1053, "5", "INTERVAL 1,000");
    ExpectLabel(r.app.main, 1105, "PF", "FRAME 7 kept");
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(hotkey_field_takes_keys_and_releases_the_hook)
{
    Run r;
    StartIn(r, nullptr);
    std::vector<int> expected = Defaults();

    // Both Shift keys down, the left one released: Shift is no longer held, so W comes alone.
    HWND dlg = OpenProperties(r.app);
    FocusField(dlg);
    SendKeys(dlg, {{VK_LSHIFT, true}, {VK_RSHIFT, true}, {VK_LSHIFT, false}, {'W', true}, {'W', false}});
    Stamp before = StampOf(r.ini);
    const bool closed = PressAndWaitClosed(r.app, dlg, IDOK);
    INPUT release = {};
    release.type = INPUT_KEYBOARD;
    release.ki.wVk = VK_RSHIFT;
    release.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &release, sizeof(INPUT));
    Require(closed, "the dialog stays after OK");
    expected[11] = 0;
    std::string written = IniAfterSave(r.ini, before);
    Expect(written == IniText(expected), "after Shift/Shift/W: [%s], expected [%s]", Shown(written).c_str(),
           Shown(IniText(expected)).c_str());
    Expect(KeysReachOtherWindows(), "after OK, keys no longer reach other windows");

    // Ctrl W, W up, Ctrl up: Ctrl+W, registered by the page.
    dlg = OpenProperties(r.app);
    FocusField(dlg);
    SendKeys(dlg, {{VK_CONTROL, true}, {'W', true}, {'W', false}, {VK_CONTROL, false}});
    before = StampOf(r.ini);
    Require(PressAndWaitClosed(r.app, dlg, IDOK), "the dialog stays after OK");
    expected[11] = MOD_CONTROL;
    written = IniAfterSave(r.ini, before);
    Expect(written == IniText(expected), "after Ctrl+W: [%s], expected [%s]", Shown(written).c_str(),
           Shown(IniText(expected)).c_str());
    const BOOL free = RegisterHotKey(nullptr, 7, MOD_CONTROL, 'W');
    if (free)
        UnregisterHotKey(nullptr, 7);
    Expect(!free, "the harness could still register Ctrl+W");
    Expect(KeysReachOtherWindows(), "after OK, keys no longer reach other windows");

    // Cancel: keys typed into the field change nothing, and the hook goes too.
    before = StampOf(r.ini);
    dlg = OpenProperties(r.app);
    FocusField(dlg);
    // Esc and Enter are the field's keys while it has the focus: neither ends the dialog.
    SendKeys(dlg, {{VK_ESCAPE, true}, {VK_ESCAPE, false}, {VK_RETURN, true}, {VK_RETURN, false}});
    Expect(HoldsFor([&] { return PropertyDialog(r.app.proc.Pid()) != nullptr; }, 500), "Esc or Enter ended the dialog");
    SendKeys(dlg, {{VK_MENU, true}, {'Q', true}, {'Q', false}, {VK_MENU, false}});
    Require(PressAndWaitClosed(r.app, dlg, IDCANCEL), "the dialog stays after Cancel");
    Expect(HoldsFor([&] { return SameStamp(StampOf(r.ini), before); }, 1000), "Cancel changed Kestrova.ini");
    Expect(KeysReachOtherWindows(), "after Cancel, keys no longer reach other windows");
    Require(ExitByTray(r.app), "still running after the tray's exit");
    Expect(r.app.proc.ExitCode() == 0, "exit code %lu", r.app.proc.ExitCode());
}

KV_E2E_TEST(hotkey_check_and_clash_on_ok)
{
    Run r;
    StartIn(r, nullptr);
    const DWORD pid = r.app.proc.Pid();
    HWND dlg = OpenProperties(r.app);

    PressButton(dlg, kCheckHotKey);
    ExpectBox(r.app, "現在の設定です。", "the preset combination");

    FocusField(dlg);
    SendKeys(dlg, {{VK_CONTROL, true}, {'Q', true}, {'Q', false}, {VK_CONTROL, false}});
    PressButton(dlg, kCheckHotKey);
    ExpectBox(r.app, "設定可能です.", "a free combination");

    Require(RegisterHotKey(nullptr, 3, MOD_CONTROL, 'Q'), "cannot hold Ctrl+Q for the test (error %lu)",
            GetLastError());
    PressButton(dlg, kCheckHotKey);
    ExpectBox(r.app,
              "このキーの組み合わせは既に他のアプリケーションで使用されています。他の組み合わせに変更してください.",
              "a combination another program holds");
    PressButton(dlg, IDOK);
    ExpectBox(r.app, "HoverKey設定は既に他のアプリケーションで使用されています。他の組み合わせに変更してください.",
              "OK with a combination another program holds");
    Expect(HoldsFor([&] { return PropertyDialog(pid) != nullptr; }, 1000), "the dialog closed after the clash");
    UnregisterHotKey(nullptr, 3);
    PressButton(dlg, IDCANCEL);
    Require(WaitFor([&] { return PropertyDialog(pid) == nullptr; }, 10000), "the dialog stays after Cancel");
    Expect(ReadIni(r.ini) == "<none>", "Kestrova.ini written");
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(properties_locked_settings_file_is_reported_and_kept)
{
    Run r;
    const std::string old = "[SYSTEM]\r\nLIMIT=16\r\n[OTHER]\r\nKEEP=1\r\n";
    StartIn(r, "LIMIT=16\r\n[OTHER]\r\nKEEP=1\r\n");
    const DWORD pid = r.app.proc.Pid();
    struct Lock {
        const char* name;
        DWORD sharing;
        const char* limit;
    } locks[] = {
        // No sharing: the save fails at the copy of the old bytes.
        {"held with no sharing", 0, "3"},
        // Every sharing: the copy is made and the replace fails (Wine refuses to replace an open file).
        {"held with every sharing", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, "4"},
    };
    for (const Lock& l : locks) {
        HWND dlg = OpenProperties(r.app);
        SetText(dlg, kLimitEdit, l.limit);
        HANDLE lock = CreateFileA(r.ini.c_str(), GENERIC_READ, l.sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        Require(lock != INVALID_HANDLE_VALUE, "%s: cannot hold Kestrova.ini open (error %lu)", l.name, GetLastError());
        PressButton(dlg, IDOK);
        ExpectBox(r.app, "設定をKestrova.iniに保存できませんでした。", l.name);
        CloseHandle(lock);
        Expect(ReadIni(r.ini) == old, "%s: Kestrova.ini holds [%s], expected the old [%s]", l.name,
               Shown(ReadIni(r.ini)).c_str(), Shown(old).c_str());
        Expect(!FileExists(r.ini + ".tmp"), "%s: Kestrova.ini.tmp left behind", l.name);
        ExpectLabel(r.app.main, 1041, l.limit, l.name);
        Expect(PropertyDialog(pid) == nullptr, "%s: the dialog is still open", l.name);
    }
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(properties_dialog_open_at_tray_exit)
{
    Run r;
    StartIn(r, "LIMIT=16\r\n");
    const std::string old = ReadIni(r.ini);
    HWND dlg = OpenProperties(r.app);
    SetText(dlg, kLimitEdit, "3");
    // The field has the focus, and with it the keyboard hook, when the exit comes.
    FocusField(dlg);
    Require(ExitByTray(r.app, 15000), "still running after the tray's exit with the dialog open");
    Expect(r.app.proc.ExitCode() == 0, "exit code %lu", r.app.proc.ExitCode());
    Expect(ReadIni(r.ini) == old, "Kestrova.ini holds [%s]", Shown(ReadIni(r.ini)).c_str());
    Expect(!FileExists(r.ini + ".tmp"), "Kestrova.ini.tmp left behind");
    Expect(KeysReachOtherWindows(), "keys do not reach other windows after the exit");
}
