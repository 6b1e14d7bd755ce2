// The rules file across runs, seen from outside: a first start, a damaged count that must neither
// block every window nor lose what the user adds, and a rule added while another program locks it.
#include <string>
#include <vector>

#include "e2e.h"
#include "thumb_tools.h"

using namespace kv;

namespace {

const char kRulesFile[] = "ExclusionData.ini";
const char kHelperClass[] = "KvHelperWindow";
const int kExcludeButton = 1030;  // the control page's exclusion of the row selected
const char kNotSavedText[] =
    "除外条件をExclusionData.iniに保存できませんでした。次の変更時と終了時にもう一度保存します。";

std::string Header(int count)
{
    return "[SYSTEM]\r\nEXCLUSIONNUM=" + std::to_string(count) + "\r\n";
}

// A rule as an exclusion from a thumbnail writes it.
std::string WindowRule(int index, const std::string& title, const std::string& exe)
{
    return "[ITEM" + std::to_string(index) + "]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\nTITLE=" + title +
           "\r\nPNAME=" + exe + "\r\nTPART=\r\n";
}

// A helper program with one window of this title; its process name is exe.
Process StartWindow(const Scratch& s, const std::string& exe, const std::string& title)
{
    Process p = Start(s.InstallHelper(s.Folder("helpers"), exe), "--title \"" + title + "\"");
    Require(WaitFor([&] { return FindTopWindow(p.Pid(), kHelperClass, title.c_str()) != nullptr; }, 10000),
            "the window [%s] did not open", title.c_str());
    return p;
}

// "process|title" of each rule on the exclusion list page, in its order.
std::vector<std::string> RuleRows(const App& app)
{
    std::vector<std::string> rows;
    HWND list = FindDescendant(app.main, kRuleList);
    for (int r = 0, n = list ? RowCount(list) : 0; r < n; ++r) {
        const std::vector<std::string> t = RowTexts(list, r, 2);
        rows.push_back(t.size() == 2 ? t[0] + "|" + t[1] : "?");
    }
    return rows;
}

HWND ThumbList(const App& app)
{
    HWND list = FindDescendant(app.main, kThumbList);
    Require(list != nullptr, "no thumbnail list");
    return list;
}

bool HasThumbnail(HWND thumbList, const std::string& title)
{
    return RowOf(thumbList, title) >= 0;
}

// Excludes the window from the control page's list, as the user would.
void Exclude(const App& app, const std::string& title)
{
    HWND list = ThumbList(app);
    Require(WaitFor([&] { return HasThumbnail(list, title); }, 8000), "no thumbnail for [%s]: %s", title.c_str(),
            Joined(Rows(list)).c_str());
    SelectRow(list, RowOf(list, title));
    Click(app.main, kExcludeButton);
    Require(WaitFor([&] { return !HasThumbnail(list, title); }, 5000), "[%s] keeps its thumbnail", title.c_str());
}

// Every window was handed to the strip once the console shows each one's addition.
bool AllOffered(const App& app, const std::vector<std::string>& titles)
{
    std::string text;
    if (!ReadConsoleOf(app.proc.Pid(), &text))
        return false;
    for (const std::string& t : titles) {
        if (text.find("AddWindow() title=" + t) == std::string::npos)
            return false;
    }
    return true;
}

}  // namespace

// A first start has no rules file: nothing is damaged, and nothing but the file is written.
KV_E2E_TEST(first_start_reports_no_damaged_rules)
{
    struct Case {
        const char* name;
        const char* seed;  // null: no file
    } cases[] = {
        {"no file", nullptr},
        {"an empty file", ""},
    };
    Scratch s;
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        if (c.seed)
            WriteBytes(folder + "\\" + kRulesFile, c.seed);
        App app = StartApp(s.InstallApp(folder), "-D574", s.Root());
        std::string text;
        Require(
            WaitFor(
                [&] { return ReadConsoleOf(app.proc.Pid(), &text) && text.find("CurrentDir=") != std::string::npos; },
                5000),
            "%s: no start-up trace on the console: [%s]", c.name, text.c_str());
        Require(ExitByTray(app), "%s: still running after the tray's exit", c.name);
        Expect(text.find("cannot be trusted") == std::string::npos, "%s: the console says [%s]", c.name, text.c_str());
        Expect(ReadBytes(folder + "\\" + kRulesFile) == Header(0), "%s: %s holds [%s]", c.name, kRulesFile,
               ReadBytes(folder + "\\" + kRulesFile).c_str());
        const std::vector<std::string> files = ListFolder(folder);
        Expect(files == std::vector<std::string>({kRulesFile, "Kestrova.exe"}), "%s: %u files in the folder", c.name,
               unsigned(files.size()));
    }
}

