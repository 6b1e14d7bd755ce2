// The slot grid for each edge, the arrangement plan and the admission decision.
#include "strip/SlotGrid.h"

#include <gtest/gtest.h>

#include "tests/unit/support/strip.h"

#include <climits>
#include <string>

namespace {

std::string Text(const std::vector<int>& v)
{
    std::string s = "[";
    for (size_t i = 0; i < v.size(); ++i)
        s += (i ? " " : "") + std::to_string(v[i]);
    return s + "]";
}

const RECT kFullHd = {0, 0, 1920, 1080};
const RECT kBench = {0, 0, 1280, 1024};  // the test desktop
const GridMargins kDefaultMargins = {20, 10, 10, 30};
const SIZE kMiddle = {160, 120};

}  // namespace

TEST(SlotGrid, EachEdgeFillsInItsOrder)
{
    struct Case {
        const char* name;
        int edge;
        RECT screen;
        SIZE slot;
        GridMargins margins;
        size_t count;
        RECT first;
        RECT second;
        RECT last;
    } cases[] = {
        {"1920x1080 left",
         kEdgeLeft,
         kFullHd,
         kMiddle,
         kDefaultMargins,
         88,
         {20, 10, 180, 130},
         {20, 130, 180, 250},
         {1620, 850, 1780, 970}},
        {"1920x1080 top, inset cells",
         kEdgeTop,
         kFullHd,
         kMiddle,
         kDefaultMargins,
         88,
         {22, 11, 178, 129},
         {182, 11, 338, 129},
         {1622, 851, 1778, 969}},
        {"1920x1080 right",
         kEdgeRight,
         kFullHd,
         kMiddle,
         kDefaultMargins,
         88,
         {1750, 10, 1910, 130},
         {1750, 130, 1910, 250},
         {150, 850, 310, 970}},
        {"1920x1080 bottom",
         kEdgeBottom,
         kFullHd,
         kMiddle,
         kDefaultMargins,
         88,
         {20, 930, 180, 1050},
         {180, 930, 340, 1050},
         {1620, 90, 1780, 210}},
        {"1920x1080 right, large",
         kEdgeRight,
         kFullHd,
         {220, 160},
         kDefaultMargins,
         48,
         {1690, 10, 1910, 170},
         {1690, 170, 1910, 330},
         {150, 810, 370, 970}},
        {"1280x1024 left",
         kEdgeLeft,
         kBench,
         kMiddle,
         kDefaultMargins,
         56,
         {20, 10, 180, 130},
         {20, 130, 180, 250},
         {980, 850, 1140, 970}},
        {"1280x1024 top",
         kEdgeTop,
         kBench,
         kMiddle,
         kDefaultMargins,
         56,
         {22, 11, 178, 129},
         {182, 11, 338, 129},
         {982, 851, 1138, 969}},
        {"1280x1024 right",
         kEdgeRight,
         kBench,
         kMiddle,
         kDefaultMargins,
         56,
         {1110, 10, 1270, 130},
         {1110, 130, 1270, 250},
         {150, 850, 310, 970}},
        {"1280x1024 bottom",
         kEdgeBottom,
         kBench,
         kMiddle,
         kDefaultMargins,
         56,
         {20, 874, 180, 994},
         {180, 874, 340, 994},
         {980, 34, 1140, 154}},
        {"1280x1024 top, small: 4 px between columns, 2 between rows",
         kEdgeTop,
         kBench,
         {110, 80},
         kDefaultMargins,
         132,
         {22, 11, 128, 89},
         {132, 11, 238, 89},
         {1122, 891, 1228, 969}},
        {"zero margins",
         kEdgeLeft,
         kBench,
         kMiddle,
         {0, 0, 0, 0},
         64,
         {0, 0, 160, 120},
         {0, 120, 160, 240},
         {1120, 840, 1280, 960}},
        {"a cell touching the margin line fits",
         kEdgeLeft,
         kBench,
         kMiddle,
         {0, 0, 0, 64},
         64,
         {0, 0, 160, 120},
         {0, 120, 160, 240},
         {1120, 840, 1280, 960}},
        {"one pixel more and the row goes",
         kEdgeLeft,
         kBench,
         kMiddle,
         {0, 0, 0, 65},
         56,
         {0, 0, 160, 120},
         {0, 120, 160, 240},
         {1120, 720, 1280, 840}},
        {"huge left margin: each line holds only its first cell",
         kEdgeLeft,
         kBench,
         kMiddle,
         {2000000000, 10, 10, 30},
         8,
         {2000000000, 10, 2000000160, 130},
         {2000000000, 130, 2000000160, 250},
         {2000000000, 850, 2000000160, 970}},
        {"huge negative left margin: capped",
         kEdgeLeft,
         kBench,
         kMiddle,
         {-2000000000, 10, 10, 30},
         kMaxSlots,
         {-2000000000, 10, -1999999840, 130},
         {-2000000000, 130, -1999999840, 250},
         {-2000000000 + 127 * 160, 10 + 7 * 120, -2000000000 + 128 * 160, 130 + 7 * 120}},
        {"bottom margin that overflows 32 bits: one capped column",
         kEdgeLeft,
         kBench,
         kMiddle,
         {20, 10, 10, INT_MIN},
         kMaxSlots,
         {20, 10, 180, 130},
         {20, 130, 180, 250},
         {20, 10 + 1023 * 120, 180, 130 + 1023 * 120}},
    };
    for (const Case& c : cases) {
        const std::vector<RECT> slots = BuildSlots(c.edge, c.slot, c.margins, c.screen);
        ASSERT_EQ(c.count, slots.size()) << c.name;
        EXPECT_EQ(Text(c.first), Text(slots[0])) << c.name << ": first slot";
        EXPECT_EQ(Text(c.second), Text(slots[1])) << c.name << ": second slot";
        EXPECT_EQ(Text(c.last), Text(slots.back())) << c.name << ": last slot";
    }
}

