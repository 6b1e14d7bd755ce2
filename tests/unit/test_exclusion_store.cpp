// The rule store: "ExclusionData.ini" read at construction and written whole by Save.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "tracking/ExclusionStore.h"
#include "tests/unit/support/exclusion_rule.h"
#include "tests/unit/support/text.h"

namespace {

const char kIni[] = "ExclusionData.ini";
const char kTemp[] = "ExclusionData.ini.tmp";
const char kNew[] = "ExclusionData.ini.new";
const char kNewTemp[] = "ExclusionData.ini.new.tmp";
const char kDamaged[] = "ExclusionData.ini.damaged";
const char kDamaged2[] = "ExclusionData.ini.damaged2";

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void PutFile(const char* path, const std::string& bytes)
{
    ASSERT_TRUE(WriteFileBytes(path, bytes)) << path;
}

void Remove(std::initializer_list<const char*> names)
{
    for (const char* name : names)
        DeleteFileA(name);
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string Header(int count)
{
    return "[SYSTEM]\r\nEXCLUSIONNUM=" + std::to_string(count) + "\r\n";
}

std::string Item(int index, int useTitle, int useProcessName, int fullNameMatch, const std::string& title,
                 const std::string& processName, const std::string& titlePattern)
{
    return "[ITEM" + std::to_string(index) + "]\r\nTITLEFLAG=" + std::to_string(useTitle) +
           "\r\nPNAMEFLAG=" + std::to_string(useProcessName) + "\r\nFULLNAMEFLAG=" + std::to_string(fullNameMatch) +
           "\r\nTITLE=" + title + "\r\nPNAME=" + processName + "\r\nTPART=" + titlePattern + "\r\n";
}

std::string RuleText(const ExclusionRule& r)
{
    return "{" + std::to_string(r.useTitle) + "," + std::to_string(r.useProcessName) + ",\"" +
           Escaped(r.title.GetString(), true) + "\",\"" + Escaped(r.processName.GetString(), true) + "\"," +
           std::to_string(r.fullNameMatch) + ",\"" + Escaped(r.titlePattern.GetString(), true) + "\"}";
}

// Each test runs in a scratch folder of its own, made the current folder as start-up does.
class ExclusionStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof m_previous, m_previous);
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        m_folder = std::string(temp) + "kv_store_" + std::to_string(GetCurrentProcessId()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(CreateDirectoryA(m_folder.c_str(), nullptr)) << m_folder;
        ASSERT_TRUE(SetCurrentDirectoryA(m_folder.c_str()));
    }
    void TearDown() override
    {
        SetCurrentDirectoryA(m_previous);
        for (const char* name : {kIni, kTemp, kNew, kNewTemp, kDamaged, kDamaged2}) {
            const std::string path = m_folder + "\\" + name;
            if (!DeleteFileA(path.c_str()))
                RemoveDirectoryA(path.c_str());
        }
        EXPECT_TRUE(RemoveDirectoryA(m_folder.c_str())) << "unexpected files left in " << m_folder;
    }

    char m_previous[MAX_PATH] = {};
    std::string m_folder;
};