// A count far above its sections, or sections past it, is damage: the sections present are the
// rules, a window they do not name gets its thumbnail, and the bytes are kept. A count a few above
// its sections still gives default rules, which refuse every window until the user deletes them.
KV_E2E_TEST(damaged_count_blocks_no_window)
{
    const std::string other = WindowRule(0, "kv other", "kvother.exe");
    struct Case {
        const char* name;
        std::string seed;
        int rules;
        bool thumbnail;  // the helper window gets one
        bool damaged;
    } cases[] = {
        {"1000 with one section", Header(1000) + other, 1, true, true},
        {"sections past the count", Header(1) + WindowRule(1, "kv a", "a.exe") + WindowRule(2, "kv b", "b.exe"), 2,
         true, true},
        {"a count 2 above its sections", Header(3) + other, 3, false, false},
    };
    Scratch s;
    Process window = StartWindow(s, "kvcounted.exe", "kv counted");
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        const std::string rules = folder + "\\" + kRulesFile;
        WriteBytes(rules, c.seed);
        App app = StartApp(s.InstallApp(folder), "-D574", s.Root());
        HWND thumbs = ThumbList(app);
        Require(WaitFor([&] { return AllOffered(app, {"kv counted"}); }, 8000), "%s: the window was not offered",
                c.name);
        // The thumbnail comes in the handling that traced the addition; the wait is for a loaded machine.
        const bool shown = WaitFor([&] { return HasThumbnail(thumbs, "kv counted"); }, 3000);
        Expect(shown == c.thumbnail, "%s: thumbnails %s", c.name, Joined(Rows(thumbs)).c_str());
        Expect(RuleRows(app).size() == size_t(c.rules), "%s: %u rules listed", c.name, unsigned(RuleRows(app).size()));
        Require(ExitByTray(app), "%s: still running after the tray's exit", c.name);
        const std::string written = ReadBytes(rules);
        Expect(written.find(Header(c.rules)) == 0 && written.size() < 200u * c.rules, "%s: %u bytes written: [%s]",
               c.name, unsigned(written.size()), written.c_str());
        if (c.damaged)
            Expect(ReadBytes(rules + ".damaged") == c.seed, "%s: %s.damaged holds [%s]", c.name, kRulesFile,
                   ReadBytes(rules + ".damaged").c_str());
        else
            Expect(!FileExists(rules + ".damaged"), "%s: a sound file was kept as damaged", c.name);
    }
}

// Rules excluded run after run over a file whose count cannot be trusted are all in force at the
// next start, and the damaged bytes stay on the disk.
KV_E2E_TEST(rules_added_over_runs_survive_a_damaged_file)
{
    const std::string seed = "[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n" + WindowRule(0, "kv old", "kvold.exe");
    const struct Run {
        const char* exe;
        const char* title;
    } runs[] = {{"kvrunone.exe", "kv run one"}, {"kvruntwo.exe", "kv run two"}};
    Scratch s;
    const std::string folder = s.Folder("app");
    const std::string rules = folder + "\\" + kRulesFile;
    const std::string exe = s.InstallApp(folder);
    WriteBytes(rules, seed);
    std::vector<Process> windows;
    for (const Run& r : runs) {
        windows.push_back(StartWindow(s, r.exe, r.title));
        App app = StartApp(exe, "", s.Root());
        Exclude(app, r.title);
        Require(ExitByTray(app), "[%s]: still running after the tray's exit", r.title);
    }

    windows.push_back(StartWindow(s, "kvrunfree.exe", "kv run free"));
    App app = StartApp(exe, "-D574", s.Root());
    HWND thumbs = ThumbList(app);
    Require(WaitFor(
                [&] {
                    return AllOffered(app, {"kv run one", "kv run two", "kv run free"});
                },
                10000),
            "the three windows were not offered");
    Expect(WaitFor([&] { return HasThumbnail(thumbs, "kv run free"); }, 3000), "no thumbnail for the free window");
    Expect(HoldsFor([&] { return !HasThumbnail(thumbs, "kv run one") && !HasThumbnail(thumbs, "kv run two"); }, 1000),
           "thumbnails %s", Joined(Rows(thumbs)).c_str());
    const std::vector<std::string> listed = RuleRows(app);
    Expect(
        listed == std::vector<std::string>({"kvruntwo.exe|kv run two", "kvrunone.exe|kv run one", "kvold.exe|kv old"}),
        "rules %s", Joined(listed).c_str());
    Require(ExitByTray(app), "still running after the third exit");
    Expect(ReadBytes(rules + ".damaged") == seed, "%s.damaged holds [%s]", kRulesFile,
           ReadBytes(rules + ".damaged").c_str());
    const std::vector<std::string> files = ListFolder(folder);
    Expect(files == std::vector<std::string>({kRulesFile, "ExclusionData.ini.damaged", "Kestrova.exe"}),
           "the folder holds %s", Joined(files).c_str());
}

