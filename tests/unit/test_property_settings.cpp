// The property dialog's decisions and what its apply relies on: the settings file written whole
// or not at all, the order of the hover key's register and unregister calls, and the equality,
// radio, frame and hot-key rules.
#include "desktop/TaskBarControl.h"
#include "desktop/WholeFileWrite.h"
#include "strip/ControlDlg.h"
#include "strip/HoverHotKey.h"
#include "strip/PropertyApply.h"
#include "strip/PropertyValues.h"

#include <gtest/gtest.h>

#include "tests/unit/support/text.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string Folder()
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(sizeof(folder), folder);
    return folder;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

const char* const kKeys[] = {"LOCATION",    "SIZE",  "LEFTMARGIN", "TOPMARGIN", "RIGHTMARGIN", "BOTTOMMARGIN",
                             "TRANSPARENT", "LIMIT", "INTERVAL",   "FRAME",     "HVHOTKEY",    "HVMODIFIERS"};
const int kValues[] = {3, 0, -3, 50, 5, 6, 70, 3, 9, 1, 87, 2};

void SetPage(CControlDlg& page, const std::string& path)
{
    page.m_strIniPath = path.c_str();
    page.m_nLocation = kValues[0];
    page.m_nSize = kValues[1];
    page.m_nLeftMargin = kValues[2];
    page.m_nTopMargin = kValues[3];
    page.m_nRightMargin = kValues[4];
    page.m_nBottomMargin = kValues[5];
    page.m_nTransparent = kValues[6];
    page.m_nLimit = kValues[7];
    page.m_nInterval = kValues[8];
    page.m_bFrame = kValues[9];
    page.m_nHoverHotKey = kValues[10];
    page.m_nHoverModifiers = kValues[11];
}

// What twelve plain profile writes, one key after the other, make of the same start.
std::string DirectWrite(const std::string& start)
{
    const std::string path = Folder() + "\\property_reference.ini";
    DeleteFileA(path.c_str());
    if (start != "<missing>")
        WriteFileBytes(path, start);
    for (size_t i = 0; i < 12; ++i)
        WritePrivateProfileStringA("SYSTEM", kKeys[i], std::to_string(kValues[i]).c_str(), path.c_str());
    const std::string bytes = FileBytes(path);
    DeleteFileA(path.c_str());
    return bytes;
}

}  // namespace

TEST(SettingsFile, SavedWholeAndByteIdenticalToPlainProfileWrites)
{
    const std::string path = Folder() + "\\property_settings.ini";
    const std::string temp = path + ".tmp";
    struct Case {
        const char* name;
        std::string start;  // "<missing>": no file
        std::string staleTemp;
    } cases[] = {
        {"fresh file", "<missing>", ""},
        {"other sections and keys survive", "[OTHER]\r\nA=1\r\n[SYSTEM]\r\nLIMIT=16\r\nEXTRA=x\r\n[LAST]\r\nB=2\r\n",
         ""},
        {"every key already there", DirectWrite("<missing>"), ""},
        {"a copy left by a crash is not written into", "[SYSTEM]\r\nSIZE=1\r\n", "[JUNK]\r\nZ=9\r\n"},
    };
    for (const Case& c : cases) {
        DeleteFileA(path.c_str());
        if (c.start != "<missing>")
            WriteFileBytes(path, c.start);
        if (!c.staleTemp.empty())
            WriteFileBytes(temp, c.staleTemp);
        CControlDlg page;
        SetPage(page, path);
        EXPECT_TRUE(page.WriteSettings()) << c.name << ": error " << GetLastError();
        EXPECT_EQ(DirectWrite(c.start), FileBytes(path)) << c.name;
        EXPECT_FALSE(Exists(temp)) << c.name << ": the temporary copy stayed";
        DeleteFileA(path.c_str());
    }
    CTaskBarControl::ReleaseInstance();
}