TEST_F(ExclusionStoreTest, LoadThenSave)
{
    const std::string whole = Header(2) + Item(0, 1, 1, 1, "無題 - メモ帳", "notepad.exe", "") +
                              Item(1, 1, 0, 0, "表示", "explorer.exe", "表");
    struct Case {
        const char* name;
        const char* file;  // null: no file
        std::string saved;
    } cases[] = {
        {"no file", nullptr, Header(0)},
        {"empty file", "", Header(0)},
        {"EXCLUSIONNUM 0 and no section", "[SYSTEM]\r\nEXCLUSIONNUM=0\r\n[OTHER]\r\nK=v\r\n", Header(0)},
        {"a written file reads back whole", whole.c_str(), whole},
        {"missing sections give default rules", "[SYSTEM]\r\nEXCLUSIONNUM=3\r\n[ITEM1]\r\nPNAMEFLAG=1\r\n",
         Header(3) + Item(0, 0, 0, 0, "", "", "") + Item(1, 0, 1, 0, "", "", "") + Item(2, 0, 0, 0, "", "", "")},
        {"missing keys give defaults", "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\nTPART=メモ\r\n",
         Header(1) + Item(0, 1, 0, 0, "", "", "メモ")},
        {"switch values are kept",
         "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=5\r\nPNAMEFLAG=-3\r\nFULLNAMEFLAG=2\r\n",
         Header(1) + Item(0, 5, -3, 2, "", "", "")},
        {"sections in any order", "[ITEM1]\r\nTITLE=b\r\n[ITEM0]\r\nTITLE=a\r\n[SYSTEM]\r\nEXCLUSIONNUM=2\r\n",
         Header(2) + Item(0, 0, 0, 0, "a", "", "") + Item(1, 0, 0, 0, "b", "", "")},
        {"quotes only where the reader needs them",
         "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLE=\" x \"\r\nPNAME=\"a.exe\"\r\nTPART= y \r\n",
         Header(1) + Item(0, 0, 0, 0, "\" x \"", "a.exe", "y")},
    };
    for (const Case& c : cases) {
        if (c.file)
            PutFile(kIni, c.file);
        else
            DeleteFileA(kIni);
        testing::internal::CaptureStdout();
        {
            ExclusionStore store;
            EXPECT_EQ(ExclusionStore::fileSound, store.fileState) << c.name;
            EXPECT_TRUE(store.Save()) << c.name;
        }
        const std::string trace = testing::internal::GetCapturedStdout();
        const std::string got = FileBytes(kIni);
        EXPECT_EQ(c.saved, got) << c.name << "\n  expected:\n"
                                << Escaped(c.saved, true) << "  actual:\n"
                                << Escaped(got, true);
        // A first start has no file: that is no damage.
        EXPECT_EQ("", trace) << c.name;
        EXPECT_FALSE(Exists(kDamaged)) << c.name;
        EXPECT_FALSE(Exists(kNew)) << c.name;
    }
}

