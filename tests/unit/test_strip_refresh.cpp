// The control page's refresh cycle and hover-key countdown as pure decisions.
#include "strip/RefreshCycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<int> Used(size_t count, std::initializer_list<int> used)
{
    std::vector<int> flags(count, 0);
    for (int i : used)
        flags[static_cast<size_t>(i)] = 1;
    return flags;
}

}  // namespace

TEST(RefreshCycle, RoundRobinInSlotOrder)
{
    struct Case {
        const char* name;
        std::vector<int> used;
        int index;
        std::string steps;  // the slot each step refreshes, "-" for an idle step
    } cases[] = {
        {"four thumbnails in 88 slots: one idle step per cycle", Used(88, {0, 1, 2, 3}), 0, "0 1 2 3 - 0 1"},
        {"slots 0 and 87 of 88: no idle step", Used(88, {0, 87}), 0, "0 87 0 87"},
        {"free slots between cost no step", Used(7, {2, 5}), 0, "2 5 - 2 5"},
        {"a newcomer in slot 5 took the index at slot 2", Used(8, {0, 1, 2, 3, 5, 6}), 5, "5 6 - 0 1"},
        {"an index past a shrunk grid: one idle step", Used(2, {0, 1}), 7, "- 0 1 0"},
        {"an index at the grid's end", Used(3, {0, 2}), 3, "- 0 2 0"},
        {"a negative index starts over", Used(3, {1}), -4, "- 1 - 1"},
        {"no thumbnails: every step idle", Used(4, {}), 0, "- - -"},
        {"no grid", Used(0, {}), 0, "- -"},
    };
    for (const Case& c : cases) {
        std::string steps;
        int index = c.index;
        const size_t count = static_cast<size_t>(std::count(c.steps.begin(), c.steps.end(), ' ')) + 1;
        for (size_t n = 0; n < count; ++n) {
            const RefreshStep step = NextRefreshStep(c.used, index);
            steps += (n ? " " : "") + (step.slot < 0 ? std::string("-") : std::to_string(step.slot));
            index = step.nextIndex;
        }
        EXPECT_EQ(c.steps, steps) << c.name;
    }
}

TEST(RefreshCycle, HoverKeyModeEndsFiveTicksAfterTheLastPress)
{
    struct Case {
        const char* name;
        const char* events;    // P: hot-key message, T: hover timer tick
        const char* outcomes;  // S: mode starts, E: mode ends, .: nothing
    } cases[] = {
        {"one press", "PTTTTTT", "S....E."},
        {"a repeat restarts the countdown, without a second start", "PTTPTTTTT", "S.......E"},
        {"ticks while off do nothing", "TTT", "..."},
        {"a press after the end starts again", "PTTTTTPT", "S....ES."},
        {"repeats every tick keep it on", "PTPTPTPTPT", "S........."},
    };
    for (const Case& c : cases) {
        int countdown = 0;
        std::string outcomes;
        for (const char* e = c.events; *e; ++e) {
            if (*e == 'P')
                outcomes += HoverKeyPressed(&countdown) ? 'S' : '.';
            else
                outcomes += HoverTimerTick(&countdown) ? 'E' : '.';
        }
        EXPECT_EQ(std::string(c.outcomes), outcomes) << c.name << " (" << c.events << ")";
    }
}
