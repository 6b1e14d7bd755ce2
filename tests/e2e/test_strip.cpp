// The thumbnail strip: settings on the control page, thumbnails admitted into the slot grid one per
// tracking tick, slots freed in place and filled again, arrangement, and the exit.
#include <map>
#include <string>
#include <vector>

#include "e2e.h"

using namespace kv;

namespace {

const int kArrangeButton = 1011;

// A helper window and the place its thumbnail takes inside a 160x120 slot: the fit keeps the
// helper's aspect, so each size gives its own thumbnail size.
struct Helper {
    const char* title;
    SIZE size;
    RECT inSlot;  // relative to the slot's top-left corner
};

const Helper kA = {"strip A", {320, 240}, {0, 0, 160, 120}};
const Helper kB = {"strip B", {400, 200}, {0, 20, 160, 100}};
const Helper kC = {"strip C", {240, 240}, {20, 0, 140, 120}};
const Helper kD = {"strip D", {480, 160}, {0, 33, 160, 86}};
const Helper kE = {"strip E", {200, 300}, {40, 0, 120, 120}};
const Helper kF = {"strip F", {300, 200}, {0, 7, 160, 113}};

std::string HelperArgs(const std::vector<const Helper*>& helpers, int x0)
{
    std::string args;
    int x = x0;
    for (const Helper* h : helpers) {
        if (!args.empty())
            args += " --window";
        args += " --title \"" + std::string(h->title) + "\" --pos " + std::to_string(x) + ",100 --size " +
                std::to_string(h->size.cx) + "x" + std::to_string(h->size.cy);
        x += 40;
    }
    return args;
}

// The bottom layout of the strip test's settings: slots of 160x120 from x 100 at y 854.
RECT BottomSlot(int index)
{
    return {100 + 160 * index, 854, 260 + 160 * index, 974};
}

RECT Placed(const Helper& h, const RECT& slot)
{
    return {slot.left + h.inSlot.left, slot.top + h.inSlot.top, slot.left + h.inSlot.right, slot.top + h.inSlot.bottom};
}

// Which helper a thumbnail shows (by its size) and in which slot it lies; -1 when none fits.
struct Seen {
    const Helper* helper = nullptr;
    int slot = -1;
};

Seen Identify(HWND thumb, const std::vector<const Helper*>& helpers, int slots)
{
    const RECT r = WindowRectOf(thumb);
    for (const Helper* h : helpers) {
        for (int i = 0; i < slots; ++i) {
            if (SameRect(r, Placed(*h, BottomSlot(i))))
                return {h, i};
        }
    }
    return {};
}

// slot -> helper title, for every thumbnail; a thumbnail out of place shows as "?" with its rectangle.
std::map<int, std::string> Strip(DWORD pid, const std::vector<const Helper*>& helpers)
{
    std::map<int, std::string> strip;
    int stray = 100;
    for (HWND t : Thumbnails(pid)) {
        Seen s = Identify(t, helpers, 7);
        if (s.helper)
            strip[s.slot] = s.helper->title;
        else
            strip[stray++] = "? " + RectText(WindowRectOf(t));
    }
    return strip;
}

std::string StripText(const std::map<int, std::string>& strip)
{
    std::string text;
    for (const auto& e : strip)
        text += (text.empty() ? "" : ", ") + std::to_string(e.first) + ":" + e.second;
    return "[" + text + "]";
}

HWND HelperWindow(const Process& p, const char* title)
{
    return FindTopWindow(p.Pid(), nullptr, title);
}

std::string ItemText(HWND mainWnd, int id)
{
    HWND item = FindDescendant(mainWnd, id);
    return item ? TextOf(item) : std::string("<no control ") + std::to_string(id) + ">";
}

struct Label {
    int id;
    const char* text;
};

void ExpectLabels(HWND mainWnd, const std::vector<Label>& labels, const char* what)
{
    for (const Label& l : labels) {
        const std::string text = ItemText(mainWnd, l.id);
        Expect(text == l.text, "%s: static %d shows [%s], expected [%s]", what, l.id, text.c_str(), l.text);
    }
}

// A message box of pid: a dialog with the box's static text (the main window has none).
HWND MessageBoxOf(DWORD pid)
{
    for (HWND hwnd : TopWindows(pid)) {
        if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd) && GetDlgItem(hwnd, 0xFFFF))
            return hwnd;
    }
    return nullptr;
}

