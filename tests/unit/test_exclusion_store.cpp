// The rule store: "ExclusionData.ini" read at construction and written whole by Save.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "tracking/ExclusionStore.h"
#include "tests/unit/support/exclusion_rule.h"

namespace {

const char kIni[] = "ExclusionData.ini";
const char kTemp[] = "ExclusionData.ini.tmp";
const char kNew[] = "ExclusionData.ini.new";
const char kNewTemp[] = "ExclusionData.ini.new.tmp";

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char ch : bytes) {
        if (ch == '\r') out += "\\r";
        else if (ch == '\n') out += "\\n\n";
        else if (ch < 0x20 || ch >= 0x7f) {
            char hex[8];
            wsprintfA(hex, "\\x%02X", ch);
            out += hex;
        } else out += static_cast<char>(ch);
    }
    return out;
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

std::string FileBytes(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void PutFile(const char* path, const std::string& bytes) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Header(int count) { return "[SYSTEM]\r\nEXCLUSIONNUM=" + std::to_string(count) + "\r\n"; }

std::string Item(int index, int useTitle, int useProcessName, int fullNameMatch, const std::string& title,
                 const std::string& processName, const std::string& titlePattern) {
    return "[ITEM" + std::to_string(index) + "]\r\nTITLEFLAG=" + std::to_string(useTitle) +
           "\r\nPNAMEFLAG=" + std::to_string(useProcessName) + "\r\nFULLNAMEFLAG=" + std::to_string(fullNameMatch) +
           "\r\nTITLE=" + title + "\r\nPNAME=" + processName + "\r\nTPART=" + titlePattern + "\r\n";
}

std::string RuleText(const ExclusionRule& r) {
    return "{" + std::to_string(r.useTitle) + "," + std::to_string(r.useProcessName) + ",\"" +
           Escaped(r.title.GetString()) + "\",\"" + Escaped(r.processName.GetString()) + "\"," +
           std::to_string(r.fullNameMatch) + ",\"" + Escaped(r.titlePattern.GetString()) + "\"}";
}

bool SameRule(const ExclusionRule& a, const ExclusionRule& b) {
    return a.useTitle == b.useTitle && a.useProcessName == b.useProcessName && a.title == b.title &&
           a.processName == b.processName && a.fullNameMatch == b.fullNameMatch && a.titlePattern == b.titlePattern;
}

// Each test runs in a scratch folder of its own, made the current folder as start-up does.
class ExclusionStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryA(sizeof m_previous, m_previous);
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        m_folder = std::string(temp) + "kv_store_" + std::to_string(GetCurrentProcessId()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(CreateDirectoryA(m_folder.c_str(), nullptr)) << m_folder;
        ASSERT_TRUE(SetCurrentDirectoryA(m_folder.c_str()));
    }
    void TearDown() override {
        SetCurrentDirectoryA(m_previous);
        for (const char* name : {kIni, kTemp, kNew, kNewTemp}) {
            const std::string path = m_folder + "\\" + name;
            if (!DeleteFileA(path.c_str())) RemoveDirectoryA(path.c_str());
        }
        EXPECT_TRUE(RemoveDirectoryA(m_folder.c_str())) << "unexpected files left in " << m_folder;
    }

    char m_previous[MAX_PATH] = {};
    std::string m_folder;
};

