// CStdioFile: bytes reach the disk unchanged, ReadString drops line ends, failures carry a cause.
#include <gtest/gtest.h>

#include "tests/unit/support/text.h"

#include <string>
#include <vector>

#include "framework/File.h"

namespace {

class FrameworkFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        char dir[MAX_PATH] = {};
        GetTempPathA(sizeof dir, dir);
        m_dir = std::string(dir) + "kv-fw-file-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(m_dir.c_str(), nullptr);
        m_path = m_dir + "\\lines.txt";
    }
    void TearDown() override
    {
        DeleteFileA(m_path.c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    void WriteRaw(const std::string& bytes) { ASSERT_TRUE(WriteFileBytes(m_path, bytes)); }
    std::string ReadRaw() { return FileBytes(m_path); }

    std::string m_dir;
    std::string m_path;
};

TEST_F(FrameworkFileTest, WrittenBytesReachTheDiskUnchanged)
{
    struct Case {
        const char* name;
        UINT extraFlags;
        std::string text;
    } cases[] = {
        {"CR LF lines", 0, "a\r\nb\r\n"},
        {"bare LF is not widened", 0, "c\nd"},
        {"text mode flag changes nothing", CStdioFile::typeText, "e\r\nf\n"},
        {"double-byte text", 0, "表示\\ソ\r\n"},
    };
    for (const Case& c : cases) {
        CStdioFile file;
        ASSERT_TRUE(file.Open(m_path.c_str(), CStdioFile::modeCreate | CStdioFile::modeWrite | c.extraFlags)) << c.name;
        file.WriteString(c.text.c_str());
        file.Close();
        EXPECT_EQ(c.text, ReadRaw()) << c.name;
    }
}

TEST_F(FrameworkFileTest, ReadStringDropsLineEnds)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"LF", "a\nb\n", {"a", "b"}},
        {"last line without an end", "a\r\nlast", {"a", "last"}},
        {"empty lines", "\r\n\n", {"", ""}},
        {"CR inside a line stays", "x\ry\n", {"x\ry"}},
        {"double-byte text", "表示\r\nソ\n", {"表示", "ソ"}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        WriteRaw(c.bytes);
        CStdioFile file;
        ASSERT_TRUE(file.Open(m_path.c_str(), CStdioFile::modeRead)) << c.name;
        std::vector<std::string> lines;
        CString line;
        while (file.ReadString(line) && lines.size() < 10)
            lines.push_back(std::string(line));
        EXPECT_EQ(c.lines, lines) << c.name;
    }
}

TEST_F(FrameworkFileTest, OpenFailureFillsTheCause)
{
    WriteRaw("locked");
    HANDLE exclusive = CreateFileA(m_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);

    struct Case {
        const char* name;
        std::string path;
        UINT flags;
        int cause;
        LONG osError;
    } cases[] = {
        {"missing file", m_dir + "\\none.txt", CStdioFile::modeRead, CFileException::fileNotFound,
         ERROR_FILE_NOT_FOUND},
        {"missing folder", m_dir + "\\none\\x.txt", CStdioFile::modeCreate | CStdioFile::modeWrite,
         CFileException::badPath, ERROR_PATH_NOT_FOUND},
        {"file held exclusively", m_path, CStdioFile::modeRead, CFileException::sharingViolation,
         ERROR_SHARING_VIOLATION},
    };
    for (const Case& c : cases) {
        CStdioFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(c.path.c_str(), c.flags, &error)) << c.name;
        EXPECT_EQ(c.cause, error.m_cause) << c.name;
        EXPECT_EQ(c.osError, error.m_lOsError) << c.name;
        EXPECT_FALSE(file.IsOpen()) << c.name;
    }
    CloseHandle(exclusive);
}

TEST_F(FrameworkFileTest, WriteFailuresThrowAndAbortNeverDoes)
{
    CStdioFile closed;
    try {
        closed.WriteString("x");
        ADD_FAILURE() << "Write on a closed file did not throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::genericException, e.m_cause);
    }

    WriteRaw("data");
    CStdioFile readOnly;
    ASSERT_TRUE(readOnly.Open(m_path.c_str(), CStdioFile::modeRead));
    try {
        readOnly.WriteString("x");
        ADD_FAILURE() << "Write on a read-only file did not throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(CFileException::accessDenied, e.m_cause);
        EXPECT_EQ(ERROR_ACCESS_DENIED, e.m_lOsError);
    }

    // A handle closed behind the object's back: Close reports it, Abort stays quiet.
    CStdioFile lost;
    ASSERT_TRUE(lost.Open(m_path.c_str(), CStdioFile::modeRead));
    CloseHandle(lost.m_hFile);
    EXPECT_THROW(lost.Close(), CFileException);
    ASSERT_TRUE(lost.Open(m_path.c_str(), CStdioFile::modeRead));
    CloseHandle(lost.m_hFile);
    EXPECT_NO_THROW(lost.Abort());
    EXPECT_FALSE(lost.IsOpen());
    EXPECT_NO_THROW(lost.Abort());
}

}  // namespace
