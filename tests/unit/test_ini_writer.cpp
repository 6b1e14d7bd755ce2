// The ini writer: the bytes of sequential-file mode, values that must read back, and failures.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/WriteIniFile.h"
#include "tests/unit/support/text.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ProfileText(const std::string& path, const char* section, const char* key)
{
    char buffer[1024] = {};
    GetPrivateProfileStringA(section, key, "<none>", buffer, sizeof buffer, path.c_str());
    return buffer;
}

class IniWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        m_folder = std::string(temp) + "kv_ini_writer_" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(m_folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override
    {
        for (const std::string& path : m_files)
            DeleteFileA(path.c_str());
        RemoveDirectoryA(m_folder.c_str());
    }
    std::string Path(const std::string& name)
    {
        m_files.push_back(m_folder + "\\" + name);
        return m_files.back();
    }

    std::string m_folder;
    std::vector<std::string> m_files;
};

struct Write {
    const char* section;
    const char* key;
    const char* value;
};

TEST_F(IniWriterTest, SequentialFileBytes)
{
    struct Case {
        const char* name;
        std::vector<Write> writes;
        std::string expected;
    } cases[] = {
        {"sections A, A, B, A",
         {{"A", "k1", "1"}, {"A", "k2", "2"}, {"B", "k3", "3"}, {"A", "k4", "4"}},
         "[A]\r\nk1=1\r\nk2=2\r\n[B]\r\nk3=3\r\n[A]\r\nk4=4\r\n"},
        {"no values", {}, ""},
        {"empty value", {{"S", "k", ""}}, "[S]\r\nk=\r\n"},
        {"empty first section has no header", {{"", "k", "v"}, {"S", "k", "v"}}, "k=v\r\n[S]\r\nk=v\r\n"},
        {"the store's first lines",
         {{"SYSTEM", "EXCLUSIONNUM", "1"}, {"ITEM0", "TITLEFLAG", "1"}},
         "[SYSTEM]\r\nEXCLUSIONNUM=1\r\n[ITEM0]\r\nTITLEFLAG=1\r\n"},
        {"equals sign and inner blanks kept", {{"S", "k", "a = b"}}, "[S]\r\nk=a = b\r\n"},
        // 表示 is 95 5C 8E A6: the 5C trail byte is no backslash to escape.
        {"double-byte text verbatim", {{"表示", "キー", "表示"}}, "[表示]\r\nキー=表示\r\n"},
        {"blank at either end is quoted",
         {{"S", "a", " x"}, {"S", "b", "x "}, {"S", "c", "\tx"}, {"S", "d", "  "}},
         "[S]\r\na=\" x\"\r\nb=\"x \"\r\nc=\"\tx\"\r\nd=\"  \"\r\n"},
        {"a quote pair the reader strips is quoted",
         {{"S", "a", "\"q\""}, {"S", "b", "'q'"}, {"S", "c", "\" q \""}},
         "[S]\r\na=\"\"q\"\"\r\nb=\"'q'\"\r\nc=\"\" q \"\"\r\n"},
        {"unpaired quotes are kept",
         {{"S", "a", "\"q"}, {"S", "b", "q'"}, {"S", "c", "\""}, {"S", "d", "\"q'"}},
         "[S]\r\na=\"q\r\nb=q'\r\nc=\"\r\nd=\"q'\r\n"},
        {"CR and LF become blanks", {{"S", "k", "a\r\nb=c\r\n[X]"}}, "[S]\r\nk=a  b=c  [X]\r\n"},
        {"a line end at the edge becomes a quoted blank", {{"S", "k", "x\n"}}, "[S]\r\nk=\"x \"\r\n"},
        {"a lone lead byte does not shield a CR", {{"S", "k", "x\x82\ry"}}, "[S]\r\nk=x\x82 y\r\n"},
        {"CR and LF in section and key names", {{"A\r\nB", "k\ny", "v"}}, "[A  B]\r\nk y=v\r\n"},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string path = Path("bytes" + std::to_string(index++) + ".ini");
        CWriteIniFile writer;
        writer.m_nMode = 1;
        ASSERT_TRUE(writer.openFile(path.c_str())) << c.name;
        for (const Write& w : c.writes)
            EXPECT_TRUE(writer.WriteIniValue(w.section, w.key, w.value, nullptr)) << c.name;
        writer.closeFile();
        const std::string got = FileBytes(path);
        EXPECT_EQ(c.expected, got) << c.name << "\n  expected: " << Escaped(c.expected)
                                   << "\n  actual:   " << Escaped(got);
    }
}