// Locked by another program while a rule is added: the user is told once, and the rule is in force
// at the next start whether the run ends by the tray with the file still locked, or by a kill once
// the lock is gone.
KV_E2E_TEST(rule_added_while_the_file_is_locked)
{
    const std::string seed = Header(1) + WindowRule(0, "kv old", "kvold.exe");
    const std::string both = Header(3) + WindowRule(0, "kv lock two", "kvlocktwo.exe") +
                             WindowRule(1, "kv lock one", "kvlockone.exe") + WindowRule(2, "kv old", "kvold.exe");
    struct Case {
        const char* name;
        bool killed;  // else the tray's exit with the file still locked
    } cases[] = {
        {"locked through the exit", false},
        {"killed once the lock is gone", true},
    };
    Scratch s;
    Process one = StartWindow(s, "kvlockone.exe", "kv lock one");
    Process two = StartWindow(s, "kvlocktwo.exe", "kv lock two");
    int n = 0;
    for (const Case& c : cases) {
        const std::string folder = s.Folder("case" + std::to_string(n++));
        const std::string rules = folder + "\\" + kRulesFile;
        const std::string exe = s.InstallApp(folder);
        WriteBytes(rules, seed);
        App app = StartApp(exe, "", s.Root());
        HANDLE lock = CreateFileA(rules.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        Require(lock != INVALID_HANDLE_VALUE, "%s: cannot lock the file", c.name);

        Exclude(app, "kv lock one");
        HWND box = nullptr;
        Expect(WaitFor([&] { return (box = MessageBoxOfProcess(app.proc.Pid())) != nullptr; }, 5000),
               "%s: no message box", c.name);
        if (box) {
            Expect(MessageBoxText(box) == kNotSavedText, "%s: the box says [%s]", c.name, MessageBoxText(box).c_str());
            PressButton(box, IDOK);
            Expect(WaitFor([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000), "%s: the box stays", c.name);
        }
        Exclude(app, "kv lock two");
        Expect(HoldsFor([&] { return MessageBoxOfProcess(app.proc.Pid()) == nullptr; }, 1500), "%s: told a second time",
               c.name);
        if (HWND again = MessageBoxOfProcess(app.proc.Pid()))
            PressButton(again, IDOK);

        if (c.killed) {
            CloseHandle(lock);
            TerminateProcess(app.proc.Handle(), 1);
            Require(app.proc.WaitExit(5000), "%s: still running after TerminateProcess", c.name);
        } else {
            const bool ended = ExitByTray(app);
            CloseHandle(lock);
            Require(ended, "%s: still running after the tray's exit", c.name);
        }
        Expect(ReadBytes(rules) == seed, "%s: the locked file holds [%s]", c.name, ReadBytes(rules).c_str());

        App next = StartApp(exe, "", s.Root());
        const std::vector<std::string> listed = RuleRows(next);
        Expect(listed == std::vector<std::string>(
                             {"kvlocktwo.exe|kv lock two", "kvlockone.exe|kv lock one", "kvold.exe|kv old"}),
               "%s: at the next start the rules are %s", c.name, Joined(listed).c_str());
        Require(ExitByTray(next), "%s: still running after the next exit", c.name);
        Expect(ReadBytes(rules) == both, "%s: at last the file holds [%s]", c.name, ReadBytes(rules).c_str());
        Expect(!FileExists(rules + ".new"), "%s: %s.new stays", c.name, kRulesFile);
    }
}
