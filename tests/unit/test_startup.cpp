#include "app/KestrovaDlg.h"
#include "app/PanelPosition.h"
#include "app/StartUp.h"
#include "app/VersionText.h"

#include <gtest/gtest.h>

#include <vector>

TEST(StartUp, OnlyWholeExactSwitchesCount)
{
    struct Case {
        const char* name;
        std::vector<const char*> args;
        int debug;
        int layered;
    } cases[] = {
        {"none", {}, 0, 0},
        {"debug", {"-D574"}, 1, 0},
        {"layered", {"-LAYERED"}, 0, 1},
        {"both, either order", {"-LAYERED", "-D574"}, 1, 1},
        {"repeated", {"-D574", "-D574"}, 1, 0},
        {"lower case", {"-d574", "-layered"}, 0, 0},
        {"character added", {"-D5745", "-LAYEREDX"}, 0, 0},
        {"prefix only", {"-D57", "-LAYER"}, 0, 0},
        {"slash instead of dash", {"/D574", "/LAYERED"}, 0, 0},
        {"trailing blank", {"-D574 ", "-LAYERED "}, 0, 0},
        {"other arguments ignored", {"file.txt", "-LAYERED", "--x"}, 0, 1},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>("Kestrova.exe"));
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        const CommandLineSwitches s = ParseSwitches(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(c.debug, s.debug) << c.name;
        EXPECT_EQ(c.layered, s.layered) << c.name;
    }
}

TEST(StartUp, TheProgramNameIsNeverASwitch)
{
    char* argv[] = {const_cast<char*>("-D574")};
    EXPECT_EQ(0, ParseSwitches(1, argv).debug);
}

TEST(StartUp, ProgramFolderKeepsDoubleByteNamesWhole)
{
    struct Case {
        const char* path;
        const char* folder;
    } cases[] = {
        {"C:\\apps\\Kestrova.exe", "C:\\apps"},
        {"Kestrova.exe", ""},
        {"C:\\Kestrova.exe", "C:"},
        // 表 is 95 5C and 示 is 8E A6: the trail byte 5C is no backslash.
        {"C:\\表示\\Kestrova.exe", "C:\\表示"},
        {"C:\\表\\Kestrova.exe", "C:\\表"},
        {"C:\\dir\\表", "C:\\dir"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.folder, ProgramFolder(c.path).GetString()) << c.path;
    EXPECT_STREQ("", ProgramFolder(nullptr).GetString());
}

TEST(MainPanel, CornerPlacementPutsTheVisibleFrameAtTheWorkAreaCorner)
{
    struct Case {
        const char* name;
        RECT frame;
        RECT window;
        RECT work;
        POINT expected;
    } cases[] = {
        // Without DWM the frame is the window: the window itself touches the corner.
        {"no invisible border", {100, 100, 600, 500}, {100, 100, 600, 500}, {0, 0, 1280, 1004}, {780, 604}},
        // An invisible border of 8 on each side: the window reaches 8 beyond the work area.
        {"even border", {108, 108, 592, 492}, {100, 100, 600, 500}, {0, 0, 1280, 1004}, {788, 612}},
        // Odd difference: the halves truncate toward zero.
        {"odd border", {100, 100, 595, 497}, {100, 100, 600, 500}, {0, 0, 1280, 1004}, {783, 606}},
        {"work area not at the origin", {0, 0, 500, 400}, {0, 0, 500, 400}, {-1280, 40, 0, 1024}, {-500, 624}},
    };
    for (const Case& c : cases) {
        const POINT p = PanelCornerPosition(c.frame, c.window, c.work);
        EXPECT_EQ(c.expected.x, p.x) << c.name;
        EXPECT_EQ(c.expected.y, p.y) << c.name;
    }
}

TEST(AboutBox, VersionLineReplacesSeparators)
{
    struct Case {
        const char* version;
        const char* line;
    } cases[] = {
        {"Ver.:1.1.3.168", "Kestrova Ver.:1.1.3.168 [PORTABLE版]"},
        {"Ver.:1, 1, 3, 168", "Kestrova Ver.:1- 1- 3- 168 [PORTABLE版]"},
        {"Ver.:1;1;3", "Kestrova Ver.:1.1.3 [PORTABLE版]"},
        {"", "Kestrova  [PORTABLE版]"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.line, AboutVersionLine(c.version).GetString()) << c.version;
}
