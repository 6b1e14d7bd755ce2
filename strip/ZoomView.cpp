#include "strip/ZoomView.h"

namespace {

// A double truncated toward zero and held inside lo..hi, so the cast can never overflow.
int TruncateInto(double value, int lo, int hi)
{
    if (!(value > lo))  // NaN too
        return lo;
    if (value >= hi)
        return hi;
    return static_cast<int>(value);
}

struct ViewAxis {
    int start;
    int length;
    int pan;
};

ViewAxis ComputeAxis(int image, int zoom, int pan, double scale)
{
    ViewAxis axis;
    zoom = zoom < 0 ? 0 : zoom > kZoomWhole ? kZoomWhole : zoom;
    if (zoom == kZoomWhole) {
        axis.length = image;
    } else {
        const long long part = static_cast<long long>(zoom) * image / kZoomWhole;
        axis.length = part < 1 ? 1 : static_cast<int>(part);
    }
    const int centred = (image - axis.length) / 2;
    const double start = centred + static_cast<double>(TruncateInto(pan * scale, -image, image));
    axis.start = static_cast<int>(start);
    axis.pan = pan;
    // At an edge the pan is written back to the edge's value, so panning back moves at once.
    if (start < 0) {
        axis.pan = TruncateInto(-centred / scale, -kPanLimit, kPanLimit);
        axis.start = 0;
    }
    if (axis.start + axis.length > image) {
        axis.pan = TruncateInto(centred / scale, -kPanLimit, kPanLimit);
        axis.start = image - axis.length;
    }
    return axis;
}

}  // namespace

int ClampedAdd(int value, int delta, int lo, int hi)
{
    const long long sum = static_cast<long long>(value) + delta;
    return sum < lo ? lo : sum > hi ? hi : static_cast<int>(sum);
}

BOOL ComputeZoomView(SIZE image, int zoomX, int zoomY, int panX, int panY, double scaleX, double scaleY, ZoomView* view)
{
    if (image.cx <= 0 || image.cy <= 0) {
        // No capture yet or no frame: a view of nothing would lie outside the image.
        *view = {
            0,    0,   image.cx > 0 ? static_cast<int>(image.cx) : 0, image.cy > 0 ? static_cast<int>(image.cy) : 0,
            panX, panY};
        return FALSE;
    }
    const ViewAxis x = ComputeAxis(image.cx, zoomX, panX, scaleX > 0 ? scaleX : 1.0);
    const ViewAxis y = ComputeAxis(image.cy, zoomY, panY, scaleY > 0 ? scaleY : 1.0);
    *view = {x.start, y.start, x.length, y.length, x.pan, y.pan};
    return TRUE;
}

POINT WheelZoomStep(UINT flags, short delta, BOOL composition)
{
    if (composition)
        flags &= ~(MK_CONTROL | MK_SHIFT);
    const int notches = delta / kWheelNotch;  // truncated toward zero
    if (flags & MK_CONTROL)
        return {-notches, 0};
    if (flags & MK_SHIFT)
        return {0, -notches};
    return {-notches, -notches};
}

BOOL KeyPanStep(UINT key, BOOL shift, POINT* step)
{
    const int n = shift ? kKeyPanFineStep : kKeyPanStep;
    switch (key) {
        case VK_LEFT:
            *step = {-n, 0};
            return TRUE;
        case VK_UP:
            *step = {0, -n};
            return TRUE;
        case VK_RIGHT:
            *step = {n, 0};
            return TRUE;
        case VK_DOWN:
            *step = {0, n};
            return TRUE;
        default:
            return FALSE;
    }
}

BOOL DragPanStep(POINT last, POINT now, SIZE client, SIZE view, DragRemainder* remainder, POINT* pan)
{
    const long long dx = static_cast<long long>(last.x) - now.x;
    const long long dy = static_cast<long long>(last.y) - now.y;
    if (dx == 0 && dy == 0)
        return FALSE;
    if (client.cx <= 0 || client.cy <= 0)
        return FALSE;
    // The image under the mouse follows it: the whole client width pans by the view's width.
    const double fx = static_cast<double>(view.cx) * dx / client.cx + remainder->x;
    const double fy = static_cast<double>(view.cy) * dy / client.cy + remainder->y;
    // Far beyond any pan; keeps the cast defined, and the pan saturates anyway.
    const int kStepLimit = 4 * kPanLimit;
    pan->x = TruncateInto(fx, -kStepLimit, kStepLimit);
    pan->y = TruncateInto(fy, -kStepLimit, kStepLimit);
    remainder->x = fx > -kStepLimit && fx < kStepLimit ? fx - pan->x : 0.0;
    remainder->y = fy > -kStepLimit && fy < kStepLimit ? fy - pan->y : 0.0;
    return TRUE;
}
