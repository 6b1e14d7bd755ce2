#pragma once
// What a thumbnail shows of its source, as pure functions over plain values: the live thumbnail's
// aspect, the size of the cached image, the part of the screen a screen copy takes and the road
// one refresh step takes. Cthumbnail applies their results.
#include <windows.h>

// The client height at which clientWidth shows a source of this size with its aspect, truncated
// toward zero. FALSE, height untouched, when the width or the source has no area.
BOOL AspectClientHeight(int clientWidth, SIZE source, int* height);

// The cached image: the client's size on an axis shown whole, the captured area's own size on a
// zoomed axis. scaleX and scaleY are image pixels per captured pixel.
struct CaptureTarget {
    SIZE size;
    double scaleX;
    double scaleY;
};

// FALSE, target untouched, when the captured area or the resulting image has no area.
BOOL ComputeCaptureTarget(SIZE client, SIZE captured, int zoomX, int zoomY, CaptureTarget* target);

// The part of a window that a screen copy takes: its size and its offset inside the window.
struct ScreenCopyArea {
    SIZE size;
    POINT offset;
};

// wholeWindow (several monitors, or layered mode): the whole window. Otherwise the part of the
// window on the primary screen, whichever of its edges are cut off. FALSE when nothing is left.
BOOL ComputeScreenCopyArea(const RECT& window, const RECT& desktop, BOOL wholeWindow, ScreenCopyArea* area);

// The road of one refresh step.
enum RefreshPath {
    kRefreshNothing,      // the source is gone, or the state has no refresh
    kRefreshPark,         // THUMB_NORMAL, the source minimised since: park it, then PrintWindow
    kRefreshScreenCopy,   // THUMB_NORMAL, the source in the foreground: copy it from the screen
    kRefreshPrintWindow,  // THUMB_NORMAL, the source behind: PrintWindow once its process is idle
    kRefreshParked,       // THUMB_PARKED: look after the parked source, then PrintWindow
};

RefreshPath ChooseRefreshPath(int state, BOOL sourceIsWindow, BOOL iconic, BOOL foreground);
