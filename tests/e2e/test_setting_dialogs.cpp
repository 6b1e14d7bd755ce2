// The number fields of the property, transparency and reload-interval dialogs as a user meets them:
// the arrows step the value, bad text keeps where the arrows went; and the transparency dialog's OK
// without a change leaves the file and the thumbnails alone.
#include <string>
#include <vector>

#include "e2e.h"
#include "thumb_tools.h"

using namespace kv;

namespace {

// Slots of 160x120 along the top from x 100.
const char kIni[] =
    "[SYSTEM]\r\nLOCATION=0\r\nSIZE=1\r\nLEFTMARGIN=100\r\nTOPMARGIN=10\r\nRIGHTMARGIN=10\r\n"
    "BOTTOMMARGIN=50\r\nLIMIT=16\r\nINTERVAL=5\r\nTRANSPARENT=60\r\n";
const UINT kReloadInterval = 32785;

struct Running {
    Scratch scratch;
    std::string folder;
    std::string ini;
    Process source;
    App app;
    HWND thumb = nullptr;
    DWORD Pid() const { return app.proc.Pid(); }
};

// Kestrova with one browser window in its strip.
void StartWithBrowser(Running& r)
{
    r.folder = r.scratch.Folder("app");
    r.ini = r.folder + "\\Kestrova.ini";
    WriteBytes(r.ini, kIni);
    SetCursorPos(1270, 600);
    r.app = StartApp(r.scratch.InstallApp(r.folder), "", r.scratch.Root());
    const std::string exe = r.scratch.InstallHelper(r.scratch.Folder("browser"), "firefox.exe");
    r.source = Start(exe, "--children firefox --title \"dialog ff\" --pos 300,300 --size 320x240");
    Require(WaitFor(
                [&] {
                    return (r.thumb = ThumbnailIn(r.Pid(), RECT{100, 10, 260, 130})) != nullptr;
                },
                15000),
            "no thumbnail for the browser window");
}

struct Opener {
    const char* caption;
    void (*open)(const Running& r);
};

void OpenProperties(const Running& r)
{
    Click(r.app.main, 1008);
}
void OpenTransparency(const Running& r)
{
    Click(r.app.main, 1010);
}
void OpenInterval(const Running& r)
{
    PostMessageA(r.thumb, WM_COMMAND, kReloadInterval, 0);
}

const Opener kProperties = {"プロパティ設定", OpenProperties};
const Opener kTransparency = {"透明度設定", OpenTransparency};
const Opener kInterval = {"更新間隔設定", OpenInterval};

HWND OpenDialog(const Running& r, const Opener& o)
{
    o.open(r);
    HWND dlg = nullptr;
    Require(WaitFor([&] { return (dlg = DialogOf(r.Pid(), o.caption)) != nullptr; }, 10000), "no dialog %s", o.caption);
    return dlg;
}

void CloseDialog(HWND dlg, int button)
{
    PressButton(dlg, button);
    Require(WaitFor([&] { return !IsWindow(dlg) || !IsWindowVisible(dlg); }, 10000), "the dialog stays");
}

// The arrow keys in the edit, one step at a time, each waited for in the edit's text.
bool Step(HWND edit, int from, int steps)
{
    for (int i = 1; i <= (steps < 0 ? -steps : steps); ++i) {
        const WPARAM key = steps < 0 ? VK_DOWN : VK_UP;
        PostMessageA(edit, WM_KEYDOWN, key, 1);
        PostMessageA(edit, WM_KEYUP, key, 0xC0000001);
        const std::string want = std::to_string(from + (steps < 0 ? -i : i));
        if (!WaitFor([&] { return EditText(edit) == want; }, 3000))
            return false;
    }
    return true;
}

}  // namespace

KV_E2E_TEST(setting_dialogs_keep_the_spins_last_position_for_bad_text)
{
    Running r;
    StartWithBrowser(r);
    struct Case {
        const char* name;
        const Opener* dialog;
        int edit;
        int shown;  // the value the dialog opens with
        int steps;
        const char* typed;
        int expected;
    } cases[] = {
        {"limit", &kProperties, 1044, 16, 4, "2x", 20},
        {"top margin emptied", &kProperties, 1014, 10, 4, "", 14},
        {"transparency", &kTransparency, 1026, 60, -4, "abc", 56},
        {"reload interval", &kInterval, 1054, 30, 3, "5000", 33},
    };
    for (const Case& c : cases) {
        HWND dlg = OpenDialog(r, *c.dialog);
        HWND edit = GetDlgItem(dlg, c.edit);
        Expect(EditText(edit) == std::to_string(c.shown), "%s: the dialog opens with [%s]", c.name,
               EditText(edit).c_str());
        Require(Step(edit, c.shown, c.steps), "%s: the arrows did not step to %d: [%s]", c.name, c.shown + c.steps,
                EditText(edit).c_str());
        SendMessageTimeoutA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.typed), SMTO_ABORTIFHUNG, 3000, nullptr);
        CloseDialog(dlg, IDOK);
        // The value taken is the one the dialog opens with next time.
        dlg = OpenDialog(r, *c.dialog);
        const std::string again = EditText(GetDlgItem(dlg, c.edit));
        Expect(again == std::to_string(c.expected), "%s: %d stepped %d, then [%s]: %s kept, expected %d", c.name,
               c.shown, c.steps, c.typed, again.c_str(), c.expected);
        CloseDialog(dlg, IDCANCEL);
    }
    Require(ExitByTray(r.app), "still running after the tray's exit");
}

KV_E2E_TEST(transparency_ok_without_a_change_writes_nothing_and_leaves_the_thumbnails)
{
    Running r;
    StartWithBrowser(r);
    // Gone, so that a save would make it again; the thumbnail's alpha set from here, so that a
    // SetAlpha of the unchanged value would show.
    Require(DeleteFileA(r.ini.c_str()), "cannot remove Kestrova.ini (error %lu)", GetLastError());
    Require(WaitFor([&] { return AlphaOf(r.thumb) == 153; }, 5000), "the thumbnail's alpha is %d, not 60 %%",
            AlphaOf(r.thumb));
    const char* typed[] = {nullptr, "60", "abc", "300"};
    for (const char* t : typed) {
        const char* name = t ? t : "(as shown)";
        SetLayeredWindowAttributes(r.thumb, 0, 200, LWA_ALPHA);
        Require(AlphaOf(r.thumb) == 200, "cannot set the thumbnail's alpha from outside: %d", AlphaOf(r.thumb));
        HWND dlg = OpenDialog(r, kTransparency);
        if (t)
            SendMessageTimeoutA(GetDlgItem(dlg, 1026), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(t), SMTO_ABORTIFHUNG,
                                3000, nullptr);
        CloseDialog(dlg, IDOK);
        Expect(HoldsFor([&] { return !FileExists(r.ini) && AlphaOf(r.thumb) == 200; }, 1000),
               "typed %s: Kestrova.ini %s, the thumbnail's alpha %d", name, FileExists(r.ini) ? "made again" : "absent",
               AlphaOf(r.thumb));
        Expect(TextOf(FindDescendant(r.app.main, 1025)) == "60", "typed %s: static 1025 shows [%s]", name,
               TextOf(FindDescendant(r.app.main, 1025)).c_str());
    }
    Require(ExitByTray(r.app), "still running after the tray's exit");
    Expect(!FileExists(r.ini), "the exit wrote Kestrova.ini");
}
