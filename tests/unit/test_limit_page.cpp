#include "tracking/LimitDlg.h"

#include <gtest/gtest.h>

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
