// The control page's thumbnail list as a user sees it: its rows, the move and exclude buttons,
// exclusion from the list and from a thumbnail's menu, and the transparency dialog.
#include <map>
#include <string>
#include <vector>

#include "e2e.h"
#include "thumb_tools.h"

using namespace kv;

namespace {

// Each source has its own aspect, so its thumbnail's size tells which one it is.
struct Source {
    const char* title;
    SIZE size;
    SIZE thumb;  // in a 160x120 slot
};
const Source kA = {"list A", {320, 240}, {160, 120}};
const Source kB = {"list B", {400, 200}, {160, 80}};
const Source kC = {"list C", {240, 240}, {120, 120}};

const char kIni[] =
    "[SYSTEM]\r\nLOCATION=3\r\nSIZE=1\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
    "BOTTOMMARGIN=50\r\nLIMIT=6\r\nINTERVAL=5\r\n";

// Slots of 160x120 along the bottom from x 100.
RECT Slot(int i)
{
    return {100 + 160 * i, 854, 260 + 160 * i, 974};
}

// slot -> title for every thumbnail, found by its size; "?" for one that fits no source or slot.
std::string StripOf(DWORD pid)
{
    std::map<int, std::string> strip;
    for (HWND t : Thumbnails(pid)) {
        const RECT r = WindowRectOf(t);
        std::string title = "?";
        for (const Source* s : {&kA, &kB, &kC}) {
            if (r.right - r.left == s->thumb.cx && r.bottom - r.top == s->thumb.cy)
                title = s->title;
        }
        int slot = -1;
        for (int i = 0; i < 7; ++i) {
            const RECT cell = Slot(i);
            if (r.left >= cell.left && r.right <= cell.right && r.top >= cell.top && r.bottom <= cell.bottom)
                slot = i;
        }
        strip[slot] = title;
    }
    std::string text;
    for (const auto& e : strip)
        text += (text.empty() ? "" : " ") + std::to_string(e.first) + ":" + e.second;
    return text;
}

std::string Row(const char* title, HWND source)
{
    return std::string(title) + "|kv_helper.exe|" + HandleText(source);
}

struct Running {
    Scratch scratch;
    std::string folder;
    std::vector<Process> helpers;
    App app;
    HWND list = nullptr;
};

// Kestrova with the bottom layout, then one source process after another, each waited for until
// its thumbnail is in, so that the slots are taken in the order given.
void StartWith(Running& r, const std::vector<std::string>& sources, const char* ini = kIni)
{
    r.folder = r.scratch.Folder("app");
    WriteBytes(r.folder + "\\Kestrova.ini", ini);
    SetCursorPos(1270, 300);
    r.app = StartApp(r.scratch.InstallApp(r.folder), "", r.scratch.Root());
    r.list = FindDescendant(r.app.main, kThumbList);
    Require(r.list != nullptr, "no thumbnail list");
    for (const std::string& args : sources) {
        r.helpers.push_back(Start(BuiltFile("kv_helper.exe"), args));
        const size_t expected = r.helpers.size();
        Require(
            WaitFor(
                [&] { return Thumbnails(r.app.proc.Pid()).size() == expected && RowCount(r.list) == int(expected); },
                15000),
            "%u thumbnails and %d rows, expected %u", unsigned(Thumbnails(r.app.proc.Pid()).size()), RowCount(r.list),
            unsigned(expected));
    }
}

std::string ArgsOf(const Source& s, int x, const char* extra = "")
{
    return "--title \"" + std::string(s.title) + "\" --pos " + std::to_string(x) + ",100 --size " +
           std::to_string(s.size.cx) + "x" + std::to_string(s.size.cy) + " " + extra;
}

HWND SourceOf(const Source& s)
{
    return FindWindowA(nullptr, s.title);
}

// The box a button shows: its text, answered with OK.
std::string AnswerBox(DWORD pid)
{
    HWND box = nullptr;
    if (!WaitFor([&] { return (box = MessageBoxOfProcess(pid)) != nullptr; }, 5000))
        return "<no box>";
    const std::string text = MessageBoxText(box);
    PressButton(box, IDOK);
    WaitFor([&] { return !IsWindow(box); }, 5000);
    return text;
}

}  // namespace

