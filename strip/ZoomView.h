#pragma once
// Zoom and pan of a thumbnail as pure arithmetic over plain values: the view inside the image, and
// the steps that the wheel, the arrow keys and a drag make. Cthumbnail applies their results.
#include <windows.h>

const int kZoomWhole = 100;   // percent: the whole image on that axis
const int kPanLimit = 10000;  // the pan never leaves -kPanLimit..kPanLimit
const int kWheelNotch = 120;
const int kKeyPanStep = 4;
const int kKeyPanFineStep = 1;  // with Shift

// value + delta clamped to lo..hi, without overflowing on any delta.
int ClampedAdd(int value, int delta, int lo, int hi);

// The view rectangle in image pixels, and the pan as the clamp writes it back.
struct ZoomView {
    int left, top, width, height;
    int panX, panY;
};

// The view of an image of this size at these zoom percents and pan; a pan unit is scale image
// pixels (a scale <= 0 counts as 1). FALSE when the image has no area: then the whole view shows,
// view is (0, 0, image) and the pan is kept.
BOOL ComputeZoomView(SIZE image, int zoomX, int zoomY, int panX, int panY, double scaleX, double scaleY,
                     ZoomView* view);

// The zoom change of a wheel message over a hovered thumbnail: Control the width only, else Shift
// the height only, else both; composition ignores the two keys. A partial notch counts nothing.
POINT WheelZoomStep(UINT flags, short delta, BOOL composition);

// The pan of an arrow key, in the arrow's direction; FALSE for any other key.
BOOL KeyPanStep(UINT key, BOOL shift, POINT* step);

// Fractional pan carried from one drag step to the next.
struct DragRemainder {
    double x, y;
};

// One drag step from last to now over a client of this size showing a view of this size: the whole
// pan units to move, the fractions kept in remainder. FALSE, nothing changed, when the mouse did
// not move or the client has no area.
BOOL DragPanStep(POINT last, POINT now, SIZE client, SIZE view, DragRemainder* remainder, POINT* pan);
