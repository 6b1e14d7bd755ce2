// The control page's settings: defaults and loading, writing, the values derived from them, the
// mode letters and the settings path.
#include "strip/ControlDlg.h"

#include "desktop/TaskBarControl.h"

#include <gtest/gtest.h>

#include "tests/unit/support/text.h"

#include <climits>
#include <cstring>
#include <string>

namespace {

// A scratch ini file beside the test, removed again.
class IniFile {
public:
    explicit IniFile(const char* content)
    {
        char folder[MAX_PATH];
        GetCurrentDirectoryA(sizeof(folder), folder);
        m_path = std::string(folder) + "\\strip_settings_test.ini";
        DeleteFileA(m_path.c_str());
        if (!content)
            return;
        WriteFileBytes(m_path, content);
    }
    ~IniFile() { DeleteFileA(m_path.c_str()); }
    const std::string& Path() const { return m_path; }
    std::string Read() const { return FileBytes(m_path); }

private:
    std::string m_path;
};

struct Settings {
    int location, size, left, top, right, bottom, transparent, limit, interval, frame, hotKey, modifiers;
    int thumbWidth, thumbHeight;
};

std::string Text(const Settings& s)
{
    char buf[256];
    snprintf(buf, sizeof(buf),
             "LOCATION %d SIZE %d L %d T %d R %d B %d TRANSPARENT %d LIMIT %d INTERVAL %d FRAME %d HV %d/%d slot %dx%d",
             s.location, s.size, s.left, s.top, s.right, s.bottom, s.transparent, s.limit, s.interval, s.frame,
             s.hotKey, s.modifiers, s.thumbWidth, s.thumbHeight);
    return buf;
}

Settings Of(const CControlDlg& page)
{
    return {page.m_nLocation,     page.m_nSize,           page.m_nLeftMargin, page.m_nTopMargin,  page.m_nRightMargin,
            page.m_nBottomMargin, page.m_nTransparent,    page.m_nLimit,      page.m_nInterval,   page.m_bFrame,
            page.m_nHoverHotKey,  page.m_nHoverModifiers, page.m_nThumbWidth, page.m_nThumbHeight};
}

// Stand-ins for GetCurrentDirectoryA.
std::string g_folder;
DWORD WINAPI FakeCurrentDirectory(DWORD size, LPSTR buffer)
{
    if (g_folder.size() + 1 > size)
        return static_cast<DWORD>(g_folder.size() + 1);  // the size it would need
    strcpy(buffer, g_folder.c_str());
    return static_cast<DWORD>(g_folder.size());
}
DWORD WINAPI FailingCurrentDirectory(DWORD, LPSTR)
{
    return 0;
}

}  // namespace