bool Responds(HWND hwnd)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &result) != 0;
}

}  // namespace

KV_E2E_TEST(strip_fills_slots_in_place_and_arranges)
{
    Scratch s;
    const std::string folder = s.Folder("app");
    const std::string app =
        s.InstallAppWithSettings(folder,
                                 "LOCATION=3\r\nSIZE=1\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
                                 "BOTTOMMARGIN=50\r\nTRANSPARENT=80\r\nLIMIT=4\r\nINTERVAL=5\r\n");
    const std::vector<const Helper*> all = {&kA, &kB, &kC, &kD, &kE, &kF};
    ParkCursor();

    // Three ordinary windows and a layered one before the program starts.
    Process first =
        Start(BuiltFile("kv_helper.exe"),
              HelperArgs({&kA, &kB, &kC}, 300) +
                  " --window --title \"strip layered\" --exstyle layered --alpha 255 --pos 500,450 --size 500x100");
    Require(WaitFor([&] { return HelperWindow(first, kC.title) && HelperWindow(first, "strip layered"); }, 5000),
            "the helper windows did not open");
    App kestrova = StartApp(app, "", s.Root());
    const DWORD pid = kestrova.proc.Pid();
    ExpectLabels(kestrova.main,
                 {{1009, "下辺に並べる"},
                  {1012, "MIDDLE"},
                  {1020, "10"},
                  {1021, "100"},
                  {1022, "10"},
                  {1023, "50"},
                  {1041, "4"},
                  {1053, "5"},
                  {1025, "80"},
                  {1105, "P"}},
                 "settings from the file");

    // One per tracking tick, each into the next slot.
    std::vector<DWORD> appeared;
    std::vector<HWND> known;
    auto watch = [&] {
        for (HWND t : Thumbnails(pid)) {
            bool seen = false;
            for (HWND k : known)
                seen = seen || k == t;
            if (!seen) {
                known.push_back(t);
                appeared.push_back(GetTickCount());
                Seen where = Identify(t, all, 7);
                Expect(where.slot == int(known.size()) - 1, "thumbnail %u at %s: not in slot %u",
                       unsigned(known.size()), RectText(WindowRectOf(t)).c_str(), unsigned(known.size() - 1));
            }
        }
        return known.size();
    };
    Require(WaitFor([&] { return watch() >= 3; }, 15000), "%u thumbnails after 15 s: %s", unsigned(known.size()),
            StripText(Strip(pid, all)).c_str());
    for (size_t i = 1; i < appeared.size(); ++i) {
        Expect(appeared[i] - appeared[i - 1] >= 700, "thumbnails %u and %u came %lu ms apart", unsigned(i),
               unsigned(i + 1), appeared[i] - appeared[i - 1]);
    }
    Expect(HoldsFor([&] { return watch() == 3; }, 2500), "the layered window got a thumbnail: %s",
           StripText(Strip(pid, all)).c_str());
    for (HWND t : Thumbnails(pid))
        Expect(AlphaOf(t) == 204, "TRANSPARENT 80: alpha %d", AlphaOf(t));

    // Two more windows with LIMIT 4: one is admitted, the other turned away for good.
    Process second = Start(BuiltFile("kv_helper.exe"), HelperArgs({&kD, &kE}, 700));
    Require(WaitFor([&] { return watch() >= 4; }, 8000), "no fourth thumbnail: %s", StripText(Strip(pid, all)).c_str());
    Expect(HoldsFor([&] { return watch() == 4; }, 2500), "LIMIT 4 exceeded: %s", StripText(Strip(pid, all)).c_str());
    std::map<int, std::string> strip = Strip(pid, all);
    Require(strip.size() == 4 && strip.count(0) && strip.count(1) && strip.count(2) && strip.count(3),
            "slots 0 to 3 should be used: %s", StripText(strip).c_str());

    // Closing the window in slot 1 frees that slot in place; the turned-away window stays out.
    auto processOf = [&](const std::string& title) -> const Process& {
        return HelperWindow(first, title.c_str()) ? first : second;
    };
    const std::string gone = strip[1];
    PostMessageA(HelperWindow(processOf(gone), gone.c_str()), WM_CLOSE, 0, 0);
    std::map<int, std::string> expected = strip;
    expected.erase(1);
    Expect(WaitFor([&] { return Strip(pid, all) == expected; }, 5000), "after closing %s: %s, expected %s",
           gone.c_str(), StripText(Strip(pid, all)).c_str(), StripText(expected).c_str());
    Expect(HoldsFor([&] { return Strip(pid, all) == expected; }, 2500), "a freed slot pulled a window in: %s",
           StripText(Strip(pid, all)).c_str());

    // The next new window fills the hole.
    Process third = Start(BuiltFile("kv_helper.exe"), HelperArgs({&kF}, 400));
    expected[1] = kF.title;
    Expect(WaitFor([&] { return Strip(pid, all) == expected; }, 8000), "the new window: %s, expected %s",
           StripText(Strip(pid, all)).c_str(), StripText(expected).c_str());

    // A hole at slot 0, then the arrange button compacts the strip in order.
    const std::string front = expected[0];
    PostMessageA(HelperWindow(processOf(front), front.c_str()), WM_CLOSE, 0, 0);
    expected.erase(0);
    Expect(WaitFor([&] { return Strip(pid, all) == expected; }, 5000), "after closing %s: %s", front.c_str(),
           StripText(Strip(pid, all)).c_str());
    HWND arrange = FindDescendant(kestrova.main, kArrangeButton);
    Require(arrange != nullptr, "no arrange button");
    DWORD_PTR result = 0;
    Require(SendMessageTimeoutA(arrange, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0, "BM_CLICK timed out");
    std::map<int, std::string> compact;
    int next = 0;
    for (const auto& e : expected)
        compact[next++] = e.second;
    Expect(WaitFor([&] { return Strip(pid, all) == compact; }, 3000), "after arranging: %s, expected %s",
           StripText(Strip(pid, all)).c_str(), StripText(compact).c_str());
    for (HWND t : Thumbnails(pid))
        Expect(AlphaOf(t) == 204, "after arranging: alpha %d", AlphaOf(t));

    // The exit closes every thumbnail and leaves the windows shown as they were.
    Require(ExitByTray(kestrova), "still running after the tray's exit");
    Expect(kestrova.proc.ExitCode() == 0, "exit code %lu", kestrova.proc.ExitCode());
    // Its thumbnails are gone before the process ends: exit_leaves_no_thumbnail_behind.
    for (const Helper* h : {&kC, &kE, &kF}) {
        for (const Process* p : {&first, &second, &third}) {
            if (HWND w = HelperWindow(*p, h->title)) {
                Expect(IsWindowVisible(w) && IsWindowEnabled(w), "%s is hidden or disabled after the exit", h->title);
            }
        }
    }
}

KV_E2E_TEST(strip_defaults_without_settings_file)
{
    Scratch s;
    const std::string folder = s.Folder("app");
    ParkCursor();
    Process helper = Start(BuiltFile("kv_helper.exe"), HelperArgs({&kA}, 400));
    Require(WaitFor([&] { return HelperWindow(helper, kA.title) != nullptr; }, 5000), "the helper did not open");
    App kestrova = StartApp(s.InstallApp(folder), "", s.Root());
    const DWORD pid = kestrova.proc.Pid();

    Expect(HoldsFor([&] { return MessageBoxOf(pid) == nullptr; }, 1500),
           "a message box came up with the hover key free: [%s]",
           MessageBoxOf(pid) ? MessageBoxText(MessageBoxOf(pid)).c_str() : "");
    ExpectLabels(kestrova.main,
                 {{1009, "左辺に並べる"},
                  {1012, "MIDDLE"},
                  {1020, "10"},
                  {1021, "20"},
                  {1022, "10"},
                  {1023, "30"},
                  {1041, "16"},
                  {1053, "5"},
                  {1025, "60"},
                  {1105, "P"}},
                 "defaults");
    // The left layout's first slot is (20, 10, 180, 130); a 4:3 window fills it.
    Require(WaitFor([&] { return Thumbnails(pid).size() == 1; }, 5000), "%u thumbnails",
            unsigned(Thumbnails(pid).size()));
    HWND thumb = Thumbnails(pid)[0];
    Expect(SameRect(WindowRectOf(thumb), RECT{20, 10, 180, 130}), "thumbnail at %s",
           RectText(WindowRectOf(thumb)).c_str());
    Expect(AlphaOf(thumb) == 153, "TRANSPARENT 60: alpha %d", AlphaOf(thumb));
    Require(ExitByTray(kestrova), "still running after the tray's exit");
    Expect(!FileExists(folder + "\\Kestrova.ini"), "Kestrova.ini written");
}

KV_E2E_TEST(strip_survives_settings_out_of_range)
{
    struct Case {
        const char* name;
        const char* keys;
        int thumbnails;
        int alpha;  // of the thumbnail, when there is one
        std::vector<Label> labels;
    } cases[] = {
        {"SIZE 3: no slot size, no grid", "SIZE=3\r\n", 0, 0, {{1012, ""}}},
        {"LOCATION 9: no grid", "LOCATION=9\r\n", 0, 0, {{1009, ""}}},
        {"margins beyond 32 bits",
         "LEFTMARGIN=-2000000000\r\nBOTTOMMARGIN=-2147483648\r\n",
         1,
         153,
         {{1021, "-2000000000"}, {1023, "-2147483648"}}},
        {"TRANSPARENT 0 stays visible", "TRANSPARENT=0\r\n", 1, 51, {{1025, "0"}}},
        {"TRANSPARENT 101 does not wrap", "TRANSPARENT=101\r\n", 1, 255, {{1025, "101"}}},
        {"INTERVAL 0", "INTERVAL=0\r\n", 1, 153, {{1053, "0"}}},
    };
    Scratch s;
    ParkCursor();
    Process helper = Start(BuiltFile("kv_helper.exe"), HelperArgs({&kA}, 400));
    Require(WaitFor([&] { return HelperWindow(helper, kA.title) != nullptr; }, 5000), "the helper did not open");
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        App kestrova = StartApp(s.InstallAppWithSettings(folder, c.keys), "", s.Root());
        const DWORD pid = kestrova.proc.Pid();
        ExpectLabels(kestrova.main, c.labels, c.name);
        if (c.thumbnails) {
            Expect(WaitFor([&] { return Thumbnails(pid).size() == 1; }, 5000), "%s: %u thumbnails", c.name,
                   unsigned(Thumbnails(pid).size()));
            for (HWND t : Thumbnails(pid))
                Expect(AlphaOf(t) == c.alpha, "%s: alpha %d", c.name, AlphaOf(t));
        } else {
            Expect(HoldsFor([&] { return Thumbnails(pid).empty(); }, 2500), "%s: %u thumbnails", c.name,
                   unsigned(Thumbnails(pid).size()));
        }
        Expect(Responds(kestrova.main), "%s: the program does not answer", c.name);
        Expect(ExitByTray(kestrova), "%s: still running after the tray's exit", c.name);
        Expect(kestrova.proc.ExitCode() == 0, "%s: exit code %lu", c.name, kestrova.proc.ExitCode());
    }
}