// A count that cannot be trusted: the sections present are read, and the file's bytes are kept
// under a name of their own before the file is written anew.
TEST_F(ExclusionStoreTest, DamagedCountKeepsTheBytesAside)
{
    const std::string items = Item(0, 1, 1, 1, "a", "a.exe", "") + Item(1, 0, 1, 0, "", "b.exe", "b");
    const std::string rules2 = Header(2) + items;
    const std::string c = Item(2, 1, 0, 0, "c", "", "");
    struct Case {
        const char* name;
        std::string file;
        std::string saved;
    } cases[] = {
        {"negative", "[SYSTEM]\r\nEXCLUSIONNUM=-1\r\n" + items, rules2},
        {"2^31", "[SYSTEM]\r\nEXCLUSIONNUM=2147483648\r\n" + items, rules2},
        {"not a number", "[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n" + items, rules2},
        {"a number and text", "[SYSTEM]\r\nEXCLUSIONNUM=2x\r\n" + items, rules2},
        {"empty value", "[SYSTEM]\r\nEXCLUSIONNUM=\r\n" + items, rules2},
        {"no EXCLUSIONNUM", "[SYSTEM]\r\nOTHER=1\r\n" + items, rules2},
        {"no [SYSTEM] section", items, rules2},
        {"text and no section at all", "garbage\r\n", Header(0)},
        {"above the cap", "[SYSTEM]\r\nEXCLUSIONNUM=1001\r\n" + items, rules2},
        {"a gap is passed over", "[SYSTEM]\r\nEXCLUSIONNUM=-5\r\n" + items + Item(3, 1, 0, 0, "d", "", ""),
         Header(3) + items + Item(2, 1, 0, 0, "d", "", "")},
        {"no ITEM0", "[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n[ITEM1]\r\nTITLE=a\r\n",
         Header(1) + Item(0, 0, 0, 0, "a", "", "")},
        {"sections in any order and case",
         "[item1]\r\nPNAMEFLAG=1\r\n[SYSTEM]\r\nEXCLUSIONNUM=x\r\n[ITEM0]\r\nTITLE=a\r\n",
         Header(2) + Item(0, 0, 0, 0, "a", "", "") + Item(1, 0, 1, 0, "", "", "")},
        {"EXCLUSIONNUM 0 with sections", "[SYSTEM]\r\nEXCLUSIONNUM=0\r\n" + items, rules2},
        {"a section at the count", "[SYSTEM]\r\nEXCLUSIONNUM=2\r\n" + items + c, Header(3) + items + c},
        {"sections past the count only", "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n" + c + Item(5, 0, 1, 0, "", "e.exe", ""),
         Header(2) + Item(0, 1, 0, 0, "c", "", "") + Item(1, 0, 1, 0, "", "e.exe", "")},
        {"17 sections missing", "[SYSTEM]\r\nEXCLUSIONNUM=19\r\n" + items, rules2},
        {"1000 with one section", "[SYSTEM]\r\nEXCLUSIONNUM=1000\r\n" + c, Header(1) + Item(0, 1, 0, 0, "c", "", "")},
    };
    for (const Case& c : cases) {
        PutFile(kIni, c.file);
        testing::internal::CaptureStdout();
        {
            ExclusionStore store;
            EXPECT_EQ(ExclusionStore::fileDamaged, store.fileState) << c.name;
            EXPECT_TRUE(store.Save()) << c.name;
            EXPECT_TRUE(store.Save()) << c.name;  // the exit saves twice
        }
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_EQ(1u, Occurrences(trace, "cannot be trusted")) << c.name << ": trace " << trace;
        EXPECT_EQ(1u, Occurrences(trace, "kept as")) << c.name << ": trace " << trace;
        EXPECT_EQ(c.file, FileBytes(kDamaged)) << c.name << ": the damaged bytes";
        EXPECT_EQ(c.saved, FileBytes(kIni)) << c.name << "\n  saved:\n" << Escaped(FileBytes(kIni), true);
        EXPECT_FALSE(Exists(kNew)) << c.name;
        {
            ExclusionStore next;  // the file is sound from now on
            EXPECT_EQ(ExclusionStore::fileSound, next.fileState) << c.name;
        }
        Remove({kIni, kDamaged});
    }
}