TEST_F(ExclusionStoreTest, LoadThenSave) {
    const std::string whole =
        Header(2) + Item(0, 1, 1, 1, "無題 - メモ帳", "notepad.exe", "") + Item(1, 1, 0, 0, "表示", "explorer.exe", "表");
    struct Case {
        const char* name;
        const char* file;  // null: no file
        std::string saved;
    } cases[] = {
        {"no file", nullptr, Header(0)},
        {"empty file", "", Header(0)},
        {"EXCLUSIONNUM 0 ignores the sections", "[SYSTEM]\r\nEXCLUSIONNUM=0\r\n[ITEM0]\r\nTITLEFLAG=1\r\n", Header(0)},
        {"an untrusted count with no rule section", "[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n[ITEM1]\r\nTITLE=a\r\n", Header(0)},
        {"a written file reads back whole", whole.c_str(), whole},
        {"sections past EXCLUSIONNUM are dropped",
         "[SYSTEM]\r\nEXCLUSIONNUM=2\r\n[ITEM0]\r\nTITLE=a\r\n[ITEM1]\r\nTITLE=b\r\n[ITEM2]\r\nTITLE=c\r\n",
         Header(2) + Item(0, 0, 0, 0, "a", "", "") + Item(1, 0, 0, 0, "b", "", "")},
        {"missing sections give default rules", "[SYSTEM]\r\nEXCLUSIONNUM=3\r\n[ITEM1]\r\nPNAMEFLAG=1\r\n",
         Header(3) + Item(0, 0, 0, 0, "", "", "") + Item(1, 0, 1, 0, "", "", "") + Item(2, 0, 0, 0, "", "", "")},
        {"missing keys give defaults", "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\nTPART=メモ\r\n",
         Header(1) + Item(0, 1, 0, 0, "", "", "メモ")},
        {"switch values are kept", "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=5\r\nPNAMEFLAG=-3\r\nFULLNAMEFLAG=2\r\n",
         Header(1) + Item(0, 5, -3, 2, "", "", "")},
        {"sections in any order", "[ITEM1]\r\nTITLE=b\r\n[ITEM0]\r\nTITLE=a\r\n[SYSTEM]\r\nEXCLUSIONNUM=2\r\n",
         Header(2) + Item(0, 0, 0, 0, "a", "", "") + Item(1, 0, 0, 0, "b", "", "")},
        {"quotes only where the reader needs them",
         "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLE=\" x \"\r\nPNAME=\"a.exe\"\r\nTPART= y \r\n",
         Header(1) + Item(0, 0, 0, 0, "\" x \"", "a.exe", "y")},
    };
    for (const Case& c : cases) {
        if (c.file) PutFile(kIni, c.file);
        else DeleteFileA(kIni);
        ExclusionStore store;
        store.Save();
        const std::string got = FileBytes(kIni);
        EXPECT_EQ(c.saved, got) << c.name << "\n  expected:\n" << Escaped(c.saved) << "  actual:\n" << Escaped(got);
    }
}

// A count that cannot be trusted reads the sections up to the first missing one, and the file
// is never written over: it may hold more than was read.
TEST_F(ExclusionStoreTest, UntrustedCountKeepsTheFile) {
    const std::string items = Item(0, 1, 1, 1, "a", "a.exe", "") + Item(1, 0, 1, 0, "", "b.exe", "b");
    const std::string rules2 = Header(2) + items;
    struct Case {
        const char* name;
        std::string file;
        std::string saved;  // in ExclusionData.ini.new
    } cases[] = {
        {"negative", "[SYSTEM]\r\nEXCLUSIONNUM=-1\r\n" + items, rules2},
        {"2^31", "[SYSTEM]\r\nEXCLUSIONNUM=2147483648\r\n" + items, rules2},
        {"not a number", "[SYSTEM]\r\nEXCLUSIONNUM=abc\r\n" + items, rules2},
        {"a number and text", "[SYSTEM]\r\nEXCLUSIONNUM=2x\r\n" + items, rules2},
        {"empty value", "[SYSTEM]\r\nEXCLUSIONNUM=\r\n" + items, rules2},
        {"no EXCLUSIONNUM", "[SYSTEM]\r\nOTHER=1\r\n" + items, rules2},
        {"no [SYSTEM] section", items, rules2},
        {"above the cap", "[SYSTEM]\r\nEXCLUSIONNUM=1001\r\n" + items, rules2},
        {"a gap ends the reading", "[SYSTEM]\r\nEXCLUSIONNUM=-5\r\n" + items + Item(3, 1, 0, 0, "d", "", ""),
         rules2},
        {"sections in any order and case", "[item1]\r\nPNAMEFLAG=1\r\n[SYSTEM]\r\nEXCLUSIONNUM=x\r\n[ITEM0]\r\nTITLE=a\r\n",
         Header(2) + Item(0, 0, 0, 0, "a", "", "") + Item(1, 0, 1, 0, "", "", "")},
    };
    for (const Case& c : cases) {
        PutFile(kIni, c.file);
        testing::internal::CaptureStdout();
        {
            ExclusionStore store;
            EXPECT_TRUE(store.keepFile) << c.name;
            store.Save();
            EXPECT_EQ(c.saved, FileBytes(kNew)) << c.name << "\n  saved:\n" << Escaped(FileBytes(kNew));
        }
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_NE(std::string::npos, trace.find("cannot be trusted")) << c.name << ": trace " << trace;
        EXPECT_NE(std::string::npos, trace.find("ExclusionData.ini.new")) << c.name << ": trace " << trace;
        EXPECT_EQ(c.file, FileBytes(kIni)) << c.name << ": the file was written over";
        EXPECT_FALSE(Exists(kNewTemp)) << c.name;
        DeleteFileA(kNew);
    }
}

