// The window record and the process-name lookup.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tracking/WindowEntry.h"
#include "tracking/ProcessModule.h"

namespace {

TEST(WindowEntryTest, DefaultEntryIsEmpty)
{
    WindowEntry entry;
    EXPECT_TRUE(entry.hwnd == nullptr);
    EXPECT_EQ(0u, entry.processId);
    EXPECT_TRUE(entry.title.IsEmpty());
    EXPECT_TRUE(entry.processName.IsEmpty());
}

TEST(WindowEntryTest, CopiesAreIndependent)
{
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

TEST(ProcessNameTest, PathBaseName)
{
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

std::string OwnExecutableName()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* slash = std::strrchr(path, '\\');  // the test's own path is plain ASCII
    return slash ? slash + 1 : path;
}

// The module reads a process may give: none, as for a 64-bit process read from 32 bits, or another
// name than the image path's, which shows the road taken.
bool NoModules(HANDLE, ModuleName, char* name, DWORD)
{
    name[0] = '\0';
    return false;
}
bool OtherModule(HANDLE, ModuleName part, char* name, DWORD size)
{
    lstrcpynA(name, part == kModuleBaseName ? "module.exe" : "C:\\m\\module.exe", static_cast<int>(size));
    return true;
}

TEST(ProcessNameTest, NameFromProcessId)
{
    const std::string ownName = OwnExecutableName();
    const bool imagePath = GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA") != nullptr;
    bool (*const real)(HANDLE, ModuleName, char*, DWORD) = ReadFirstModuleName;

    struct Case {
        const char* name;
        DWORD processId;
        bool (*modules)(HANDLE, ModuleName, char*, DWORD);
        std::string expected;
    } cases[] = {
        {"own process", GetCurrentProcessId(), real, ownName},
        {"no such process", 0xFFFFFFF0, real, ""},
        {"process id 0", 0, real, ""},
        {"own process, modules not listed: the image path", GetCurrentProcessId(), NoModules, imagePath ? ownName : ""},
        {"no such process, modules not listed", 0xFFFFFFF0, NoModules, ""},
        {"the module list comes first", GetCurrentProcessId(), OtherModule, "module.exe"},
    };
    for (const Case& c : cases) {
        ReadFirstModuleName = c.modules;
        CString name("stale");  // always assigned, also on failure
        GetProcessNameFromId(c.processId, name);
        ReadFirstModuleName = real;
        EXPECT_EQ(c.expected, std::string(name)) << c.name;
    }
}

// The route for processes whose modules cannot be listed (64-bit ones); it works on any process.
TEST(ProcessNameTest, ImageBaseNameFallback)
{
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
