// The tray's exit while one of the program's message boxes is open: the box goes with the program,
// which ends at once with exit code 0 and puts its parked window back, and the box's question is
// taken as not answered.
#include <string>
#include <vector>

#include "e2e.h"
#include "kv_pattern.h"
#include "thumb_tools.h"

using namespace kv;

namespace {

const char kIni[] =
    "[SYSTEM]\r\nLOCATION=0\r\nSIZE=1\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
    "BOTTOMMARGIN=50\r\nLIMIT=8\r\nINTERVAL=5\r\nTRANSPARENT=100\r\n";
const char kRule[] = "TITLE=kv box rule\r\n";
const char kRules[] =
    "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\n"
    "TITLE=kv box rule\r\nPNAME=rule.exe\r\nTPART=\r\n";
const char kHoverTaken[] = "HOVERキーの登録が重複しています.他のキーに変更してください.";

const char kParkedArgs[] = "--title \"box parked\" --pos 300,300 --size 320x240 --minimized";
const char kHungArgs[] = "--title \"box hung\" --pos 340,300 --size 320x240";

struct Sources {
    Process parked;
    Process hung;
    HWND parkedWnd = nullptr;
    HWND hungWnd = nullptr;
};

struct Running {
    Scratch scratch;
    std::string folder;
    Process proc;
    HWND main = nullptr;
    DWORD Pid() const { return proc.Pid(); }
};

// The main window: the program's dialog that holds the control page (its box has the same caption).
HWND MainOf(DWORD pid)
{
    for (HWND hwnd : TopWindows(pid)) {
        if (ClassOf(hwnd) == "#32770" && TextOf(hwnd) == "Kestrova" && FindDescendant(hwnd, 1008))
            return hwnd;
    }
    return nullptr;
}

// A visible box of pid that says text.
HWND BoxSaying(DWORD pid, const std::string& text)
{
    for (HWND hwnd : TopWindows(pid)) {
        if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd) && MessageBoxText(hwnd) == text)
            return hwnd;
    }
    return nullptr;
}

std::string BoxesOf(DWORD pid)
{
    std::string text;
    for (HWND hwnd : TopWindows(pid)) {
        if (ClassOf(hwnd) == "#32770" && IsWindowVisible(hwnd) && !MessageBoxText(hwnd).empty())
            text += " [" + MessageBoxText(hwnd) + "]";
    }
    return text.empty() ? " none" : text;
}

bool Parked(HWND hwnd)
{
    return !IsIconic(hwnd) && !IsWindowEnabled(hwnd);
}

// With every slot used, a row of the list is its slot; slots of 160x120 along the top from x 100.
HWND ThumbnailOf(const Running& r, const char* title)
{
    const int row = RowOf(FindDescendant(r.main, kThumbList), title);
    return row < 0 ? nullptr : ThumbnailIn(r.Pid(), RECT{100 + 160 * row, 10, 260 + 160 * row, 130});
}

HWND WaitDialog(DWORD pid, const char* caption)
{
    HWND dlg = nullptr;
    Require(WaitFor([&] { return (dlg = DialogOf(pid, caption)) != nullptr; }, 10000), "no dialog %s", caption);
    return dlg;
}

// Kestrova with the two sources in its strip, the minimised one parked; waits for the box at start
// instead when Win+W is taken.
void StartKestrova(Running& r, const Sources& s, bool hoverKeyTaken)
{
    r.folder = r.scratch.Folder("app");
    WriteBytes(r.folder + "\\Kestrova.ini", kIni);
    WriteBytes(r.folder + "\\ExclusionData.ini", kRules);
    SetCursorPos(1270, 600);
    r.proc = Start(r.scratch.InstallApp(r.folder), "", r.scratch.Root());
    const DWORD pid = r.Pid();
    Require(WaitFor([&] { return (r.main = MainOf(pid)) != nullptr; }, 15000), "no main window");
    if (hoverKeyTaken)
        return;
    Require(WaitFor([&] { return Thumbnails(pid).size() == 2 && Parked(s.parkedWnd); }, 15000),
            "%u thumbnails, parked source parked %d", unsigned(Thumbnails(pid).size()), Parked(s.parkedWnd));
}

void OpenCurrentSettingBox(Running& r, const Sources&)
{
    Click(r.main, 1008);
    PressButton(WaitDialog(r.Pid(), "プロパティ設定"), 1117);
}