TEST(SettingsFile, FailedSaveLeavesTheOldBytesAndNoCopy)
{
    const std::string path = Folder() + "\\property_locked.ini";
    const std::string old = "[SYSTEM]\r\nLOCATION=1\r\n[OTHER]\r\nK=v\r\n";
    WriteFileBytes(path, old);
    struct Lock {
        const char* name;
        DWORD sharing;
    } locks[] = {
        // No sharing: the copy cannot even read the file.
        {"held with no sharing", 0},
        // Every sharing: the copy is made, and the replace fails (Wine refuses to replace an open file).
        {"held with every sharing", FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
    };
    for (const Lock& l : locks) {
        // Held open as another program would.
        HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, l.sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, lock) << l.name;
        CControlDlg page;
        SetPage(page, path);
        EXPECT_FALSE(page.WriteSettings()) << l.name;
        EXPECT_NE(0u, GetLastError()) << l.name << ": no error code";
        CloseHandle(lock);
        EXPECT_EQ(old, FileBytes(path)) << l.name;
        EXPECT_FALSE(Exists(path + ".tmp")) << l.name;
    }
    {
        CControlDlg page;
        SetPage(page, "");
        EXPECT_FALSE(page.WriteSettings()) << "empty path";
        EXPECT_FALSE(Exists(Folder() + "\\.tmp")) << "empty path";
        EXPECT_FALSE(Exists(Folder() + "\\Kestrova.ini.tmp")) << "empty path";
    }
    {
        // A folder in the file's place: the move cannot replace it.
        const std::string folderPath = Folder() + "\\property_folder.ini";
        CreateDirectoryA(folderPath.c_str(), nullptr);
        CControlDlg page;
        SetPage(page, folderPath);
        EXPECT_FALSE(page.WriteSettings()) << "a folder in the way";
        EXPECT_FALSE(Exists(folderPath + ".tmp")) << "a folder in the way";
        RemoveDirectoryA(folderPath.c_str());
    }
    DeleteFileA(path.c_str());
    CTaskBarControl::ReleaseInstance();
}

TEST(SettingsFile, FillThatFailsOrRaisesDeletesTheCopy)
{
    const std::string path = Folder() + "\\whole_write.txt";
    WriteFileBytes(path, "old");
    EXPECT_FALSE(WriteFileWhole(path.c_str(), TRUE, [](const CString& temp) {
        WriteFileBytes(temp.GetString(), "half");
        return FALSE;
    }));
    EXPECT_EQ("old", FileBytes(path));
    EXPECT_FALSE(Exists(path + ".tmp"));
    EXPECT_THROW(WriteFileWhole(path.c_str(), TRUE,
                                [](const CString& temp) -> BOOL {
                                    WriteFileBytes(temp.GetString(), "half");
                                    throw std::runtime_error("disk full");
                                }),
                 std::runtime_error);
    EXPECT_EQ("old", FileBytes(path));
    EXPECT_FALSE(Exists(path + ".tmp"));
    DeleteFileA(path.c_str());
}

// ---- the hover hot key: unregister before every register

namespace {

struct FakeSystem {
    std::vector<std::string> calls;
    std::vector<BOOL> registerResults;  // taken in turn; TRUE when used up
    BOOL pageAfterReport = TRUE;

    HoverKeyCalls Calls()
    {
        HoverKeyCalls c;
        c.registerKey = [this](const HoverKey& k) {
            calls.push_back("register " + std::to_string(k.modifiers) + "/" + std::to_string(k.key));
            BOOL ok = TRUE;
            if (!registerResults.empty()) {
                ok = registerResults.front();
                registerResults.erase(registerResults.begin());
            }
            if (!ok)
                SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
            return ok;
        };
        c.unregisterKey = [this] { calls.push_back("unregister"); };
        c.reportFailure = [this](DWORD error) {
            calls.push_back("report " + std::to_string(error));
            return pageAfterReport;
        };
        return c;
    }
};

}  // namespace