TEST(RuleCountTest, Parse) {
    struct Case {
        const char* text;
        bool trusted;
        int count;
    } cases[] = {
        {"0", true, 0},      {"3", true, 3},         {"007", true, 7},     {"1000", true, 1000},
        {"1001", false, 0},  {"-1", false, 0},       {"+1", false, 0},     {"", false, 0},
        {"abc", false, 0},   {"2 3", false, 0},      {"4294967297", false, 0},
    };
    for (const Case& c : cases) {
        int count = -7;
        EXPECT_EQ(c.trusted, ParseRuleCount(c.text, &count)) << "[" << c.text << "]";
        if (c.trusted) {
            EXPECT_EQ(c.count, count) << "[" << c.text << "]";
        }
    }
}

TEST_F(ExclusionStoreTest, ManySectionsAreCapped) {
    std::string file = "[SYSTEM]\r\nEXCLUSIONNUM=999999999\r\n";
    for (int i = 0; i <= kMaxExclusionRules; ++i) file += Item(i, 1, 0, 1, "t" + std::to_string(i), "", "");
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
    EXPECT_EQ(0u, FileBytes(kNew).find(Header(kMaxExclusionRules))) << "the destructor's save";
    EXPECT_EQ(file, FileBytes(kIni));
    EXPECT_LT(elapsed, 20000u) << "load and save of the capped rules took " << elapsed << " ms";
}

// A file that exists but cannot be read at start-up must not be taken for "no rules" and emptied.
TEST_F(ExclusionStoreTest, UnreadableFileIsNeverWrittenOver) {
    const std::string old = Header(1) + Item(0, 1, 1, 1, "old", "old.exe", "");
    struct Case {
        const char* name;
        bool folder;  // a folder of that name; else the file held open without sharing
    } cases[] = {
        {"held without sharing", false},
        {"a folder", true},
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
        EXPECT_TRUE(store->keepFile) << c.name;
        EXPECT_TRUE(store->rules.empty()) << c.name;
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);  // readable and writable from here on
        store->rules.push_back(Rule(1, 0, "new", "", 1, ""));
        store->Save();
        delete store;
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_NE(std::string::npos, trace.find("cannot read it")) << c.name << ": trace " << trace;
        if (!c.folder) {
            EXPECT_EQ(old, FileBytes(kIni)) << c.name;
        }
        EXPECT_EQ(Header(1) + Item(0, 1, 0, 1, "new", "", ""), FileBytes(kNew)) << c.name;
        if (c.folder) RemoveDirectoryA(kIni);
        DeleteFileA(kIni);
        DeleteFileA(kNew);
    }
}