TEST(SlotGrid, FirstSlotStandsEvenWhenItDoesNotFit)
{
    struct Case {
        const char* name;
        int edge;
        RECT first;
    } cases[] = {
        {"left", kEdgeLeft, {20, 10, 180, 130}},
        {"top", kEdgeTop, {22, 11, 178, 129}},
        {"right", kEdgeRight, {-70, 10, 90, 130}},
        {"bottom", kEdgeBottom, {20, -50, 180, 70}},
    };
    for (const Case& c : cases) {
        const std::vector<RECT> slots = BuildSlots(c.edge, kMiddle, kDefaultMargins, RECT{0, 0, 100, 100});
        ASSERT_EQ(1u, slots.size()) << c.name;
        EXPECT_EQ(Text(c.first), Text(slots[0])) << c.name;
    }
}

TEST(SlotGrid, NoGridWithoutASlotAnEdgeOr32BitCoordinates)
{
    struct Case {
        const char* name;
        int edge;
        SIZE slot;
        GridMargins margins;
    } cases[] = {
        {"zero size (SIZE outside 0..2 before any load)", kEdgeLeft, {0, 0}, kDefaultMargins},
        {"zero width", kEdgeTop, {0, 120}, kDefaultMargins},
        {"zero height", kEdgeBottom, {160, 0}, kDefaultMargins},
        {"negative size", kEdgeRight, {-160, -120}, kDefaultMargins},
        {"LOCATION 9", 9, kMiddle, kDefaultMargins},
        {"LOCATION -1", -1, kMiddle, kDefaultMargins},
        {"first cell beyond 32 bits across", kEdgeLeft, kMiddle, {INT_MAX, 10, 10, 30}},
        {"first cell beyond 32 bits down", kEdgeTop, kMiddle, {20, INT_MAX, 10, 30}},
        {"first cell beyond 32 bits on the right", kEdgeRight, kMiddle, {20, 10, INT_MIN, 30}},
    };
    for (const Case& c : cases) {
        const std::vector<RECT> slots = BuildSlots(c.edge, c.slot, c.margins, kBench);
        EXPECT_EQ(0u, slots.size()) << c.name;
    }
}

