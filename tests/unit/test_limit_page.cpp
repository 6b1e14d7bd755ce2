#include "tracking/LimitDlg.h"

#include <gtest/gtest.h>

#include "tests/unit/support/text.h"

namespace {

ExclusionRule Rule(const char* title, const char* processName, int full = 1, const char* pattern = "")
{
    ExclusionRule r = RuleForWindow(title, processName);
    r.fullNameMatch = full;
    r.titlePattern = pattern;
    return r;
}

}  // namespace

TEST(ExclusionPage, ThePickedRuleIsFoundAgainAfterANestedLoop)
{
    const ExclusionRule a = Rule("A", "a.exe");
    const ExclusionRule b = Rule("B", "b.exe");
    const ExclusionRule c = Rule("C", "c.exe");
    struct Case {
        const char* name;
        std::vector<ExclusionRule> now;
        int row;
        ExclusionRule picked;
        int expected;
    } cases[] = {
        {"unchanged", {a, b, c}, 1, b, 1},
        {"a rule inserted at the front meanwhile", {c, a, b}, 1, b, 2},
        {"the picked rule was deleted", {a, c}, 1, b, -1},
        {"the list emptied", {}, 0, a, -1},
        {"row past the end after a change", {a}, 3, a, 0},
        {"an equal rule elsewhere differs in its pattern", {Rule("B", "b.exe", 1, "x")}, 0, b, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, RelocateRule(c.now, c.row, c.picked)) << c.name;
}

TEST(ExclusionPage, DuplicateTestLooksAtSwitchesTitleAndProcessName)
{
    struct Case {
        const char* name;
        ExclusionRule existing;
        bool duplicate;
    } cases[] = {
        {"same rule", Rule("メモ帳", "notepad.exe"), true},
        {"same but with a pattern", Rule("メモ帳", "notepad.exe", 1, "メモ"), true},
        {"partial match rule", Rule("メモ帳", "notepad.exe", 0), false},
        {"other process", Rule("メモ帳", "wordpad.exe"), false},
        {"title differs in case", Rule("MEMO", "notepad.exe"), false},
    };
    for (const Case& c : cases) {
        const std::vector<ExclusionRule> rules = {c.existing};
        const char* title = c.existing.title == "MEMO" ? "memo" : "メモ帳";
        EXPECT_EQ(c.duplicate, HasRuleForWindow(rules, title, "notepad.exe")) << c.name;
    }
}

#include "tracking/ExclusionStore.h"

#include <string>

// A rule added through the page is in the file at once: a crash or End Task must not lose it.
TEST(ExclusionPage, AnAddedRuleIsSavedAtOnce)
{
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(sizeof previous, previous);
    char temp[MAX_PATH] = {};
    ::GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "kv_page_" + std::to_string(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(::SetCurrentDirectoryA(folder.c_str()));

    ExclusionStore::m_pInstance = new ExclusionStore();
    CLimitDlg page;  // no window: the list calls go nowhere
    page.LoadExclusionRules();
    EXPECT_EQ("<missing>", FileBytes("ExclusionData.ini"));
    page.AddExclusionRule("無題 - メモ帳", "notepad.exe");
    const std::string saved = FileBytes("ExclusionData.ini");
    EXPECT_EQ(
        "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\n"
        "TITLE=無題 - メモ帳\r\nPNAME=notepad.exe\r\nTPART=\r\n",
        saved);
    delete ExclusionStore::m_pInstance;
    EXPECT_EQ(saved, FileBytes("ExclusionData.ini")) << "the exit's save";

    ::DeleteFileA("ExclusionData.ini");
    ::SetCurrentDirectoryA(previous);
    EXPECT_TRUE(::RemoveDirectoryA(folder.c_str()));
}

// Held by another program at start-up, the file is merged in at the first save; the page then
// shows those rules too, so that its next change does not drop them from the file.
TEST(ExclusionPage, RulesOfAFileReadLateStayThroughTheNextChange)
{
    char previous[MAX_PATH] = {};
    ::GetCurrentDirectoryA(sizeof previous, previous);
    char temp[MAX_PATH] = {};
    ::GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "kv_page_late_" + std::to_string(::GetCurrentProcessId());
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(::SetCurrentDirectoryA(folder.c_str()));
    const std::string old =
        "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\nPNAMEFLAG=1\r\nFULLNAMEFLAG=1\r\n"
        "TITLE=old\r\nPNAME=old.exe\r\nTPART=\r\n";
    ASSERT_TRUE(WriteFileBytes("ExclusionData.ini", old));

    HANDLE holder = ::CreateFileA("ExclusionData.ini", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    testing::internal::CaptureStdout();
    ExclusionStore::m_pInstance = new ExclusionStore();
    CLimitDlg page;
    page.LoadExclusionRules();
    EXPECT_TRUE(page.m_rules.empty());
    ::CloseHandle(holder);
    page.AddExclusionRule("a", "a.exe");
    EXPECT_EQ(2u, page.m_rules.size()) << "the page does not show the file's rule";
    page.AddExclusionRule("b", "b.exe");
    delete ExclusionStore::m_pInstance;
    testing::internal::GetCapturedStdout();
    const std::string saved = FileBytes("ExclusionData.ini");
    EXPECT_NE(std::string::npos, saved.find("EXCLUSIONNUM=3\r\n")) << saved;
    EXPECT_NE(std::string::npos, saved.find("TITLE=old\r\n")) << saved;

    ::DeleteFileA("ExclusionData.ini");
    ::SetCurrentDirectoryA(previous);
    EXPECT_TRUE(::RemoveDirectoryA(folder.c_str()));
}