TEST(HoverHotKey, RegisterAndUnregisterOrder)
{
    const HoverKey winW = {'W', MOD_WIN};
    const HoverKey ctrlW = {'W', MOD_CONTROL};
    struct Case {
        const char* name;
        bool replace;  // false: the start-up registration of winW
        std::vector<BOOL> results;
        BOOL pageAfterReport;
        const char* calls;
        int keptModifiers;
    } cases[] = {
        {"start-up", false, {TRUE}, TRUE, "unregister, register 8/87", MOD_WIN},
        {"start-up, key taken", false, {FALSE}, TRUE, "unregister, register 8/87, report 1409", MOD_WIN},
        {"new key", true, {TRUE}, TRUE, "unregister, register 2/87", MOD_CONTROL},
        {"new key taken: the old one comes back",
         true,
         {FALSE, TRUE},
         TRUE,
         "unregister, register 2/87, report 1409, unregister, register 8/87",
         MOD_WIN},
        {"new key taken, the old one too",
         true,
         {FALSE, FALSE},
         TRUE,
         "unregister, register 2/87, report 1409, unregister, register 8/87",
         MOD_WIN},
        {"new key taken, the page gone during the box",
         true,
         {FALSE},
         FALSE,
         "unregister, register 2/87, report 1409",
         MOD_WIN},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.registerResults = c.results;
        system.pageAfterReport = c.pageAfterReport;
        int kept = MOD_WIN;
        if (c.replace) {
            kept = ReplaceHoverKey(system.Calls(), winW, ctrlW).modifiers;
        } else {
            RegisterHoverKey(system.Calls(), winW);
        }
        EXPECT_EQ(c.calls, Join(system.calls)) << c.name;
        EXPECT_EQ(c.keptModifiers, kept) << c.name;
    }
}

// ---- the apply on OK: its order, and the key a failed registration leaves

namespace {

// Every step of the apply noted in one list with the hover key's calls; the page's key and the
// file's key are what the page holds when the file is saved.
struct FakePage {
    FakeSystem system;
    bool aliveAfterArrange = true;
    bool arranged = false;
    HoverKey key = {'W', MOD_WIN};
    std::string saved;

    PropertyApplyCalls Calls()
    {
        std::vector<std::string>& log = system.calls;
        PropertyApplyCalls c;
        c.takeLayout = [&log](const PropertyValues& v) { log.push_back("layout " + std::to_string(v.location)); };
        c.takeNumbers = [&log](const PropertyValues& v) { log.push_back("numbers " + std::to_string(v.limit)); };
        c.takeFrame = [&log](int frame) { log.push_back("frame " + std::to_string(frame)); };
        c.updateTaskBar = [&log] { log.push_back("taskbar"); };
        c.updateLabels = [&log] { log.push_back("labels"); };
        c.arrange = [this, &log] {
            log.push_back("arrange");
            arranged = true;
        };
        c.pageAlive = [this] { return !arranged || aliveAfterArrange; };
        c.hoverKey = system.Calls();
        c.takeHoverKey = [this, &log](const HoverKey& k) {
            log.push_back("key " + std::to_string(k.modifiers) + "/" + std::to_string(k.key));
            key = k;
        };
        c.save = [this, &log] {
            log.push_back("save");
            saved = std::to_string(key.modifiers) + "/" + std::to_string(key.key);
        };
        return c;
    }
};

}  // namespace