KV_E2E_TEST(hover_key_taken_is_reported_once)
{
    // This harness holds Win+W, as another program would.
    Require(RegisterHotKey(nullptr, 1, MOD_WIN, 'W'), "cannot register Win+W for the test (error %lu)", GetLastError());
    Scratch s;
    Process kestrova = Start(s.InstallApp(s.Folder("app")), "", s.Root());
    HWND box = nullptr;
    const bool shown = WaitFor([&] { return (box = MessageBoxOf(kestrova.Pid())) != nullptr; }, 15000);
    UnregisterHotKey(nullptr, 1);
    Require(shown, "no message box while Win+W is taken (running: %d)", kestrova.Running());
    Expect(MessageBoxText(box) == "HOVERキーの登録が重複しています.他のキーに変更してください.", "box text [%s]",
           MessageBoxText(box).c_str());
    PressButton(box, IDOK);
    Require(WaitFor([&] { return !IsWindow(box); }, 5000), "the box stays after OK");
    HWND mainWnd = nullptr;
    Require(WaitFor([&] { return (mainWnd = MainWindowOf(kestrova.Pid())) != nullptr; }, 5000), "no main window");
    Expect(HoldsFor([&] { return MessageBoxOf(kestrova.Pid()) == nullptr; }, 1500), "a second box: [%s]",
           MessageBoxOf(kestrova.Pid()) ? MessageBoxText(MessageBoxOf(kestrova.Pid())).c_str() : "");
    Expect(Responds(mainWnd), "the program does not answer after the box");
    PostMessageA(mainWnd, WM_COMMAND, kCmdTrayExit, 0);
    Expect(kestrova.WaitExit(10000), "still running after the tray's exit");
}