KV_E2E_TEST(thumbnail_list_rows_and_move_buttons)
{
    Running r;
    StartWith(r, {ArgsOf(kA, 300), ArgsOf(kB, 340), ArgsOf(kC, 380)});
    const DWORD pid = r.app.proc.Pid();
    HWND a = SourceOf(kA), b = SourceOf(kB), c = SourceOf(kC);
    Expect(Joined(Rows(r.list)) == Joined({Row(kA.title, a), Row(kB.title, b), Row(kC.title, c)}), "rows %s",
           Joined(Rows(r.list)).c_str());
    Expect(StripOf(pid) == "0:list A 1:list B 2:list C", "strip %s", StripOf(pid).c_str());
    // The icon cache owns the image list; the list only shares it, or both would destroy it.
    Expect(GetWindowLongA(r.list, GWL_STYLE) & LVS_SHAREIMAGELISTS, "the list does not share its image list");

    // Every button with no row chosen says so.
    struct Box {
        int id;
        const char* text;
    } boxes[] = {{1058, "移動するウィンドウを選択してください。"},
                 {1056, "移動するウィンドウを選択してください。"},
                 {1057, "移動するウィンドウを選択してください。"},
                 {1059, "移動するウィンドウを選択してください。"},
                 {1030, "除外するウィンドウを選択してください。"}};
    Require(SelectionMark(r.list) == -1, "a row is chosen at the start: %d", SelectionMark(r.list));
    for (const Box& box : boxes) {
        Click(r.app.main, box.id);
        const std::string text = AnswerBox(pid);
        Expect(text == box.text, "button %d: box [%s], expected [%s]", box.id, text.c_str(), box.text);
    }

    // B goes: slot 1 is free. "↑" on C passes over it and trades places with A.
    PostMessageA(b, WM_CLOSE, 0, 0);
    Require(WaitFor([&] { return StripOf(pid) == "0:list A 2:list C" && RowCount(r.list) == 2; }, 5000),
            "after closing B: %s, rows %s", StripOf(pid).c_str(), Joined(Rows(r.list)).c_str());
    SelectRow(r.list, 1);
    Click(r.app.main, 1056);
    Expect(WaitFor([&] { return StripOf(pid) == "0:list C 2:list A"; }, 5000), "after ↑ on C: %s",
           StripOf(pid).c_str());
    Expect(WaitFor(
               [&] {
                   return Joined(Rows(r.list)) == Joined({Row(kC.title, c), Row(kA.title, a)});
               },
               3000),
           "rows after ↑: %s", Joined(Rows(r.list)).c_str());
    Expect(SelectionMark(r.list) == 0, "the selection did not follow C: mark %d", SelectionMark(r.list));

    // At the ends nothing moves: "先頭" on the first row, "↓" and "最後尾" on the last.
    struct End {
        int row, id;
    } ends[] = {{0, 1058}, {0, 1056}, {1, 1057}, {1, 1059}};
    for (const End& e : ends) {
        SelectRow(r.list, e.row);
        Click(r.app.main, e.id);
        Expect(HoldsFor([&] { return StripOf(pid) == "0:list C 2:list A"; }, 600), "button %d on row %d moved: %s",
               e.id, e.row, StripOf(pid).c_str());
    }
    Expect(MessageBoxOfProcess(pid) == nullptr, "a box came up at the ends");

    // "最後尾" from the front, then "先頭" back.
    SelectRow(r.list, 0);
    Click(r.app.main, 1059);
    Expect(WaitFor([&] { return StripOf(pid) == "0:list A 2:list C"; }, 5000), "after 最後尾 on C: %s",
           StripOf(pid).c_str());
    SelectRow(r.list, 1);
    Click(r.app.main, 1058);
    Expect(WaitFor([&] { return StripOf(pid) == "0:list C 2:list A"; }, 5000), "after 先頭 on C: %s",
           StripOf(pid).c_str());
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(thumbnail_exclusion_from_list_and_menu)
{
    const Source twin = {"list twin", {320, 240}, {160, 120}};
    Running r;
    // Two windows alike, and C minimised, so that its thumbnail parks it.
    StartWith(r, {ArgsOf(twin, 300), ArgsOf(twin, 340), ArgsOf(kB, 380), ArgsOf(kC, 420, "--minimized")});
    const DWORD pid = r.app.proc.Pid();
    HWND c = SourceOf(kC);
    Require(WaitFor([&] { return !IsIconic(c) && !IsWindowEnabled(c); }, 8000), "C was not parked");
    HWND rules = FindDescendant(r.app.main, kRuleList);
    Require(rules != nullptr, "no rule list");
    const int rulesAtStart = RowCount(rules);
    const RECT bRect = WindowRectOf(ThumbnailIn(pid, Slot(2)));

    // The first twin from the list: its thumbnail goes, the others stay where they were.
    SelectRow(r.list, RowOf(r.list, twin.title));
    Click(r.app.main, 1030);
    Expect(WaitFor([&] { return Thumbnails(pid).size() == 3 && !ThumbnailIn(pid, Slot(0)); }, 5000),
           "the first twin's thumbnail stays: %u thumbnails", unsigned(Thumbnails(pid).size()));
    Expect(ThumbnailIn(pid, Slot(1)) && SameRect(WindowRectOf(ThumbnailIn(pid, Slot(2))), bRect),
           "the other thumbnails moved");
    Expect(WaitFor([&] { return RowCount(rules) == rulesAtStart + 1; }, 3000), "rules %d, expected %d", RowCount(rules),
           rulesAtStart + 1);
    Expect(RowCount(r.list) == 3, "rows %s", Joined(Rows(r.list)).c_str());

    // The second twin: an equal rule exists, so none is added; the thumbnail still goes.
    SelectRow(r.list, RowOf(r.list, twin.title));
    Click(r.app.main, 1030);
    Expect(WaitFor([&] { return Thumbnails(pid).size() == 2; }, 5000), "the second twin's thumbnail stays");
    Expect(HoldsFor([&] { return RowCount(rules) == rulesAtStart + 1; }, 800), "an equal rule was added: %d rules",
           RowCount(rules));

    // C from its thumbnail's menu: the parked source comes back minimised with its own styles.
    HWND cThumb = ThumbnailIn(pid, Slot(3));
    Require(cThumb != nullptr, "no thumbnail in slot 3");
    PostMessageA(cThumb, WM_COMMAND, 32780, 0);
    Expect(WaitFor([&] { return !IsWindow(cThumb); }, 5000), "C's thumbnail stays");
    Expect(WaitFor([&] { return IsIconic(c) && IsWindowEnabled(c); }, 5000), "C: iconic %d, enabled %d", IsIconic(c),
           IsWindowEnabled(c));
    Expect(!(GetWindowLongA(c, GWL_EXSTYLE) & WS_EX_LAYERED), "C stays layered");
    Expect(WaitFor([&] { return RowCount(rules) == rulesAtStart + 2; }, 3000), "rules %d after C", RowCount(rules));
    Expect(Joined(Rows(r.list)) == Joined({Row(kB.title, SourceOf(kB))}), "rows %s", Joined(Rows(r.list)).c_str());

    Require(ExitByTray(r.app), "still running after the tray's exit");
    const std::string rulesFile = ReadBytes(r.folder + "\\ExclusionData.ini");
    Expect(rulesFile.find("[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\nTITLE=list C\r\n") !=
               std::string::npos,
           "ExclusionData.ini: [%s]", rulesFile.c_str());
    Expect(rulesFile.find("TITLE=list twin\r\n") != std::string::npos && rulesFile.find("[ITEM2]") == std::string::npos,
           "ExclusionData.ini: [%s]", rulesFile.c_str());
}

KV_E2E_TEST(transparency_dialog_sets_every_thumbnail)
{
    Running r;
    StartWith(r, {ArgsOf(kA, 300), ArgsOf(kB, 340)});
    const DWORD pid = r.app.proc.Pid();
    const std::string ini = r.folder + "\\Kestrova.ini";
    struct Step {
        const char* typed;  // null: leave the text as shown
        int percent;        // what the page holds afterwards
        bool written;
    } steps[] = {{"80", 80, true}, {nullptr, 80, false}, {"", 80, false}, {"300", 80, false}, {"100", 100, true}};
    int current = 60;  // the default
    for (const Step& s : steps) {
        // Only the stamp is watched until the save is in: a read could make the program's replace fail.
        const Stamp before = StampOf(ini);
        Click(r.app.main, 1010);
        HWND dlg = nullptr;
        Require(WaitFor([&] { return (dlg = DialogOf(pid, "透明度設定")) != nullptr; }, 5000),
                "no transparency dialog");
        HWND edit = GetDlgItem(dlg, 1026);
        Expect(EditText(edit) == std::to_string(current), "the dialog shows [%s], expected %d", EditText(edit).c_str(),
               current);
        if (s.typed)
            SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.typed), SMTO_ABORTIFHUNG, 3000,
                                nullptr);
        PressButton(dlg, IDOK);
        Require(WaitFor([&] { return !IsWindow(dlg); }, 5000), "the dialog stays after OK");
        const int alpha = s.percent * 255 / 100;
        Expect(WaitFor(
                   [&] {
                       for (HWND t : Thumbnails(pid))
                           if (AlphaOf(t) != alpha)
                               return false;
                       return true;
                   },
                   3000),
               "typed [%s]: alpha %d, expected %d", s.typed ? s.typed : "(as shown)", AlphaOf(Thumbnails(pid)[0]),
               alpha);
        // The dialog is gone before the page has applied its value.
        Expect(WaitFor([&] { return TextOf(FindDescendant(r.app.main, 1025)) == std::to_string(s.percent); }, 3000),
               "typed [%s]: static 1025 shows [%s]", s.typed ? s.typed : "",
               TextOf(FindDescendant(r.app.main, 1025)).c_str());
        if (s.written) {
            // The replace may leave no file for a moment: wait for the new one.
            Expect(WaitFor(
                       [&] {
                           const Stamp now = StampOf(ini);
                           return now.exists && !SameStamp(now, before);
                       },
                       5000),
                   "typed [%s]: Kestrova.ini not written", s.typed ? s.typed : "");
            const std::string after = ReadBytes(ini);
            Expect(after.find("TRANSPARENT=" + std::to_string(s.percent) + "\r\n") != std::string::npos,
                   "Kestrova.ini: [%s]", after.c_str());
        } else {
            Expect(HoldsFor([&] { return SameStamp(StampOf(ini), before); }, 1000),
                   "typed [%s]: Kestrova.ini was written", s.typed ? s.typed : "");
        }
        current = s.percent;
    }
    Require(ExitByTray(r.app), "still running after the tray's exit");
}