TEST(StripSettings, LoadTakesDefaultsForMissingKeysAndValuesAsRead)
{
    struct Case {
        const char* name;
        const char* file;  // nullptr: no file
        Settings expected;
    } cases[] = {
        {"no file: LIMIT 16, not the constructor's 6",
         nullptr,
         {1, 1, 20, 10, 10, 30, 60, 16, 5, 0, 'W', MOD_WIN, 160, 120}},
        {"section without keys", "[SYSTEM]\r\n", {1, 1, 20, 10, 10, 30, 60, 16, 5, 0, 'W', MOD_WIN, 160, 120}},
        {"only HVHOTKEY: the Win modifier stays",
         "[SYSTEM]\r\nHVHOTKEY=65\r\n",
         {1, 1, 20, 10, 10, 30, 60, 16, 5, 0, 65, MOD_WIN, 160, 120}},
        {"every key",
         "[SYSTEM]\r\nLOCATION=3\r\nSIZE=2\r\nLEFTMARGIN=1\r\nTOPMARGIN=2\r\nRIGHTMARGIN=3\r\nBOTTOMMARGIN=4\r\n"
         "TRANSPARENT=80\r\nLIMIT=4\r\nINTERVAL=7\r\nFRAME=1\r\nHVHOTKEY=81\r\nHVMODIFIERS=3\r\n",
         {3, 2, 1, 2, 3, 4, 80, 4, 7, 1, 81, 3, 220, 160}},
        {"small", "[SYSTEM]\r\nSIZE=0\r\n", {1, 0, 20, 10, 10, 30, 60, 16, 5, 0, 'W', MOD_WIN, 110, 80}},
        {"out of range values stay; SIZE 7 leaves the slot size as it was",
         "[SYSTEM]\r\nLOCATION=9\r\nSIZE=7\r\nLEFTMARGIN=-5\r\nTRANSPARENT=0\r\nLIMIT=-1\r\nINTERVAL=0\r\n",
         {9, 7, -5, 10, 10, 30, 0, -1, 0, 0, 'W', MOD_WIN, 0, 0}},
        {"another section only",
         "[OTHER]\r\nLIMIT=3\r\n",
         {1, 1, 20, 10, 10, 30, 60, 16, 5, 0, 'W', MOD_WIN, 160, 120}},
    };
    for (const Case& c : cases) {
        IniFile ini(c.file);
        CControlDlg page;
        page.m_strIniPath = ini.Path().c_str();
        page.LoadSettings();
        EXPECT_EQ(Text(c.expected), Text(Of(page))) << c.name;
        EXPECT_EQ(0, page.m_bEnableDeleteTab) << c.name;
        ASSERT_TRUE(CTaskBarControl::m_pInstance) << c.name;
        EXPECT_EQ(0, CTaskBarControl::m_pInstance->m_bEnableDeleteTab) << c.name << ": taskbar buttons removable";
    }
    CTaskBarControl::ReleaseInstance();
}

TEST(StripSettings, SaveWritesTheTwelveKeysInOrderAsSignedDecimals)
{
    IniFile ini(nullptr);
    CControlDlg page;
    page.m_strIniPath = ini.Path().c_str();
    page.m_nLocation = 2;
    page.m_nSize = 0;
    page.m_nLeftMargin = -3;
    page.m_nTopMargin = 4;
    page.m_nRightMargin = 5;
    page.m_nBottomMargin = 6;
    page.m_nTransparent = 70;
    page.m_nLimit = -1;
    page.m_nInterval = 9;
    page.m_bFrame = 1;
    page.m_nHoverHotKey = 65;
    page.m_nHoverModifiers = 6;
    page.SaveSettings();

    const std::string text = ini.Read();
    const char* keys[] = {"LOCATION=2",    "SIZE=0",         "LEFTMARGIN=-3",  "TOPMARGIN=4",
                          "RIGHTMARGIN=5", "BOTTOMMARGIN=6", "TRANSPARENT=70", "LIMIT=-1",
                          "INTERVAL=9",    "FRAME=1",        "HVHOTKEY=65",    "HVMODIFIERS=6"};
    size_t at = text.find("[SYSTEM]");
    ASSERT_NE(std::string::npos, at) << text;
    for (const char* key : keys) {
        const size_t found = text.find(key, at);
        EXPECT_NE(std::string::npos, found) << key << " missing or out of order in [" << text << "]";
        if (found != std::string::npos)
            at = found;
    }

    page.CalcThumbnailSize();
    CControlDlg reread;
    reread.m_strIniPath = ini.Path().c_str();
    reread.LoadSettings();
    EXPECT_EQ(Text(Of(page)), Text(Of(reread))) << "read back";
    CTaskBarControl::ReleaseInstance();
}

TEST(StripSettings, ThumbnailSizes)
{
    struct Case {
        int size;
        BOOL known;
        SIZE expected;
    } cases[] = {
        {0, TRUE, {110, 80}}, {1, TRUE, {160, 120}}, {2, TRUE, {220, 160}},
        {3, FALSE, {7, 7}},   {-1, FALSE, {7, 7}},   {INT_MAX, FALSE, {7, 7}},
    };
    for (const Case& c : cases) {
        SIZE got = {7, 7};
        EXPECT_EQ(c.known, ThumbnailSizeFor(c.size, &got)) << "SIZE " << c.size;
        EXPECT_EQ(c.expected.cx, got.cx) << "SIZE " << c.size;
        EXPECT_EQ(c.expected.cy, got.cy) << "SIZE " << c.size;
    }
}

