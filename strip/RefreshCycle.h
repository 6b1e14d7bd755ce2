#pragma once
// The control page's two periodic activities as pure functions: the round-robin order of the
// refresh cycle and the countdown of hover-key mode. CControlDlg applies their results.
#include <vector>

// One refresh step over the grid's used flags, searching from index: the slot to refresh, or -1
// for an idle step, and the index the next step starts from. Free slots cost no step; a search
// that runs off the end of the grid (or starts beyond it) is the idle step and starts over at 0.
struct RefreshStep {
    int slot;
    int nextIndex;
};

RefreshStep NextRefreshStep(const std::vector<int>& used, int index);

// Ticks of the hover timer that one hot-key message keeps hover-key mode on.
const int kHoverCountdownStart = 5;

// A hover hot-key message: the countdown starts again; true when it switches the mode on.
bool HoverKeyPressed(int* countdown);
// A tick of the hover timer: true when it switches the mode off.
bool HoverTimerTick(int* countdown);
