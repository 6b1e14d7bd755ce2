// Matching one exclusion rule against a window, and the scan over a rule list.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "tracking/ExclusionRule.h"
#include "tests/unit/support/exclusion_rule.h"

namespace {

TEST(ExclusionRuleTest, Matches)
{
    // The double-byte cases need code page 932, which Wine takes from LC_ALL=ja_JP.UTF-8.
    ASSERT_EQ(932u, GetACP());
    struct Case {
        const char* name;
        ExclusionRule rule;
        const char* title;
        const char* processName;
        BOOL expected;
    } cases[] = {
        {"both switches off match everything", Rule(0, 0, "x", "x.exe", 0, "x"), "メモ帳", "notepad.exe", TRUE},
        {"switches of 2 and -1 count as off", Rule(2, -1, "x", "x.exe", 1, "x"), "メモ帳", "notepad.exe", TRUE},
        {"whole title equal", Rule(1, 0, "無題 - メモ帳", "", 1, ""), "無題 - メモ帳", "notepad.exe", TRUE},
        {"whole title in another case", Rule(1, 0, "Untitled", "", 1, ""), "untitled", "notepad.exe", FALSE},
        {"whole title with a trailing blank", Rule(1, 0, "Untitled", "", 1, ""), "Untitled ", "notepad.exe", FALSE},
        {"whole title ignores the pattern", Rule(1, 0, "Untitled", "", 1, "zzz"), "Untitled", "notepad.exe", TRUE},
        {"whole title is not a substring", Rule(1, 0, "Untitled", "", 1, ""), "Untitled - Notepad", "a.exe", FALSE},
        {"full-name switch of 2 uses the pattern", Rule(1, 0, "Untitled", "", 2, "Note"), "Notepad", "a.exe", TRUE},
        {"partial ignores the whole title", Rule(1, 0, "Notepad", "", 0, "zzz"), "Notepad", "a.exe", FALSE},
        {"pattern at the start", Rule(1, 0, "", "", 0, "Un"), "Untitled - Notepad", "a.exe", TRUE},
        {"pattern in the middle", Rule(1, 0, "", "", 0, " - "), "Untitled - Notepad", "a.exe", TRUE},
        {"pattern at the end", Rule(1, 0, "", "", 0, "pad"), "Untitled - Notepad", "a.exe", TRUE},
        {"pattern in another case", Rule(1, 0, "", "", 0, "notepad"), "Untitled - Notepad", "a.exe", FALSE},
        {"pattern longer than the title", Rule(1, 0, "", "", 0, "Notepad2"), "Notepad", "a.exe", FALSE},
        {"empty pattern is in every title", Rule(1, 0, "", "", 0, ""), "anything", "a.exe", TRUE},
        {"empty pattern is in an empty title", Rule(1, 0, "", "", 0, ""), "", "a.exe", TRUE},
        // 表示 is 95 5C 8E A6, アイ is 83 41 83 43: trail bytes that equal ASCII codes.
        {"backslash is no trail byte", Rule(1, 0, "", "", 0, "\\"), "表示", "a.exe", FALSE},
        {"A is no trail byte", Rule(1, 0, "", "", 0, "A"), "アイ", "a.exe", FALSE},
        {"a real backslash after double-byte text", Rule(1, 0, "", "", 0, "\\"), "表示\\x", "a.exe", TRUE},
        {"second character of two", Rule(1, 0, "", "", 0, "示"), "表示", "a.exe", TRUE},
        {"straddling two characters", Rule(1, 0, "", "", 0, "\x5C\x8E"), "表示", "a.exe", FALSE},
        {"lead byte alone ends inside a character", Rule(1, 0, "", "", 0, "\x83"), "アイ", "a.exe", FALSE},
        {"process name equal", Rule(0, 1, "", "notepad.exe", 0, ""), "x", "notepad.exe", TRUE},
        {"process name in another case", Rule(0, 1, "", "notepad.exe", 0, ""), "x", "Notepad.exe", FALSE},
        {"process name is compared whole", Rule(0, 1, "", "notepad", 0, ""), "x", "notepad.exe", FALSE},
        {"both tests hold", Rule(1, 1, "", "notepad.exe", 0, "メモ"), "無題 - メモ帳", "notepad.exe", TRUE},
        {"title holds, process does not", Rule(1, 1, "", "notepad.exe", 0, "メモ"), "無題 - メモ帳", "a.exe", FALSE},
        {"process holds, title does not", Rule(1, 1, "", "notepad.exe", 0, "メモ"), "無題", "notepad.exe", FALSE},
        {"empty pattern refuses the whole process", Rule(1, 1, "", "a.exe", 0, ""), "any", "a.exe", TRUE},
    };
    for (const Case& c : cases) {
        const BOOL got = MatchesExclusionRule(c.rule, c.title, c.processName);
        EXPECT_EQ(c.expected, got) << c.name;
    }
}

TEST(ExclusionRuleTest, IsWindowAllowed)
{
    const ExclusionRule notepad = Rule(0, 1, "", "notepad.exe", 0, "");
    const ExclusionRule memo = Rule(1, 0, "", "", 0, "メモ");
    struct Case {
        const char* name;
        std::vector<ExclusionRule> rules;
        const char* title;
        const char* processName;
        BOOL expected;
    } cases[] = {
        {"no rules", {}, "無題", "notepad.exe", TRUE},
        {"no rule matches", {memo, notepad}, "無題", "calc.exe", TRUE},
        {"the first rule matches", {memo, notepad}, "メモ帳", "calc.exe", FALSE},
        {"the second rule matches", {memo, notepad}, "無題", "notepad.exe", FALSE},
        {"both rules match", {memo, notepad}, "メモ帳", "notepad.exe", FALSE},
        {"a default rule refuses", {ExclusionRule()}, "無題", "calc.exe", FALSE},
    };
    for (const Case& c : cases) {
        const BOOL got = IsWindowAllowed(c.rules, c.title, c.processName);
        EXPECT_EQ(c.expected, got) << c.name;
    }
}

}  // namespace
