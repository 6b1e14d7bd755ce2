#pragma once
// A thumbnail's states and the pure decisions on its geometry and its source: no window involved.
#include <windows.h>

enum ThumbState {
    THUMB_NEW = 0,             // constructed; stays so when the source was gone at creation
    THUMB_NORMAL = 1,          // the source is shown directly
    THUMB_PARKED = 2,          // the source was minimised and is kept live by parking
    THUMB_CLOSE = 3,           // closed by the control page without animation
    THUMB_CLOSE_ANIMATED = 4,  // closed by the control page with the hide animation
};

// Where a source of srcW x srcH goes in slot: the slot's width or height, the source's aspect,
// centred across (an odd leftover pixel below or right). FALSE for a source without area.
BOOL FitRect(const RECT& slot, int srcW, int srcH, RECT* window);

// A thumbnail that goes by any road puts back a source it has parked.
bool ShouldPutBackSource(int prevState, int state);
