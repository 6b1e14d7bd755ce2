#pragma once
// The panel's place on the screen, from the rectangles alone.
#include <windows.h>

// Where the panel's window goes so that its visible frame touches the work area's bottom-right
// corner; frame is the visible frame, window the window rectangle (both from the same moment).
POINT PanelCornerPosition(const RECT& frame, const RECT& window, const RECT& work);