TEST(StripSettings, AlphaNeverWrapsNorVanishes)
{
    struct Case {
        int percent;
        int alpha;
    } cases[] = {
        {60, 153}, {80, 204}, {20, 51},  {100, 255}, {21, 53},       {99, 252},
        {19, 51},  {0, 51},   {-40, 51}, {101, 255}, {INT_MAX, 255}, {INT_MIN, 51},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.alpha, AlphaFromTransparency(c.percent)) << "TRANSPARENT " << c.percent;
}

TEST(StripSettings, RefreshPeriodHeldToOneToTwentySteps)
{
    struct Case {
        int interval;
        UINT period;
    } cases[] = {
        {5, 500}, {1, 100}, {20, 2000}, {0, 100}, {-3, 100}, {21, 2000}, {INT_MAX, 2000}, {INT_MIN, 100},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.period, RefreshPeriodMs(c.interval)) << "INTERVAL " << c.interval;
}

TEST(StripSettings, ModeLetters)
{
    struct Case {
        const char* name;
        int monitors;
        int layered;
        BOOL aero;
        int frame;
        const char* letters;
    } cases[] = {
        {"one monitor, XP, FRAME 1", 1, 0, FALSE, 1, "PF"},
        {"one monitor, Composition 1", 1, 0, TRUE, 0, "PA"},
        {"two monitors, no composition", 2, 0, FALSE, 0, "L"},
        {"-LAYERED on one monitor", 1, 1, FALSE, 0, "L"},
        {"everything", 3, 1, TRUE, 1, "LAF"},
        {"FRAME any non-zero value", 1, 0, FALSE, 7, "PF"},
        {"no monitor list", 0, 0, FALSE, 0, "P"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.letters, ModeLetters(c.monitors, c.layered, c.aero, c.frame).GetString()) << c.name;
}

TEST(StripSettings, AeroReadsTheCompositionValue)
{
    const char kKey[] = "Software\\Microsoft\\Windows\\DWM";
    HKEY existing = nullptr;
    const bool keyExisted = RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &existing) == ERROR_SUCCESS;
    if (keyExisted) {
        DWORD size = 0;
        const bool valueExisted =
            RegQueryValueExA(existing, "Composition", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
        RegCloseKey(existing);
        if (valueExisted)
            GTEST_SKIP() << "the user's own Composition value is left alone";
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    struct Case {
        const char* name;
        bool write;
        DWORD value;
        BOOL aero;
    } cases[] = {
        {"no value", false, 0, FALSE},
        {"1", true, 1, TRUE},
        {"0", true, 0, FALSE},
        {"2", true, 2, FALSE},
    };
    for (const Case& c : cases) {
        if (c.write)
            RegSetValueExA(key, "Composition", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.value), sizeof(c.value));
        EXPECT_EQ(c.aero, IsAeroEnabled()) << c.name;
        RegDeleteValueA(key, "Composition");
    }
    RegCloseKey(key);
    if (!keyExisted)
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
}

TEST(StripSettings, SettingsPathNeedsTheWholeCurrentFolder)
{
    const std::string longest(260, 'x');  // a 260-byte folder still fits the 261-byte buffer
    struct Case {
        const char* name;
        CurrentDirectoryReader reader;
        std::string folder;
        std::string path;
    } cases[] = {
        {"ordinary folder", &FakeCurrentDirectory, "C:\\表示\\ソフト", "C:\\表示\\ソフト\\Kestrova.ini"},
        {"longest folder that fits", &FakeCurrentDirectory, longest, longest + "\\Kestrova.ini"},
        {"folder longer than the buffer", &FakeCurrentDirectory, longest + "y", ""},
        {"the call fails", &FailingCurrentDirectory, "", ""},
    };
    for (const Case& c : cases) {
        g_folder = c.folder;
        EXPECT_EQ(c.path, std::string(SettingsFilePath("Kestrova.ini", c.reader).GetString())) << c.name;
    }
}
