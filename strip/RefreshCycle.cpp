#include "strip/RefreshCycle.h"

RefreshStep NextRefreshStep(const std::vector<int>& used, int index)
{
    const int count = static_cast<int>(used.size());
    if (index < 0 || index >= count)
        return {-1, 0};
    for (int i = index; i < count; ++i) {
        if (used[i] == 1)
            return {i, i + 1 < count ? i + 1 : 0};
    }
    return {-1, 0};
}

bool HoverKeyPressed(int* countdown)
{
    const bool starts = *countdown <= 0;
    *countdown = kHoverCountdownStart;
    return starts;
}

bool HoverTimerTick(int* countdown)
{
    if (*countdown <= 0)
        return false;
    return --*countdown == 0;
}
