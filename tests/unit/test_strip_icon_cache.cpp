// The small-icon cache through a fake shell: one shell query per key, the error icon for a path
// without one, and a key cached only when its image lands at the key's position.
#include "strip/IconCache.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// The fake shell: paths starting "missing" have no icon; images are refused while g_refuse is set,
// and land one place off while g_offset is set.
std::vector<std::string> g_queries;
int g_destroyed = 0;
bool g_refuse = false;
bool g_offset = false;
bool g_noDesktop = false;
HICON g_error = nullptr;

HICON FakeFileIcon(const char* path)
{
    g_queries.push_back(path);
    if (std::string(path).rfind("missing", 0) == 0)
        return nullptr;
    return CopyIcon(LoadIconA(nullptr, IDI_APPLICATION));
}

HICON FakeErrorIcon()
{
    return g_error;
}
HICON FakeDesktopIcon()
{
    return g_noDesktop ? nullptr : LoadIconA(nullptr, IDI_INFORMATION);
}

void FakeDestroy(HICON icon)
{
    ++g_destroyed;
    DestroyIcon(icon);
}

int FakeAdd(CImageList& list, HICON icon)
{
    if (g_refuse)
        return -1;
    const int index = list.Add(icon);
    if (g_offset && index >= 0) {
        list.Add(icon);
        return index + 1;
    }
    return index;
}

const IconShell kFakeShell = {&FakeFileIcon, &FakeErrorIcon, &FakeDesktopIcon, &FakeDestroy, &FakeAdd};

struct Step {
    const char* path;
    int expected;
    bool refuse = false;
    bool offset = false;
};

TEST(IconCache, EachKeyAsksTheShellOnceAndKeepsItsPosition)
{
    g_error = LoadIconA(nullptr, IDI_ERROR);
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<std::string> queries;
        int images;
    } cases[] = {
        {"same executable twice", {{"C:\\a.exe", 0}, {"C:\\a.exe", 0}}, {"C:\\a.exe"}, 1},
        {"letter case makes two keys", {{"C:\\a.exe", 0}, {"C:\\A.exe", 1}}, {"C:\\a.exe", "C:\\A.exe"}, 2},
        {"no icon: the error icon, cached", {{"missing.exe", 0}, {"missing.exe", 0}}, {"missing.exe"}, 1},
        {"the empty path is one key", {{"", 0}, {"C:\\b.exe", 1}, {"", 0}}, {"", "C:\\b.exe"}, 2},
        {"refused, then the next key at its position",
         {{"C:\\a.exe", -1, true}, {"C:\\b.exe", 0}, {"C:\\a.exe", 1}},
         {"C:\\a.exe", "C:\\b.exe", "C:\\a.exe"},
         2},
        {"an image off its position is not cached",
         {{"C:\\a.exe", 0}, {"C:\\b.exe", -1, false, true}, {"C:\\c.exe", 1}},
         {"C:\\a.exe", "C:\\b.exe", "C:\\c.exe"},
         2},
        {"DESKTOP asks no shell", {{"DESKTOP", 0}, {"DESKTOP", 0}}, {}, 1},
    };
    for (const Case& c : cases) {
        g_queries.clear();
        g_destroyed = 0;
        int owned = 0;
        CImageListCashSmoll cache(kFakeShell);
        for (const Step& s : c.steps) {
            g_refuse = s.refuse;
            g_offset = s.offset;
            const size_t before = g_queries.size();
            EXPECT_EQ(s.expected, cache.GetIconIndex(s.path)) << c.name << ": " << s.path;
            if (g_queries.size() > before && std::string(s.path).rfind("missing", 0) != 0)
                ++owned;
        }
        g_refuse = g_offset = false;
        EXPECT_EQ(c.queries, g_queries) << c.name;
        EXPECT_EQ(c.images, cache.m_imageList.GetImageCount()) << c.name;
        EXPECT_EQ(static_cast<size_t>(c.images), cache.m_paths.size()) << c.name;
        // Every icon the shell made is destroyed; the shared error and desktop icons never are.
        EXPECT_EQ(owned, g_destroyed) << c.name;
    }
}

TEST(IconCache, MissingDesktopIconCachesNothing)
{
    g_noDesktop = true;
    CImageListCashSmoll cache(kFakeShell);
    EXPECT_EQ(-1, cache.GetIconIndex("DESKTOP"));
    EXPECT_TRUE(cache.m_paths.empty());
    g_noDesktop = false;
    EXPECT_EQ(0, cache.GetIconIndex("DESKTOP"));
}

TEST(IconCache, SystemShellGivesAnIconOrTheErrorIconButNeverAStaleHandle)
{
    CImageListCashSmoll cache;
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof(self));
    EXPECT_EQ(0, cache.GetIconIndex(self));
    // The shell fails here (Wine may leave a stale handle behind): the error icon stands in.
    EXPECT_EQ(1, cache.GetIconIndex("Z:\\no\\such\\file.exe"));
    EXPECT_EQ(2, cache.m_imageList.GetImageCount());
}

}  // namespace

namespace {

// The list shares the cache's image list: closing the list window must leave it to the cache,
// which destroys it once.
TEST(IconCache, ListWindowLeavesTheImageListToTheCache)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    CImageListCashSmoll cache(kFakeShell);
    ASSERT_EQ(0, cache.GetIconIndex("C:\\a.exe"));
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 100, 100,
                                nullptr, nullptr, nullptr, nullptr);
    ListView_SetImageList(list, cache.m_imageList.GetSafeHandle(), LVSIL_SMALL);
    DestroyWindow(list);
    EXPECT_EQ(1, ImageList_GetImageCount(cache.m_imageList.GetSafeHandle())) << "the list window destroyed the images";
    EXPECT_EQ(1, cache.GetIconIndex("C:\\b.exe"));
}

}  // namespace
