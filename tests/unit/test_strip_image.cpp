// What a thumbnail shows of its source, as pure decisions: fit and aspect with their truncation,
// the cached image's size and scale, the screen copy's part of the window and the refresh road.
#include "strip/ThumbnailImage.h"

#include "strip/Thumbnail.h"

#include <gtest/gtest.h>

#include "tests/unit/support/strip.h"

#include <string>

namespace {

std::string Text(SIZE s)
{
    return std::to_string(s.cx) + "x" + std::to_string(s.cy);
}

const RECT kDesktop = {0, 0, 1280, 1024};

}  // namespace

TEST(ThumbnailImage, FitIntoTheSlotTruncatesTowardZero)
{
    struct Case {
        const char* name;
        RECT slot;
        SIZE source;
        BOOL fits;
        RECT window;
    } cases[] = {
        {"1920x1080 into 160x120: 90 high", {0, 0, 160, 120}, {1920, 1080}, TRUE, {0, 15, 160, 105}},
        {"22x22 into 160x120: 22 x 120/22 is just under 120", {0, 0, 160, 120}, {22, 22}, TRUE, {20, 0, 139, 120}},
        {"22x22 into a 22x22 slot fills it", {10, 10, 32, 32}, {22, 22}, TRUE, {10, 10, 32, 32}},
        {"a source without width keeps the size", {0, 0, 160, 120}, {0, 1080}, FALSE, {1, 2, 3, 4}},
        {"a source without height keeps the size", {0, 0, 160, 120}, {1920, 0}, FALSE, {1, 2, 3, 4}},
        {"a source of 0x0 keeps the size", {0, 0, 160, 120}, {0, 0}, FALSE, {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        RECT got = {1, 2, 3, 4};
        EXPECT_EQ(c.fits, FitRect(c.slot, c.source.cx, c.source.cy, &got)) << c.name;
        EXPECT_EQ(Text(c.window), Text(got)) << c.name;
    }
}

TEST(ThumbnailImage, LiveThumbnailHeightFollowsTheSourceAspect)
{
    struct Case {
        const char* name;
        int clientWidth;
        SIZE source;
        BOOL adjusts;
        int height;
    } cases[] = {
        {"1000x500 at 160: 80, whatever the slot's height", 160, {1000, 500}, TRUE, 80},
        {"1920x1080 at 160", 160, {1920, 1080}, TRUE, 90},
        {"15x11 at 150: just under 110, truncated", 150, {15, 11}, TRUE, 109},
        {"22x22 at 160: square", 160, {22, 22}, TRUE, 160},
        {"a source without width", 160, {0, 500}, FALSE, -1},
        {"a source without height", 160, {1000, 0}, FALSE, -1},
        {"a negative size", 160, {-1000, 500}, FALSE, -1},
        {"a client without width", 0, {1000, 500}, FALSE, -1},
    };
    for (const Case& c : cases) {
        int height = -1;
        EXPECT_EQ(c.adjusts, AspectClientHeight(c.clientWidth, c.source, &height)) << c.name;
        EXPECT_EQ(c.height, height) << c.name;
    }
}

TEST(ThumbnailImage, CachedImageHasTheClientSizeOnAxesShownWhole)
{
    struct Case {
        const char* name;
        SIZE client;
        SIZE captured;
        int zoomX, zoomY;
        BOOL captures;
        SIZE size;
        double scaleX, scaleY;
    } cases[] = {
        {"whole view: the client's size", {160, 120}, {800, 600}, 100, 100, TRUE, {160, 120}, 0.2, 0.2},
        {"zoomed across: the source's width", {160, 120}, {800, 600}, 50, 100, TRUE, {800, 120}, 1.0, 0.2},
        {"zoomed down: the source's height", {160, 120}, {800, 600}, 100, 0, TRUE, {160, 600}, 0.2, 1.0},
        {"zoomed both ways: the source's size", {160, 120}, {800, 600}, 99, 1, TRUE, {800, 600}, 1.0, 1.0},
        {"a small source is enlarged", {160, 120}, {22, 22}, 100, 100, TRUE, {160, 120}, 160.0 / 22, 120.0 / 22},
        {"a source without width: no capture", {160, 120}, {0, 600}, 100, 100, FALSE, {0, 0}, 0, 0},
        {"a source without height: no capture", {160, 120}, {800, 0}, 100, 100, FALSE, {0, 0}, 0, 0},
        {"a client without area: no capture", {0, 0}, {800, 600}, 100, 100, FALSE, {0, 0}, 0, 0},
        {"a client without height, zoomed across", {160, 0}, {800, 600}, 50, 100, FALSE, {0, 0}, 0, 0},
    };
    for (const Case& c : cases) {
        CaptureTarget got = {{0, 0}, 0, 0};
        EXPECT_EQ(c.captures, ComputeCaptureTarget(c.client, c.captured, c.zoomX, c.zoomY, &got)) << c.name;
        EXPECT_EQ(Text(c.size), Text(got.size)) << c.name;
        EXPECT_DOUBLE_EQ(c.scaleX, got.scaleX) << c.name;
        EXPECT_DOUBLE_EQ(c.scaleY, got.scaleY) << c.name;
    }
}

TEST(ThumbnailImage, ScreenCopyTakesThePartOnTheScreen)
{
    struct Case {
        const char* name;
        RECT window;
        BOOL wholeWindow;
        BOOL copies;
        SIZE size;
        POINT offset;
    } cases[] = {
        {"inside the screen", {100, 100, 500, 400}, FALSE, TRUE, {400, 300}, {0, 0}},
        {"cut off at the right: its left part", {1000, 100, 1400, 400}, FALSE, TRUE, {280, 300}, {0, 0}},
        {"cut off at the bottom: its top part", {100, 900, 500, 1200}, FALSE, TRUE, {400, 124}, {0, 0}},
        {"cut off at the left: its right part", {-100, 100, 300, 400}, FALSE, TRUE, {300, 300}, {100, 0}},
        {"cut off at the top: its bottom part", {100, -50, 500, 250}, FALSE, TRUE, {400, 250}, {0, 50}},
        {"maximised at (-8, -8): cut off left, right and top", {-8, -8, 1288, 1012}, FALSE, TRUE, {1280, 1012}, {8, 8}},
        {"cut off at the left and the right", {-50, 100, 1330, 400}, FALSE, TRUE, {1280, 300}, {50, 0}},
        {"larger than the screen both ways", {-50, -60, 1330, 1090}, FALSE, TRUE, {1280, 1024}, {50, 60}},
        {"wholly right of the screen: no copy", {2000, 100, 2400, 400}, FALSE, FALSE, {0, 0}, {0, 0}},
        {"wholly above the screen: no copy", {100, -500, 500, -100}, FALSE, FALSE, {0, 0}, {0, 0}},
        {"parked off the screen: no copy", {10100, 10100, 10500, 10400}, FALSE, FALSE, {0, 0}, {0, 0}},
        {"touching the right edge only: no copy", {1280, 100, 1680, 400}, FALSE, FALSE, {0, 0}, {0, 0}},
        {"several monitors or layered: the whole window", {-100, 100, 300, 400}, TRUE, TRUE, {400, 300}, {0, 0}},
        {"the whole window off the primary screen", {2000, 100, 2400, 400}, TRUE, TRUE, {400, 300}, {0, 0}},
        {"a window without area: no copy", {100, 100, 100, 400}, TRUE, FALSE, {0, 0}, {0, 0}},
    };
    for (const Case& c : cases) {
        ScreenCopyArea got = {{0, 0}, {0, 0}};
        EXPECT_EQ(c.copies, ComputeScreenCopyArea(c.window, kDesktop, c.wholeWindow, &got)) << c.name;
        EXPECT_EQ(Text(c.size), Text(got.size)) << c.name;
        EXPECT_EQ(Text(c.offset), Text(got.offset)) << c.name;
    }
}

TEST(ThumbnailImage, RefreshRoadForEachState)
{
    struct Case {
        const char* name;
        int state;
        BOOL isWindow, iconic, foreground;
        RefreshPath path;
    } cases[] = {
        {"normal, behind", THUMB_NORMAL, TRUE, FALSE, FALSE, kRefreshPrintWindow},
        {"normal, in the foreground", THUMB_NORMAL, TRUE, FALSE, TRUE, kRefreshScreenCopy},
        {"normal, minimised since", THUMB_NORMAL, TRUE, TRUE, FALSE, kRefreshPark},
        {"normal, minimised and still foreground", THUMB_NORMAL, TRUE, TRUE, TRUE, kRefreshPark},
        {"normal, source gone", THUMB_NORMAL, FALSE, FALSE, FALSE, kRefreshNothing},
        {"parked", THUMB_PARKED, TRUE, FALSE, FALSE, kRefreshParked},
        {"parked, minimised again", THUMB_PARKED, TRUE, TRUE, FALSE, kRefreshParked},
        {"parked, source gone", THUMB_PARKED, FALSE, TRUE, FALSE, kRefreshNothing},
        {"new", THUMB_NEW, TRUE, FALSE, TRUE, kRefreshNothing},
        {"closing", THUMB_CLOSE, TRUE, FALSE, FALSE, kRefreshNothing},
        {"closing with animation", THUMB_CLOSE_ANIMATED, TRUE, TRUE, FALSE, kRefreshNothing},
        {"a state out of range", 7, TRUE, FALSE, FALSE, kRefreshNothing},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.path, ChooseRefreshPath(c.state, c.isWindow, c.iconic, c.foreground)) << c.name;
}
