#include "strip/ThumbnailState.h"

BOOL FitRect(const RECT& slot, int srcW, int srcH, RECT* window)
{
    if (srcW <= 0 || srcH <= 0)
        return FALSE;
    const int slotW = slot.right - slot.left;
    const int slotH = slot.bottom - slot.top;
    const double rx = static_cast<double>(slotW) / srcW;
    const double ry = static_cast<double>(slotH) / srcH;
    int x, y, width, height;
    if (ry > rx) {
        width = slotW;
        height = static_cast<int>(srcH * rx);
        x = slot.left;
        y = slot.top + (slotH - height) / 2;
    } else {
        height = slotH;
        width = static_cast<int>(srcW * ry);
        x = slot.left + (slotW - width) / 2;
        y = slot.top;
    }
    *window = {x, y, x + width, y + height};
    return TRUE;
}

bool ShouldPutBackSource(int prevState, int state)
{
    return prevState == THUMB_PARKED || state == THUMB_PARKED;
}