TEST(SlotGrid, ArrangementKeepsOrderAndClosesTheSurplus)
{
    const std::vector<int> fiveWithHoles = {1, 0, 1, 1, 0, 0, 1, 0, 0, 1, 0};
    struct Case {
        const char* name;
        std::vector<int> used;
        int limit;
        size_t newSlots;
        std::vector<int> kept;
        std::vector<int> closed;
    } cases[] = {
        {"holes close", fiveWithHoles, 16, 56, {0, 2, 3, 6, 9}, {}},
        {"LIMIT lowered to 3", fiveWithHoles, 3, 56, {0, 2, 3}, {6, 9}},
        {"smaller grid", fiveWithHoles, 16, 2, {0, 2}, {3, 6, 9}},
        {"empty grid (LOCATION outside 0..3)", fiveWithHoles, 16, 0, {}, {0, 2, 3, 6, 9}},
        {"LIMIT 0", fiveWithHoles, 0, 56, {}, {0, 2, 3, 6, 9}},
        {"negative LIMIT", fiveWithHoles, -1, 56, {}, {0, 2, 3, 6, 9}},
        {"no holes, same settings: everyone stays", {1, 1, 1, 0}, 16, 4, {0, 1, 2}, {}},
        {"no thumbnails", {0, 0, 0}, 16, 56, {}, {}},
    };
    for (const Case& c : cases) {
        const ArrangePlan plan = PlanArrangement(c.used, c.limit, c.newSlots);
        EXPECT_EQ(Text(c.kept), Text(plan.kept)) << c.name << ": kept";
        EXPECT_EQ(Text(c.closed), Text(plan.closed)) << c.name << ": closed";
    }
}

TEST(SlotGrid, AdmissionTestsInOrder)
{
    struct Case {
        const char* name;
        bool layered;
        std::vector<int> used;
        int limit;
        int rules;  // -1 no rules linked, 0 refuse, 1 allow
        AdmitVerdict verdict;
        int slot;
        bool rulesAsked;
    } cases[] = {
        {"layered, with free slots", true, {0, 0, 0}, 16, 1, kIgnoreLayered, -1, false},
        {"at LIMIT", false, {1, 1, 1, 0}, 3, 1, kIgnoreAtLimit, -1, false},
        {"LIMIT 0", false, {0, 0}, 0, 1, kIgnoreAtLimit, -1, false},
        {"negative LIMIT", false, {0, 0}, -5, 1, kIgnoreAtLimit, -1, false},
        {"refused by a rule", false, {0, 0}, 16, 0, kIgnoreRefused, -1, true},
        {"LIMIT above the grid, all slots used", false, {1, 1, 1}, 16, 1, kNoFreeSlot, -1, true},
        {"empty grid", false, {}, 16, 1, kNoFreeSlot, -1, true},
        {"a hole is taken first", false, {1, 0, 1, 1, 0}, 16, 1, kAdmit, 1, true},
        {"no rules linked yet", false, {0, 0}, 16, -1, kAdmit, 0, false},
    };
    for (const Case& c : cases) {
        bool asked = false;
        std::function<bool()> allowed;
        if (c.rules >= 0)
            allowed = [&] {
                asked = true;
                return c.rules == 1;
            };
        const AdmitDecision d = DecideAdmission(c.layered, c.used, c.limit, allowed);
        EXPECT_EQ(c.verdict, d.verdict) << c.name;
        EXPECT_EQ(c.slot, d.slot) << c.name;
        EXPECT_EQ(c.rulesAsked, asked) << c.name << ": rules asked";
    }
}