TEST_F(ExclusionStoreTest, LongTextsAreCut) {
    std::string kana;
    for (int i = 0; i < 150; ++i) kana += "あ";
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

TEST(LoneLeadByteTest, Length) {
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
    for (const Case& c : cases) EXPECT_EQ(c.expected, LengthWithoutLoneLeadByte(c.text)) << c.name;
}

// Text the profile reader would change (line breaks, edge blanks, quote pairs) comes back as written,
// line breaks as blanks.
TEST_F(ExclusionStoreTest, AwkwardTextsRoundTrip) {
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
        for (const Case& c : cases) store.rules.push_back(Rule(1, 1, c.text, c.text, 1, c.text));
        store.Save();
    }
    ExclusionStore reloaded;
    ASSERT_EQ(sizeof cases / sizeof cases[0], reloaded.rules.size()) << Escaped(FileBytes(kIni));
    for (size_t i = 0; i < reloaded.rules.size(); ++i) {
        const Case& c = cases[i];
        const ExclusionRule expected = Rule(1, 1, c.readBack, c.readBack, 1, c.readBack);
        EXPECT_TRUE(SameRule(expected, reloaded.rules[i]))
            << c.name << ": expected " << RuleText(expected) << ", actual " << RuleText(reloaded.rules[i]);
    }
}

// The exit writes the file twice: once from the main window, once from the destructor.
TEST_F(ExclusionStoreTest, RepeatedSavesGiveTheSameBytes) {
    const std::string expected = Header(2) + Item(0, 1, 1, 1, "\" 無題 \"", "notepad.exe", "") +
                                 Item(1, 0, 1, 0, "", "calc.exe", "\"\"x\"\"");
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
    EXPECT_EQ(expected, first) << "expected:\n" << Escaped(expected) << "actual:\n" << Escaped(first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, third) << "the destructor's save";
    EXPECT_FALSE(Exists(kTemp));
}

TEST_F(ExclusionStoreTest, FailedSaveKeepsTheOldFile) {
    const std::string old = Header(1) + Item(0, 1, 1, 1, "old", "old.exe", "");
    struct Case {
        const char* name;
        bool blockTempWithFolder;  // else hold the old file open without delete sharing
        bool tempRemains;
    } cases[] = {
        {"temporary file cannot be created", true, true},
        {"old file cannot be replaced", false, false},
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
        store->Save();
        const std::string trace = testing::internal::GetCapturedStdout();
        EXPECT_NE(std::string::npos, trace.find("Error!")) << c.name << ": trace " << trace;
        EXPECT_EQ(old, FileBytes(kIni)) << c.name;
        EXPECT_EQ(2u, store->rules.size()) << c.name;
        EXPECT_EQ(c.tempRemains, Exists(kTemp)) << c.name;

        testing::internal::CaptureStdout();
        delete store;  // saves again, and fails again, without raising
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(old, FileBytes(kIni)) << c.name << ", after the destructor";

        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        RemoveDirectoryA(kTemp);
    }
}

DWORD WINAPI FolderUnknown(DWORD, LPSTR) { return 0; }
// GetCurrentDirectoryA leaves the buffer alone and returns the size the folder needs.
DWORD WINAPI FolderTooLong(DWORD size, LPSTR) { return size + 40; }
DWORD WINAPI FolderFillsTheBuffer(DWORD size, LPSTR buffer) {
    std::memset(buffer, 'x', size - 1);
    buffer[size - 1] = '\0';
    return size - 1;
}

TEST_F(ExclusionStoreTest, CurrentFolderThatDoesNotFit) {
    // A store that took the folder as empty would use the drive root.
    const char* root = "\\ExclusionData.ini";
    if (Exists(root)) GTEST_SKIP() << root << " exists already";
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

TEST_F(ExclusionStoreTest, SingleInstance) {
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
