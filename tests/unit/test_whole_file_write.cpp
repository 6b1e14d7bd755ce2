// The shared whole-file write: its temporary copy reaches the disk before it takes the file's name,
// whichever file it writes.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "desktop/WholeFileWrite.h"
#include "tracking/ExclusionStore.h"

namespace {

std::vector<std::string> g_calls;
bool g_flushFails = false;

std::string BaseName(LPCSTR path)
{
    const std::string p = path;
    const size_t slash = p.find_last_of('\\');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

BOOL WINAPI RecordedFlush(HANDLE file)
{
    g_calls.push_back("flush " + std::to_string(GetFileSize(file, nullptr)) + " bytes");
    if (g_flushFails) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    return FlushFileBuffers(file);
}

BOOL WINAPI RecordedMove(LPCSTR from, LPCSTR to, DWORD flags)
{
    g_calls.push_back("move " + BaseName(from) + " to " + BaseName(to));
    return MoveFileExA(from, to, flags);
}

CString FullPath(const char* name)
{
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof folder, folder);
    return CString(folder) + "\\" + name;
}

std::string Bytes(const char* path)
{
    std::string bytes;
    return ReadFileBytes(path, &bytes) ? bytes : "<missing>";
}

class WholeFileWriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        GetCurrentDirectoryA(sizeof m_previous, m_previous);
        char temp[MAX_PATH] = {};
        GetTempPathA(sizeof temp, temp);
        m_folder = std::string(temp) + "kv_whole_" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(m_folder.c_str(), nullptr)) << m_folder;
        ASSERT_TRUE(SetCurrentDirectoryA(m_folder.c_str()));
        g_calls.clear();
        g_flushFails = false;
        m_real = SetCommitCalls(CommitCalls{RecordedFlush, RecordedMove});
    }
    void TearDown() override
    {
        SetCommitCalls(m_real);
        for (const char* name : {"Kestrova.ini", "Kestrova.ini.tmp", "ExclusionData.ini", "ExclusionData.ini.tmp"})
            DeleteFileA(name);
        SetCurrentDirectoryA(m_previous);
        EXPECT_TRUE(RemoveDirectoryA(m_folder.c_str())) << "files left in " << m_folder;
    }

    char m_previous[MAX_PATH] = {};
    std::string m_folder;
    CommitCalls m_real = {};
};

// Both files the program writes take the one road: the whole copy flushed, then moved.
TEST_F(WholeFileWriteTest, FlushedBeforeTheRename)
{
    const std::string rules = "[SYSTEM]\r\nEXCLUSIONNUM=0\r\n";
    const std::string settings = "[SYSTEM]\r\nLIMIT=16\r\n";
    struct Case {
        const char* name;
        const char* file;
        std::string expected;
        void (*write)();
    } cases[] = {
        // A relative name would send the profile calls to the Windows folder.
        {"settings", "Kestrova.ini", settings,
         [] { EXPECT_TRUE(WriteProfileWhole(FullPath("Kestrova.ini"), "SYSTEM", {ProfileValue("LIMIT", "16")})); }},
        {"rules", "ExclusionData.ini", rules, [] { ExclusionStore store; }},  // its destructor saves
    };
    for (const Case& c : cases) {
        g_calls.clear();
        c.write();
        const std::vector<std::string> expected = {"flush " + std::to_string(c.expected.size()) + " bytes",
                                                   "move " + std::string(c.file) + ".tmp to " + c.file};
        EXPECT_EQ(expected, g_calls) << c.name;
        EXPECT_EQ(c.expected, Bytes(c.file)) << c.name;
    }
}

TEST_F(WholeFileWriteTest, FailedFlushKeepsTheOldFile)
{
    ASSERT_TRUE(WriteBytesWhole("Kestrova.ini", "old"));
    g_calls.clear();
    g_flushFails = true;
    EXPECT_FALSE(WriteBytesWhole("Kestrova.ini", "new"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
    EXPECT_EQ(std::vector<std::string>({"flush 3 bytes"}), g_calls);
    EXPECT_EQ("old", Bytes("Kestrova.ini"));
    EXPECT_EQ("<missing>", Bytes("Kestrova.ini.tmp"));
}

}  // namespace