// Win+W is held by this harness, so the page registers no hover key at start and fails again here.
void OpenReRegistrationBox(Running& r, const Sources& s)
{
    HWND startBox = nullptr;
    Require(WaitFor([&] { return (startBox = BoxSaying(r.Pid(), kHoverTaken)) != nullptr; }, 15000), "no box at start");
    PressButton(startBox, IDOK);
    Require(WaitFor([&] { return !IsWindow(startBox); }, 5000), "the box at start stays");
    Require(WaitFor([&] { return Thumbnails(r.Pid()).size() == 2 && Parked(s.parkedWnd); }, 15000),
            "the strip did not fill");
    Click(r.main, 1008);
    HWND dlg = WaitDialog(r.Pid(), "プロパティ設定");
    SendMessageTimeoutA(GetDlgItem(dlg, 1044), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("3"), SMTO_ABORTIFHUNG, 3000,
                        nullptr);
    PressButton(dlg, IDOK);
}

void OpenNothing(Running&, const Sources&) {}

void OpenBusyBox(Running& r, const Sources& s)
{
    HWND thumb = ThumbnailOf(r, "box hung");
    Require(thumb != nullptr, "no thumbnail of the hung source");
    PostMessageA(s.hungWnd, kHelperHang, 8000, 0);
    Require(WaitFor([&] { return !Answers(s.hungWnd); }, 5000), "the source does not hang");
    PostMessageA(thumb, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
}

void OpenMoveBox(Running& r, const Sources&)
{
    Click(r.main, 1056);
}

void OpenDeleteQuestion(Running& r, const Sources&)
{
    SelectRow(FindDescendant(r.main, kRuleList), 0);
    Click(r.main, 1042);
}

void OpenSelectRuleBox(Running& r, const Sources&)
{
    Click(r.main, 1040);
}

}  // namespace

KV_E2E_TEST(tray_exit_while_a_message_box_is_open)
{
    Sources s;
    s.parked = Start(BuiltFile("kv_helper.exe"), kParkedArgs);
    s.hung = Start(BuiltFile("kv_helper.exe"), kHungArgs);
    Require(WaitFor(
                [&] {
                    return (s.parkedWnd = FindWindowA(nullptr, "box parked")) &&
                           (s.hungWnd = FindWindowA(nullptr, "box hung"));
                },
                5000),
            "the sources did not open");
    struct Case {
        const char* name;
        bool hoverKeyTaken;
        void (*open)(Running&, const Sources&);
        const char* text;
    } cases[] = {
        {"the check button's box", false, OpenCurrentSettingBox, "現在の設定です。"},
        {"the box at start", true, OpenNothing, kHoverTaken},
        {"the hover key registered again", true, OpenReRegistrationBox,
         "ホットキーの登録が重複しています.他のキーに変更してください "},
        {"the double click on a hung source", false, OpenBusyBox,
         "対象のウィンドが現在ビジー状態です。操作をSkipしました"},
        {"a move without a row", false, OpenMoveBox, "移動するウィンドウを選択してください。"},
        {"the delete question", false, OpenDeleteQuestion, "除外条件を削除しますか？"},
        {"a change without a rule", false, OpenSelectRuleBox, "除外条件を一覧で選択してください"},
    };
    for (const Case& c : cases) {
        if (c.hoverKeyTaken)
            Require(RegisterHotKey(nullptr, 1, MOD_WIN, 'W'), "%s: cannot hold Win+W (error %lu)", c.name,
                    GetLastError());
        Running r;
        StartKestrova(r, s, c.hoverKeyTaken);
        c.open(r, s);
        const bool shown = WaitFor([&] { return BoxSaying(r.Pid(), c.text) != nullptr; }, 10000);
        if (Expect(shown, "%s: no box [%s]; boxes:%s", c.name, c.text, BoxesOf(r.Pid()).c_str())) {
            PostMessageA(r.main, WM_COMMAND, kCmdTrayExit, 0);
            const bool ended = r.proc.WaitExit(5000);
            Expect(ended, "%s: still running 5 s after the tray's exit; boxes:%s", c.name, BoxesOf(r.Pid()).c_str());
            if (ended)
                Expect(r.proc.ExitCode() == 0, "%s: exit code %lu", c.name, r.proc.ExitCode());
        }
        if (r.proc.Running()) {
            TerminateProcess(r.proc.Handle(), 1);
            r.proc.WaitExit(5000);
        }
        if (c.hoverKeyTaken)
            UnregisterHotKey(nullptr, 1);
        Expect(WaitFor([&] { return IsIconic(s.parkedWnd) && IsWindowEnabled(s.parkedWnd); }, 3000),
               "%s: the parked source is left iconic %d enabled %d at %s", c.name, IsIconic(s.parkedWnd),
               IsWindowEnabled(s.parkedWnd), RectText(WindowRectOf(s.parkedWnd)).c_str());
        const std::string rules = ReadBytes(r.folder + "\\ExclusionData.ini");
        Expect(rules.find(kRule) != std::string::npos, "%s: the rule is gone: [%s]", c.name, rules.c_str());
        WaitFor([&] { return Answers(s.hungWnd); }, 10000);
    }
}
