// Web reload's decisions: the menu items per process, the interval clamp, the process check before
// F5, and the style written back around the key.
#include "strip/WebReload.h"

#include <gtest/gtest.h>

namespace {

TEST(WebReload, MenuOffersReloadOnlyForTheThreeBrowsersByExactName)
{
    const UINT E = MF_ENABLED, G = MF_GRAYED;
    struct Case {
        const char* process;
        int reload;
        UINT on, off, interval;
    } cases[] = {
        {"iexplore.exe", 0, E, G, E},
        {"iexplore.exe", 1, G, E, E},
        {"firefox.exe", 0, E, G, E},
        {"firefox.exe", 1, G, E, E},
        {"chrome.exe", 0, E, G, E},
        {"chrome.exe", 1, G, E, E},
        {"Firefox.exe", 0, G, G, G},
        {"CHROME.EXE", 1, G, G, G},
        {"other.exe", 0, G, G, G},
        {"chrome.exe ", 0, G, G, G},
        {"", 0, G, G, G},
    };
    for (const Case& c : cases) {
        const ReloadMenuStates s = ReloadMenuFor(c.process, c.reload);
        EXPECT_EQ(c.on, s.on) << c.process << " reload " << c.reload;
        EXPECT_EQ(c.off, s.off) << c.process << " reload " << c.reload;
        EXPECT_EQ(c.interval, s.interval) << c.process << " reload " << c.reload;
    }
}

TEST(WebReload, IntervalIsClampedWhereTheTimerIsSet)
{
    struct Case {
        int seconds;
        int clamped;
        UINT periodMs;
    } cases[] = {
        {0, 10, 10000},  {-5, 10, 10000},       {9, 10, 10000},        {10, 10, 10000},
        {30, 30, 30000}, {1800, 1800, 1800000}, {1801, 1800, 1800000}, {2147483647, 1800, 1800000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.clamped, ClampReloadInterval(c.seconds)) << c.seconds;
        EXPECT_EQ(c.periodMs, ReloadPeriodMs(c.seconds)) << c.seconds;
    }
}

TEST(WebReload, KeyGoesOnlyToAWindowOfTheSameProcess)
{
    struct Case {
        const char* name;
        int reload;
        bool isWindow;
        DWORD windowPid, sourcePid;
        bool post;
    } cases[] = {
        {"on, same process", 1, true, 40, 40, true}, {"off", 0, true, 40, 40, false},
        {"window gone", 1, false, 0, 40, false},     {"handle reused by another process", 1, true, 41, 40, false},
        {"owner unknown", 1, true, 0, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.post, ShouldPostReload(c.reload, c.isWindow, c.windowPid, c.sourcePid)) << c.name;
}

TEST(WebReload, OnlyTheDisabledBitIsWrittenBack)
{
    const DWORD base = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    struct Case {
        const char* name;
        DWORD before, current, expected;
    } cases[] = {
        {"parked: disabled again", base | WS_DISABLED, base, base | WS_DISABLED},
        {"not disabled: left enabled", base, base, base},
        {"other bits changed meanwhile are kept", base | WS_DISABLED, base | WS_MAXIMIZE,
         base | WS_MAXIMIZE | WS_DISABLED},
        {"a bit cleared meanwhile stays cleared", base | WS_DISABLED, base & ~WS_VISIBLE,
         (base & ~WS_VISIBLE) | WS_DISABLED},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, StyleAfterReload(c.before, c.current)) << c.name;
}

}  // namespace