TEST(PropertyApply, StepsInOrderFrameBeforeTheGridAndTheOldKeyKeptWhenTheNewIsTaken)
{
    const PropertyValues preset = {1, 1, 10, 20, 10, 30, 16, 5, 0, 'W', MOD_WIN};
    auto with = [&](void (*change)(PropertyValues&)) {
        PropertyValues v = preset;
        change(v);
        return v;
    };
    struct Case {
        const char* name;
        PropertyValues result;
        std::vector<BOOL> registerResults;
        bool aliveAfterArrange;
        const char* calls;
        const char* saved;  // the key in the file; "" when nothing is saved
    } cases[] = {
        {"nothing changed: the file only", preset, {}, true, "save", "8/87"},
        {"only the hot key: the whole apply",
         with([](PropertyValues& v) { v.modifiers = MOD_CONTROL; }),
         {},
         true,
         "layout 1, numbers 16, taskbar, labels, arrange, unregister, register 2/87, key 2/87, save",
         "2/87"},
        {"the frame ticked: the thumbnails before the grid",
         with([](PropertyValues& v) { v.frame = 1; }),
         {},
         true,
         "layout 1, numbers 16, frame 1, taskbar, labels, arrange, unregister, register 8/87, key 8/87, save",
         "8/87"},
        {"the limit: the frame left alone",
         with([](PropertyValues& v) { v.limit = 3; }),
         {},
         true,
         "layout 1, numbers 3, taskbar, labels, arrange, unregister, register 8/87, key 8/87, save",
         "8/87"},
        {"the new key taken: the old one stays in the page and the file",
         with([](PropertyValues& v) { v.modifiers = MOD_CONTROL; }),
         {FALSE, TRUE},
         true,
         "layout 1, numbers 16, taskbar, labels, arrange, unregister, register 2/87, report 1409, unregister, "
         "register 8/87, key 8/87, save",
         "8/87"},
        {"the page gone in the arrange",
         with([](PropertyValues& v) { v.limit = 3; }),
         {},
         false,
         "layout 1, numbers 3, taskbar, labels, arrange",
         ""},
    };
    for (const Case& c : cases) {
        FakePage page;
        page.system.registerResults = c.registerResults;
        page.aliveAfterArrange = c.aliveAfterArrange;
        ApplyPropertyValues(preset, c.result, page.Calls());
        EXPECT_EQ(c.calls, Join(page.system.calls)) << c.name;
        EXPECT_EQ(c.saved, page.saved) << c.name;
    }
}

// ---- the dialog's decisions

TEST(PropertyValues, AllElevenEqualMeansUnchanged)
{
    const PropertyValues base = {1, 1, 10, 20, 10, 30, 16, 5, 0, 'W', MOD_WIN};
    EXPECT_TRUE(SamePropertyValues(base, base));
    for (int field = 0; field < 11; ++field) {
        PropertyValues changed = base;
        reinterpret_cast<int*>(&changed)[field] += 1;
        EXPECT_FALSE(SamePropertyValues(base, changed)) << "field " << field;
    }
}

TEST(PropertyValues, RadioAndFrameBoxKeepHandEditedValues)
{
    struct Radio {
        int checked;
        int preset;
        int result;
    } radios[] = {{-1, 9, 9}, {-1, 7, 7}, {-1, 1, 1}, {0, 9, 0}, {3, 1, 3}};
    for (const Radio& r : radios)
        EXPECT_EQ(r.result, RadioResult(r.checked, r.preset)) << "checked " << r.checked << " preset " << r.preset;
    struct Frame {
        int stored;
        int box;
    } frames[] = {{0, 0}, {1, 1}, {7, 1}, {-1, 1}, {INT_MIN, 1}};
    for (const Frame& f : frames)
        EXPECT_EQ(f.box, FrameBoxPreset(f.stored)) << "FRAME " << f.stored;
}

TEST(PropertyValues, HotKeyComparedAsTheFieldShowsIt)
{
    struct Case {
        const char* name;
        WORD fieldKey;
        WORD fieldMods;
        int storedKey;
        int storedMods;
        bool changed;
    } cases[] = {
        {"same", 'W', MOD_WIN, 'W', MOD_WIN, false},
        {"MOD_NOREPEAT stored, untouched field", 'W', MOD_WIN, 'W', MOD_WIN | 0x4000, false},
        {"a key above 16 bits stored, untouched field", 'W', MOD_WIN, 0x10000 + 'W', MOD_WIN, false},
        {"a key above 255 stored, untouched field", 300, MOD_WIN, 300, MOD_WIN, false},
        {"other modifiers", 'W', MOD_CONTROL, 'W', MOD_WIN, true},
        {"other key", 'Q', MOD_WIN, 'W', MOD_WIN, true},
        {"field emptied", 0, 0, 'W', MOD_WIN, true},
        {"a bare key", 'W', 0, 'W', MOD_WIN, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.changed, HotKeyChanged(c.fieldKey, c.fieldMods, c.storedKey, c.storedMods)) << c.name;
}