// What the writer puts down, the system's profile reader gives back, in either mode.
TEST_F(IniWriterTest, ValuesReadBackThroughTheProfileReader)
{
    struct Case {
        const char* name;
        const char* value;
        const char* readBack;
    } cases[] = {
        {"plain", "abc", "abc"},
        {"empty", "", ""},
        {"double-byte", "表示アイ", "表示アイ"},
        {"leading blank", " lead", " lead"},
        {"trailing blank", "trail ", "trail "},
        {"tabs", "\tboth\t", "\tboth\t"},
        {"blanks only", "  ", "  "},
        {"double quotes around", "\"q\"", "\"q\""},
        {"single quotes around", "'q'", "'q'"},
        {"quotes and blanks", " \"q\" ", " \"q\" "},
        {"one quote", "\"", "\""},
        {"equals signs", "a=b=c", "a=b=c"},
        {"line breaks", "a\r\nb=c\r\n[X]", "a  b=c  [X]"},
    };
    for (int mode : {1, 0}) {
        const std::string path = Path(mode == 1 ? "readback_sequential.ini" : "readback_profile.ini");
        CWriteIniFile writer;
        writer.m_nMode = mode;
        ASSERT_TRUE(writer.openFile(path.c_str()));
        int index = 0;
        for (const Case& c : cases) {
            const std::string key = "k" + std::to_string(index++);
            writer.WriteIniValue("S", key.c_str(), c.value, path.c_str());
        }
        writer.closeFile();
        index = 0;
        for (const Case& c : cases) {
            const std::string got = ProfileText(path, "S", ("k" + std::to_string(index++)).c_str());
            EXPECT_EQ(std::string(c.readBack), got)
                << (mode == 1 ? "sequential, " : "profile, ") << c.name << ": expected " << Escaped(c.readBack)
                << ", actual " << Escaped(got);
        }
        EXPECT_EQ("<none>", ProfileText(path, "X", "b")) << (mode == 1 ? "sequential" : "profile") << ": injected line";
    }
}

TEST_F(IniWriterTest, MissingFolderTracesAndWritesNothing)
{
    const std::string folder = m_folder + "\\missing";
    const std::string path = folder + "\\x.ini";
    CWriteIniFile writer;
    writer.m_nMode = 1;
    testing::internal::CaptureStdout();
    const BOOL opened = writer.openFile(path.c_str());
    const std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(opened);
    EXPECT_EQ("CWriteIniFile::openFile(" + path + ") Error!\n", trace);
    EXPECT_TRUE(writer.WriteIniValue("S", "k", "v", path.c_str()));
    EXPECT_TRUE(writer.m_strLastSection.IsEmpty());
    EXPECT_NO_THROW(writer.closeFile());
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(folder));
}

TEST_F(IniWriterTest, ClosedWriterWritesNothing)
{
    const std::string first = Path("first.ini");
    const std::string second = Path("second.ini");
    CWriteIniFile writer;
    writer.m_nMode = 1;
    ASSERT_TRUE(writer.openFile(first.c_str()));
    writer.WriteIniValue("A", "k", "1", nullptr);
    writer.closeFile();
    EXPECT_TRUE(writer.WriteIniValue("B", "k", "2", nullptr));
    EXPECT_NO_THROW(writer.closeFile());
    EXPECT_EQ("[A]\r\nk=1\r\n", FileBytes(first));

    // The last section outlives the file, so a reopened writer omits a header equal to it.
    ASSERT_TRUE(writer.openFile(second.c_str()));
    writer.WriteIniValue("A", "k", "3", nullptr);
    writer.closeFile();
    EXPECT_EQ("k=3\r\n", FileBytes(second));
}

TEST_F(IniWriterTest, ProfileModeOpensNoFile)
{
    const std::string path = Path("profile.ini");
    CWriteIniFile writer;
    ASSERT_EQ(0, writer.m_nMode);
    EXPECT_TRUE(writer.openFile(path.c_str()));
    EXPECT_FALSE(Exists(path));
    writer.closeFile();
    EXPECT_TRUE(writer.WriteIniValue("S", "k", "v", path.c_str()));
    writer.closeFile();
    EXPECT_EQ("v", ProfileText(path, "S", "k"));
}

// Z: is the Unix root under Wine, and /dev/full fails every write as a full disk does.
TEST_F(IniWriterTest, FailedWriteRaisesFileException)
{
    const char* full = "Z:\\dev\\full";
    CWriteIniFile writer;
    writer.m_nMode = 1;
    if (!writer.openFile(full))
        GTEST_SKIP() << "no " << full;
    int cause = CFileException::none;
    try {
        writer.WriteIniValue("S", "k", "v", nullptr);
    } catch (const CFileException& e) {
        cause = e.m_cause;
    }
    EXPECT_EQ(CFileException::diskFull, cause);
}

}  // namespace
