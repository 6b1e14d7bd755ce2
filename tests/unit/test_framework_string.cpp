// CString and the double-byte searches under code page 932. Literals are Shift-JIS bytes:
// 表 is 95 5C, 示 8E A6, ソ 83 5C, ア 83 41, イ 83 43, ヂ 83 61, 　 (full-width blank) 81 40.
#include <gtest/gtest.h>

#include "tests/unit/support/text.h"

#include <climits>
#include <string>

#include "framework/Mbcs.h"
#include "framework/String.h"

namespace {

TEST(FrameworkStringTest, RunsUnderCodePage932)
{
    ASSERT_EQ(932u, GetACP()) << "run with LC_ALL=ja_JP.UTF-8";
    EXPECT_EQ("95 5C 8E A6", HexBytes("表示"));
}

TEST(FrameworkStringTest, SearchesSkipTrailBytes)
{
    const CString path("C:\\表示\\ソ");  // 43 3A 5C 95 5C 8E A6 5C 83 5C
    const CString kana("アイ");
    struct Case {
        const char* name;
        int got;
        int expected;
    } cases[] = {
        {"Find backslash", path.Find('\\'), 2},
        {"Find backslash after the first", path.Find('\\', 3), 7},
        {"ReverseFind backslash", path.ReverseFind('\\'), 7},
        {"Find string backslash", path.Find("\\"), 2},
        {"Find string backslash after the first", path.Find("\\", 3), 7},
        {"Find double-byte then backslash", path.Find("示\\"), 5},
        {"Find backslash then double-byte", path.Find("\\ソ"), 7},
        {"Find ASCII letter equal to a trail byte", kana.Find('A'), -1},
        {"Find string equal to a trail byte", kana.Find("A"), -1},
        {"Find with start past the end", path.Find('\\', 100), -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, c.got) << c.name;
}

TEST(FrameworkStringTest, MbcsFindStringMatchesWholeCharacters)
{
    struct Case {
        const char* name;
        const char* text;
        const char* pattern;
        int expected;  // byte offset, -1 for no match
    } cases[] = {
        {"letter equal to a trail byte", "アイ", "A", -1},
        {"the same letter as a character of its own", "アAイ", "A", 2},
        {"bytes across a character boundary", "アイ", "\x41\x83", -1},
        {"match ending inside a character", "xア", "x\x83", -1},
        {"backslash equal to a trail byte", "表示", "\\", -1},
        {"backslash after 5C trail bytes", "ソソ\\", "\\", 4},
        {"second double-byte character", "表示", "示", 2},
        {"empty pattern", "abc", "", 0},
        {"pattern longer than text", "ab", "abc", -1},
    };
    for (const Case& c : cases) {
        const char* hit = MbcsFindString(c.text, c.pattern);
        EXPECT_EQ(c.expected, hit ? static_cast<int>(hit - c.text) : -1) << c.name;
    }
}

TEST(FrameworkStringTest, EditsLeaveDoubleByteCharactersWhole)
{
    CString slashes("C:\\表示\\ソ");
    const int replacedText = slashes.Replace("\\", "/");
    CString slashChars("C:\\表示\\ソ");
    const int replacedChars = slashChars.Replace('\\', '/');
    CString removed("C:\\表示\\ソ");
    const int removedCount = removed.Remove('\\');
    CString growing("aXa");
    const int grown = growing.Replace("a", "aa");
    CString lower("アイABC");
    lower.MakeLower();
    CString upper("ヂa");
    upper.MakeUpper();

    struct Case {
        const char* name;
        CString got;
        const char* expected;
        int count;
        int expectedCount;
    } cases[] = {
        {"Replace string", slashes, "C:/表示/ソ", replacedText, 2},
        {"Replace char", slashChars, "C:/表示/ソ", replacedChars, 2},
        {"Remove", removed, "C:表示ソ", removedCount, 2},
        {"Replace with text containing the pattern", growing, "aaXaa", grown, 2},
        {"MakeLower keeps trail byte 41", lower, "アイabc", 0, 0},
        {"MakeUpper keeps trail byte 61", upper, "ヂA", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HexBytes(c.expected), HexBytes(c.got)) << c.name;
        EXPECT_EQ(c.expectedCount, c.count) << c.name;
    }
}

TEST(FrameworkStringTest, CompareNoCaseFoldsOnlyAsciiLetters)
{
    struct Case {
        const char* name;
        const char* a;
        const char* b;
        int expected;  // sign
    } cases[] = {
        {"ASCII letters fold", "Notepad.EXE", "notepad.exe", 0},
        {"trail bytes 41 and 61 differ", "ア", "ヂ", -1},
        {"trail bytes 61 and 41 differ", "ヂ", "ア", 1},
        {"double-byte then folded letter", "表示A", "表示a", 0},
        {"prefix is smaller", "表示", "表示a", -1},
        {"longer is greater", "アイ", "ア", 1},
        {"both empty", "", "", 0},
    };
    for (const Case& c : cases) {
        const int got = CString(c.a).CompareNoCase(c.b);
        EXPECT_EQ(c.expected, (got > 0) - (got < 0)) << c.name << ": raw result " << got;
    }
}

TEST(FrameworkStringTest, TrimKeepsDoubleByteText)
{
    struct Case {
        const char* name;
        const char* text;
        const char* expected;
    } cases[] = {
        {"blanks after double-byte text", "表示  ", "表示"},
        {"control blanks", "表示\t\r\n", "表示"},
        {"5C trail byte before a blank", "ソ ", "ソ"},
        {"full-width blank is text", "a　", "a　"},
        {"only blanks", " \t ", ""},
        {"empty", "", ""},
    };
    for (const Case& c : cases) {
        CString s(c.text);
        s.TrimRight();
        EXPECT_EQ(HexBytes(c.expected), HexBytes(s)) << c.name;
    }
    CString both("  表示 ");
    EXPECT_EQ(HexBytes("表示"), HexBytes(both.Trim()));
}

TEST(FrameworkStringTest, LeftMidRightClampToBounds)
{
    const CString s("abcdef");
    const CString empty;
    struct Case {
        const char* name;
        CString got;
        const char* expected;
    } cases[] = {
        {"Left negative", s.Left(-1), ""},
        {"Left 0", s.Left(0), ""},
        {"Left 3", s.Left(3), "abc"},
        {"Left past end", s.Left(100), "abcdef"},
        {"Right negative", s.Right(-1), ""},
        {"Right 2", s.Right(2), "ef"},
        {"Right past start", s.Right(100), "abcdef"},
        {"Mid negative first", s.Mid(-2), "abcdef"},
        {"Mid at end", s.Mid(6), ""},
        {"Mid past end", s.Mid(7), ""},
        {"Mid negative count", s.Mid(2, -1), ""},
        {"Mid count past end", s.Mid(4, INT_MAX), "ef"},
        {"Mid negative first with count", s.Mid(-1, 3), "abc"},
        {"Left of empty", empty.Left(1), ""},
        {"Mid of empty", empty.Mid(0), ""},
        {"Right of empty", empty.Right(1), ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.expected, c.got) << c.name;
}

TEST(FrameworkStringTest, FormatHasNoLengthLimit)
{
    const std::string big(100000, 'x');
    CString s;
    s.Format("<%s>", big.c_str());
    EXPECT_EQ(100002, s.GetLength());
    EXPECT_TRUE(std::string(s) == "<" + big + ">") << "content differs";

    s.AppendFormat("%s", big.c_str());
    EXPECT_EQ(200002, s.GetLength());

    CString padded;
    padded.Format("%*d", 70000, 5);
    EXPECT_EQ(70000, padded.GetLength());
    EXPECT_EQ('5', padded[69999]);
}

TEST(FrameworkStringTest, FormatCopiesDoubleByteText)
{
    CString self("表示");
    self.Format("%s\\%s", self.GetString(), "ソ");  // its own old value as an argument
    struct Case {
        const char* name;
        CString got;
        const char* expected;
    } cases[] = {
        {"%s of double-byte text",
         [] {
             CString r;
             r.Format("[%s]", "表示");
             return r;
         }(),
         "[表示]"},
        {"width counts bytes",
         [] {
             CString r;
             r.Format("%-6s|", "表示");
             return r;
         }(),
         "表示  |"},
        {"number and 5C trail byte",
         [] {
             CString r;
             r.Format("%d%s", 5, "ソ");
             return r;
         }(),
         "5ソ"},
        {"own value as argument", self, "表示\\ソ"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HexBytes(c.expected), HexBytes(c.got)) << c.name;
}

TEST(FrameworkStringTest, MbcsTruncatedLengthNeverSplitsACharacter)
{
    struct Case {
        const char* name;
        const char* text;
        size_t maxBytes;
        size_t expected;
    } cases[] = {
        {"zero", "表示", 0, 0},
        {"inside the first character", "表示", 1, 0},
        {"after the first character", "表示", 2, 2},
        {"inside the second character", "表示", 3, 2},
        {"whole text", "表示", 4, 4},
        {"more than the text", "表示", 100, 4},
        {"ASCII then double-byte", "a表", 2, 1},
        {"lone lead byte at the end", "a\x95", 2, 2},
        {"empty", "", 3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, MbcsTruncatedLength(c.text, c.maxBytes)) << c.name;
}

}  // namespace
