// The window record and the process-name lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tracking/WindowEntry.h"

namespace {

TEST(WindowEntryTest, DefaultEntryIsEmpty) {
    WindowEntry entry;
    EXPECT_TRUE(entry.hwnd == nullptr);
    EXPECT_EQ(0u, entry.processId);
    EXPECT_TRUE(entry.title.IsEmpty());
    EXPECT_TRUE(entry.processName.IsEmpty());
}

TEST(WindowEntryTest, CopiesAreIndependent) {
    WindowEntry original;
    original.hwnd = reinterpret_cast<HWND>(0x1234);
    original.processId = 42;
    original.title = "メモ帳";
    original.processName = "notepad.exe";

    WindowEntry constructed(original);
    WindowEntry assigned;
    assigned = original;
    for (WindowEntry* copy : {&constructed, &assigned}) {
        EXPECT_TRUE(copy->hwnd == original.hwnd && copy->processId == 42u && copy->title == "メモ帳" &&
                    copy->processName == "notepad.exe");
        copy->title = "changed";
        copy->processName.MakeUpper();
    }
    EXPECT_EQ(CString("メモ帳"), original.title);
    EXPECT_EQ(CString("notepad.exe"), original.processName);
}

TEST(ProcessNameTest, PathBaseName) {
    struct Case {
        const char* name;
        const char* path;
        const char* expected;
    } cases[] = {
        {"full path", "C:\\Windows\\notepad.exe", "notepad.exe"},
        {"no folder", "notepad.exe", "notepad.exe"},
        {"trailing backslash", "C:\\Windows\\", ""},
        {"empty", "", ""},
        // ソ is 83 5C and 表 is 95 5C: their trail byte is no backslash.
        {"name ending in a 5C trail byte", "C:\\Tools\\ソ", "ソ"},
        {"double-byte folder and name", "D:\\ソフト\\表示.exe", "表示.exe"},
        {"5C trail byte before the last backslash", "C:\\表\\a.exe", "a.exe"},
    };
    for (const Case& c : cases) {
        const std::string got = PathBaseName(c.path);
        EXPECT_EQ(std::string(c.expected), got) << c.name;
    }
}

std::string OwnExecutableName() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* slash = std::strrchr(path, '\\');  // the test's own path is plain ASCII
    return slash ? slash + 1 : path;
}

TEST(ProcessNameTest, NameFromProcessId) {
    const std::string ownName = OwnExecutableName();

    struct Case {
        const char* name;
        DWORD processId;
        std::string expected;
    } cases[] = {
        {"own process", GetCurrentProcessId(), ownName},
        {"no such process", 0xFFFFFFF0, ""},
        {"process id 0", 0, ""},
    };
    for (const Case& c : cases) {
        CString name("stale");  // always assigned, also on failure
        GetProcessNameFromId(c.processId, name);
        EXPECT_EQ(c.expected, std::string(name)) << c.name;
    }
}

// The route for processes whose modules cannot be listed (64-bit ones); it works on any process.
TEST(ProcessNameTest, ImageBaseNameFallback) {
    if (!GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA"))
        GTEST_SKIP() << "no image-path query before Vista";
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, GetCurrentProcessId());
    ASSERT_TRUE(process != nullptr);
    char name[1024] = {};
    const bool found = GetImageBaseName(process, name, sizeof name);
    CloseHandle(process);
    EXPECT_TRUE(found);
    EXPECT_EQ(OwnExecutableName(), std::string(name));
}

}  // namespace
