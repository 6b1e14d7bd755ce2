#pragma once
// The slot grid along one screen edge and the compaction of the strip, as pure functions over
// plain values; the control page applies their results.
#include <windows.h>

#include <functional>
#include <vector>

#include "tracking/WindowEntry.h"

class Cthumbnail;

// One cell of the grid, in filling order.
struct ThumbSlot {
    int used = 0;                     // 1 while the slot holds a thumbnail; else the rest is stale
    Cthumbnail* thumbnail = nullptr;  // not owned: a thumbnail deletes itself
    RECT rect = {0, 0, 0, 0};         // screen pixels, fixed while the grid stands
    WindowEntry entry;                // the source window shown here
};

// Screen edges of the LOCATION setting.
enum GridEdge { kEdgeTop = 0, kEdgeLeft = 1, kEdgeRight = 2, kEdgeBottom = 3 };

struct GridMargins {
    int left;
    int top;
    int right;
    int bottom;
};

// No grid holds more slots than this, whatever the margins say.
const size_t kMaxSlots = 1024;

// The slot rectangles for an edge in filling order. Empty for an edge outside 0..3 or a slot
// without area. The first cell is kept even when it does not fit inside the margins; a cell that
// does not fit in 32-bit coordinates ends the grid.
std::vector<RECT> BuildSlots(int edge, SIZE slot, const GridMargins& margins, const RECT& screen);

// What an arrangement does with the used slots of the old grid.
struct ArrangePlan {
    std::vector<int> kept;    // kept[j]: the old slot whose thumbnail moves into new slot j
    std::vector<int> closed;  // old slots whose thumbnails close, in slot order
};

// Used slots keep their order and fill the new grid from its start, up to limit and the grid's
// size; the rest close.
ArrangePlan PlanArrangement(const std::vector<int>& used, int limit, size_t newSlotCount);

// Why a window gets no thumbnail, in the order the tests are made; Admit with the slot to take.
enum AdmitVerdict { kAdmit, kIgnoreLayered, kIgnoreAtLimit, kIgnoreRefused, kNoFreeSlot };

struct AdmitDecision {
    AdmitVerdict verdict;
    int slot;  // the first free slot when admitted, else -1
};

// allowed asks the exclusion rules; it runs only once the layered and limit tests have passed,
// and an empty function means no rules are linked yet.
AdmitDecision DecideAdmission(bool layered, const std::vector<int>& used, int limit,
                              const std::function<bool()>& allowed);

// The used flags of a grid, for the decisions above.
std::vector<int> UsedFlags(const std::vector<ThumbSlot>& slots);