// A count a few above the sections present is taken as it stands: the default rules show, in red,
// on the list page, where the user can delete them.
TEST(RuleReadPlanTest, Plan)
{
    std::vector<int> many;
    for (int i = 0; i < 1500; ++i)
        many.push_back(i * 2);
    struct Case {
        const char* name;
        const char* count;  // null: no EXCLUSIONNUM
        std::vector<int> present;
        bool trusted;
        std::vector<int> sections;
    } cases[] = {
        {"all there", "3", {0, 1, 2}, true, {0, 1, 2}},
        {"none", "0", {}, true, {}},
        {"one missing", "3", {0, 2}, true, {0, 1, 2}},
        {"16 missing", "17", {3}, true, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
        {"17 missing", "18", {3}, false, {3}},
        {"1000, none there", "1000", {}, false, {}},
        {"one at the count", "2", {0, 1, 2}, false, {0, 1, 2}},
        {"0 with a section", "0", {0}, false, {0}},
        {"far past the count", "1", {0, 4000}, false, {0, 4000}},
        {"no count", nullptr, {1, 5}, false, {1, 5}},
        {"bad count", "-1", {0}, false, {0}},
        {"capped", "x", many, false, std::vector<int>(many.begin(), many.begin() + kMaxExclusionRules)},
    };
    for (const Case& c : cases) {
        const RuleReadPlan plan = PlanRuleRead(c.count, c.present);
        EXPECT_EQ(c.trusted, plan.trusted) << c.name;
        EXPECT_EQ(c.sections, plan.sections) << c.name;
    }
}

TEST(RuleSectionNumberTest, Names)
{
    struct Case {
        const char* name;
        int number;
    } cases[] = {
        {"ITEM0", 0},   {"ITEM12", 12}, {"item7", 7},   {"Item999999999", 999999999},
        {"ITEM", -1},   {"ITEM01", -1}, {"ITEM-1", -1}, {"ITEM+1", -1},
        {"ITEM1a", -1}, {"ITEMS", -1},  {"SYSTEM", -1}, {"ITEM1234567890", -1},
        {"XITEM1", -1}, {"", -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.number, RuleSectionNumber(c.name)) << "[" << c.name << "]";
}

TEST(MergeRulesTest, Merge)
{
    const ExclusionRule a = Rule(1, 1, "a", "a.exe", 1, ""), b = Rule(1, 1, "b", "b.exe", 1, "");
    const ExclusionRule aPattern = Rule(1, 1, "a", "a.exe", 1, "x");  // differs in one field only
    struct Case {
        const char* name;
        std::vector<ExclusionRule> first, second, merged;
    } cases[] = {
        {"both empty", {}, {}, {}},
        {"first only", {a, b}, {}, {a, b}},
        {"second only", {}, {b, a}, {b, a}},
        {"equal rules once, first's order", {b, a}, {a, b}, {b, a}},
        {"new ones after", {a}, {b, a}, {a, b}},
        {"one field apart", {a}, {aPattern}, {a, aPattern}},
        {"duplicates within first stay", {a, a}, {a}, {a, a}},
        {"duplicates within second stay", {b}, {a, a}, {b, a, a}},
    };
    for (const Case& c : cases) {
        const std::vector<ExclusionRule> merged = MergeRules(c.first, c.second);
        std::string got, expected;
        for (const ExclusionRule& r : merged)
            got += RuleText(r);
        for (const ExclusionRule& r : c.merged)
            expected += RuleText(r);
        EXPECT_EQ(expected, got) << c.name;
    }
}

// A damaged file found again is kept beside the others, never over an older copy; a copy with the
// same bytes is the one an earlier run made before it stopped.
TEST_F(ExclusionStoreTest, DamagedCopyNeverReplacesAnOlderOne)
{
    const std::string damaged = "[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n" + Item(0, 1, 0, 1, "a", "", "");
    struct Case {
        const char* name;
        const char* older;   // in kDamaged before the save
        std::string second;  // kDamaged2 afterwards
    } cases[] = {
        {"an older copy", "older", damaged},
        {"the same bytes", nullptr, "<missing>"},
    };
    for (const Case& c : cases) {
        PutFile(kIni, damaged);
        PutFile(kDamaged, c.older ? c.older : damaged);
        testing::internal::CaptureStdout();
        {
            ExclusionStore store;
        }
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(c.older ? c.older : damaged, FileBytes(kDamaged)) << c.name;
        EXPECT_EQ(c.second, FileBytes(kDamaged2)) << c.name;
        EXPECT_EQ(Header(1) + Item(0, 1, 0, 1, "a", "", ""), FileBytes(kIni)) << c.name;
        Remove({kIni, kDamaged, kDamaged2});
    }
}

// Run after run, a rule the user adds is in force at the next start, whatever the file held.
TEST_F(ExclusionStoreTest, AddedRulesSurviveEveryRun)
{
    const std::string damaged = "[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n" + Item(0, 1, 0, 1, "a", "", "");
    const ExclusionRule a = Rule(1, 0, "a", "", 1, ""), x1 = Rule(1, 1, "X1", "x.exe", 1, ""),
                        x2 = Rule(1, 1, "X2", "x.exe", 1, "");
    PutFile(kIni, damaged);
    testing::internal::CaptureStdout();
    for (const ExclusionRule& added : {x1, x2}) {
        ExclusionStore run;
        run.rules.insert(run.rules.begin(), added);
        EXPECT_TRUE(run.Save()) << RuleText(added);
    }
    ExclusionStore third;
    testing::internal::GetCapturedStdout();
    std::string got;
    for (const ExclusionRule& r : third.rules)
        got += RuleText(r);
    EXPECT_EQ(RuleText(x2) + RuleText(x1) + RuleText(a), got);
    EXPECT_EQ(damaged, FileBytes(kDamaged));
}

TEST(RuleCountTest, Parse)
{
    struct Case {
        const char* text;
        bool trusted;
        int count;
    } cases[] = {
        {"0", true, 0},     {"3", true, 3},    {"007", true, 7},         {"1000", true, 1000},
        {"1001", false, 0}, {"-1", false, 0},  {"+1", false, 0},         {"", false, 0},
        {"abc", false, 0},  {"2 3", false, 0}, {"4294967297", false, 0},
    };
    for (const Case& c : cases) {
        int count = -7;
        EXPECT_EQ(c.trusted, ParseRuleCount(c.text, &count)) << "[" << c.text << "]";
        if (c.trusted) {
            EXPECT_EQ(c.count, count) << "[" << c.text << "]";
        }
    }
}

TEST_F(ExclusionStoreTest, ManySectionsAreCapped)
{
    std::string file = "[SYSTEM]\r\nEXCLUSIONNUM=999999999\r\n";
    for (int i = 0; i <= kMaxExclusionRules; ++i)
        file += Item(i, 1, 0, 1, "t" + std::to_string(i), "", "");
    PutFile(kIni, file);
    testing::internal::CaptureStdout();
    const DWORD start = GetTickCount();
    {
        ExclusionStore store;
        ASSERT_EQ(static_cast<size_t>(kMaxExclusionRules), store.rules.size());
        EXPECT_TRUE(SameRule(Rule(1, 0, "t999", "", 1, ""), store.rules.back())) << RuleText(store.rules.back());
    }
    const DWORD elapsed = GetTickCount() - start;
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, trace.find("EXCLUSIONNUM=999999999")) << trace;
    EXPECT_EQ(0u, FileBytes(kIni).find(Header(kMaxExclusionRules))) << "the destructor's save";
    EXPECT_EQ(file, FileBytes(kDamaged));
    EXPECT_LT(elapsed, 20000u) << "load and save of the capped rules took " << elapsed << " ms";
}

// A file that exists but cannot be read at start-up must not be taken for "no rules" and emptied:
// it is read again, and merged with what the user added, before anything is written.
TEST_F(ExclusionStoreTest, UnreadableFileIsReadAgainBeforeTheSave)
{
    const std::string old = Header(1) + Item(0, 1, 1, 1, "old", "old.exe", "");
    const ExclusionRule added = Rule(1, 0, "new", "", 1, "");
    const std::string both = Header(2) + Item(0, 1, 0, 1, "new", "", "") + Item(1, 1, 1, 1, "old", "old.exe", "");
    struct Case {
        const char* name;
        bool folder;          // a folder of that name; else the file held open without sharing
        bool releasedBefore;  // readable again before the save
        std::string saved;    // in the file after the save
    } cases[] = {
        {"held, then let go", false, true, both},
        {"held through the save", false, false, old},
        {"a folder", true, false, "<missing>"},
    };
    for (const Case& c : cases) {
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.folder) {
            ASSERT_TRUE(CreateDirectoryA(kIni, nullptr)) << c.name;
        } else {
            PutFile(kIni, old);
            holder = CreateFileA(kIni, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, holder) << c.name;
        }
        testing::internal::CaptureStdout();
        ExclusionStore* store = new ExclusionStore;
        EXPECT_EQ(ExclusionStore::fileUnread, store->fileState) << c.name;
        EXPECT_TRUE(store->rules.empty()) << c.name;
        if (c.releasedBefore)
            CloseHandle(holder);
        store->rules.push_back(added);
        EXPECT_EQ(c.releasedBefore, store->Save()) << c.name;
        EXPECT_EQ(c.releasedBefore ? 2u : 1u, store->rules.size()) << c.name << ": merged into the rules";
        delete store;
        if (!c.releasedBefore && holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        EXPECT_EQ(c.saved, FileBytes(kIni)) << c.name;
        EXPECT_EQ(c.releasedBefore ? "<missing>" : Header(1) + Item(0, 1, 0, 1, "new", "", ""), FileBytes(kNew))
            << c.name;

        // The next start, with the file readable: what was saved beside it is merged in.
        if (c.folder) {
            RemoveDirectoryA(kIni);
            PutFile(kIni, old);
        }
        {
            ExclusionStore next;
            EXPECT_EQ(2u, next.rules.size()) << c.name << ": at the next start";
        }
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_NE(std::string::npos, trace.find("cannot read it")) << c.name << ": trace " << trace;
        EXPECT_EQ(both, FileBytes(kIni)) << c.name << ": after the next start";
        EXPECT_FALSE(Exists(kNew)) << c.name << ": merged, and gone";
        Remove({kIni, kNew});
    }
}

TEST_F(ExclusionStoreTest, LongTextsAreCut)
{
    std::string kana;
    for (int i = 0; i < 150; ++i)
        kana += "あ";
    struct Case {
        const char* name;
        std::string stored;
        std::string expected;
    } cases[] = {
        {"single-byte", std::string(300, 'a'), std::string(259, 'a')},
        {"double-byte", kana, kana.substr(0, 258)},
        {"double-byte after one single-byte", "a" + kana, "a" + kana.substr(0, 258)},
        {"exactly 259 bytes", std::string(259, 'b'), std::string(259, 'b')},
    };
    for (const Case& c : cases) {
        PutFile(kIni, Header(1) + Item(0, 1, 0, 1, c.stored, "", ""));
        ExclusionStore store;
        ASSERT_EQ(1u, store.rules.size()) << c.name;
        const std::string got = store.rules[0].title.GetString();
        EXPECT_EQ(c.expected, got) << c.name << ": " << got.size() << " bytes read";
    }
}

TEST(LoneLeadByteTest, Length)
{
    struct Case {
        const char* name;
        const char* text;
        int expected;
    } cases[] = {
        {"empty", "", 0},
        {"single-byte", "abc", 3},
        {"whole double-byte", "あ", 2},
        {"lone lead byte at the end", "a\x82", 1},
        {"lone lead byte after a double-byte", "あ\x82", 2},
        // 82 82 is one character, so the third 82 stands alone.
        {"lead byte code as a trail byte", "\x82\x82\x82", 2},
        {"trail byte 5C", "表", 2},
        {"lead byte code as the last trail byte", "\x82\x82", 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, LengthWithoutLoneLeadByte(c.text)) << c.name;
}

// Text the profile reader would change (line breaks, edge blanks, quote pairs) comes back as written,
// line breaks as blanks.
TEST_F(ExclusionStoreTest, AwkwardTextsRoundTrip)
{
    struct Case {
        const char* name;
        const char* text;
        const char* readBack;
    } cases[] = {
        {"CR LF", "a\r\nb", "a  b"},
        {"LF that would start a section", "a\n[ITEM0]", "a [ITEM0]"},
        {"leading blank", " lead", " lead"},
        {"trailing blank", "trail ", "trail "},
        {"blanks only", "  ", "  "},
        {"double quotes around", "\"q\"", "\"q\""},
        {"single quotes around", "'q'", "'q'"},
        {"double-byte with a trailing blank", "表示 ", "表示 "},
    };
    {
        ExclusionStore store;
        for (const Case& c : cases)
            store.rules.push_back(Rule(1, 1, c.text, c.text, 1, c.text));
        store.Save();
    }
    ExclusionStore reloaded;
    ASSERT_EQ(sizeof cases / sizeof cases[0], reloaded.rules.size()) << Escaped(FileBytes(kIni), true);
    for (size_t i = 0; i < reloaded.rules.size(); ++i) {
        const Case& c = cases[i];
        const ExclusionRule expected = Rule(1, 1, c.readBack, c.readBack, 1, c.readBack);
        EXPECT_TRUE(SameRule(expected, reloaded.rules[i]))
            << c.name << ": expected " << RuleText(expected) << ", actual " << RuleText(reloaded.rules[i]);
    }
}

// The exit writes the file twice: once from the main window, once from the destructor.
TEST_F(ExclusionStoreTest, RepeatedSavesGiveTheSameBytes)
{
    const std::string expected =
        Header(2) + Item(0, 1, 1, 1, "\" 無題 \"", "notepad.exe", "") + Item(1, 0, 1, 0, "", "calc.exe", "\"\"x\"\"");
    std::string first, second;
    {
        ExclusionStore store;
        store.rules = {Rule(1, 1, " 無題 ", "notepad.exe", 1, ""), Rule(0, 1, "", "calc.exe", 0, "\"x\"")};
        store.Save();
        first = FileBytes(kIni);
        store.Save();
        second = FileBytes(kIni);
    }
    const std::string third = FileBytes(kIni);
    EXPECT_EQ(expected, first) << "expected:\n" << Escaped(expected, true) << "actual:\n" << Escaped(first, true);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, third) << "the destructor's save";
    EXPECT_FALSE(Exists(kTemp));
}

// A save that fails leaves the file as it was, puts the rules beside it, is tried again at the next
// save, and asks for the user to be told once.
TEST_F(ExclusionStoreTest, FailedSaveIsKeptBesideAndTriedAgain)
{
    const std::string old = Header(1) + Item(0, 1, 1, 1, "old", "old.exe", "");
    const std::string both =
        Header(2) + Item(0, 1, 1, 1, "new", "new.exe", "") + Item(1, 1, 1, 1, "old", "old.exe", "");
    struct Case {
        const char* name;
        bool blockTempWithFolder;  // else hold the old file open without delete sharing
    } cases[] = {
        {"temporary file cannot be created", true},
        {"old file cannot be replaced", false},
    };
    for (const Case& c : cases) {
        PutFile(kIni, old);
        ExclusionStore* store = new ExclusionStore;
        store->rules.insert(store->rules.begin(), Rule(1, 1, "new", "new.exe", 1, ""));
        HANDLE holder = INVALID_HANDLE_VALUE;
        if (c.blockTempWithFolder)
            ASSERT_TRUE(CreateDirectoryA(kTemp, nullptr)) << c.name;
        else
            holder = CreateFileA(kIni, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);

        testing::internal::CaptureStdout();
        EXPECT_FALSE(store->Save()) << c.name;
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_NE(std::string::npos, trace.find("Error!")) << c.name << ": trace " << trace;
        EXPECT_EQ(old, FileBytes(kIni)) << c.name;
        EXPECT_EQ(both, FileBytes(kNew)) << c.name << ": beside the file";
        EXPECT_TRUE(store->savePending) << c.name;
        EXPECT_TRUE(store->TakeFailureNotice()) << c.name;
        EXPECT_FALSE(store->TakeFailureNotice()) << c.name << ": told twice";

        testing::internal::CaptureStdout();
        EXPECT_FALSE(store->Save()) << c.name << ": the next change";
        testing::internal::GetCapturedStdout();
        EXPECT_FALSE(store->TakeFailureNotice()) << c.name << ": told again at the next change";

        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        RemoveDirectoryA(kTemp);
        testing::internal::CaptureStdout();
        EXPECT_TRUE(store->Save()) << c.name << ": once the file can be written";
        testing::internal::GetCapturedStdout();
        EXPECT_FALSE(store->savePending) << c.name;
        EXPECT_EQ(both, FileBytes(kIni)) << c.name;
        EXPECT_FALSE(Exists(kNew)) << c.name << ": the copy beside it stays";
        delete store;
        Remove({kIni, kNew});
    }
}

// Locked through the exit: the exit's saves put the rules beside the file, so that neither the
// exit nor a kill loses the rule; the next start has it.
TEST_F(ExclusionStoreTest, RuleAddedWhileLockedThroughTheExit)
{
    const std::string old = Header(1) + Item(0, 1, 1, 1, "old", "old.exe", "");
    PutFile(kIni, old);
    testing::internal::CaptureStdout();
    ExclusionStore* store = new ExclusionStore;
    HANDLE holder = CreateFileA(kIni, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    store->rules.insert(store->rules.begin(), Rule(1, 1, "new", "new.exe", 1, ""));
    store->Save();  // the change
    store->Save();  // the exit
    delete store;
    CloseHandle(holder);
    ExclusionStore next;
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(2u, next.rules.size());
    EXPECT_EQ("new", std::string(next.rules[0].title.GetString()));
    EXPECT_EQ("old", std::string(next.rules[1].title.GetString()));
}

DWORD WINAPI FolderUnknown(DWORD, LPSTR)
{
    return 0;
}
// GetCurrentDirectoryA leaves the buffer alone and returns the size the folder needs.
DWORD WINAPI FolderTooLong(DWORD size, LPSTR)
{
    return size + 40;
}
DWORD WINAPI FolderFillsTheBuffer(DWORD size, LPSTR buffer)
{
    std::memset(buffer, 'x', size - 1);
    buffer[size - 1] = '\0';
    return size - 1;
}

TEST_F(ExclusionStoreTest, CurrentFolderThatDoesNotFit)
{
    // A store that took the folder as empty would use the drive root.
    const char* root = "\\ExclusionData.ini";
    if (Exists(root))
        GTEST_SKIP() << root << " exists already";
    PutFile(kIni, Header(1) + Item(0, 1, 0, 0, "a", "", ""));
    struct Case {
        const char* name;
        CurrentDirectoryReader reader;
        std::string iniPath;
    } cases[] = {
        {"error", FolderUnknown, ""},
        {"too long", FolderTooLong, ""},
        {"exactly fits", FolderFillsTheBuffer, std::string(260, 'x') + "\\ExclusionData.ini"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        {
            ExclusionStore store(c.reader);
            EXPECT_EQ(c.iniPath, std::string(store.iniPath.GetString())) << c.name;
            EXPECT_TRUE(store.rules.empty()) << c.name;
            store.rules.push_back(ExclusionRule());
        }
        testing::internal::GetCapturedStdout();
        EXPECT_FALSE(Exists(root)) << c.name;
        EXPECT_EQ(Header(1) + Item(0, 1, 0, 0, "a", "", ""), FileBytes(kIni)) << c.name;
    }
}

TEST_F(ExclusionStoreTest, SingleInstance)
{
    ASSERT_TRUE(ExclusionStore::m_pInstance == nullptr);
    PutFile(kIni, Header(1) + Item(0, 1, 0, 0, "a", "", ""));
    ExclusionStore* store = ExclusionStore::GetInstance();
    EXPECT_TRUE(store == ExclusionStore::m_pInstance);
    EXPECT_TRUE(store == ExclusionStore::GetInstance());
    EXPECT_EQ(1u, store->rules.size());
    store->rules.clear();
    delete ExclusionStore::m_pInstance;
    EXPECT_TRUE(ExclusionStore::m_pInstance == nullptr);
    EXPECT_EQ(Header(0), FileBytes(kIni));
}

}  // namespace
