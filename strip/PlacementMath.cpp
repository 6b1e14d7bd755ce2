#include "strip/PlacementMath.h"

HWND ZOrderAnchor(int hover, int hoverKey)
{
    return hover || hoverKey ? HWND_TOPMOST : HWND_BOTTOM;
}

FrameChange FrameAfterZOrder(int hover, int hoverKey, int frameSetting)
{
    if (hover || hoverKey)
        return kFrameOn;
    return frameSetting ? kFrameKeep : kFrameOff;
}

int HoverAfter(int hover, HoverEvent event, bool cursorInside)
{
    if (!hover && event == kHoverMouseMove && cursorInside)
        return 1;
    if (hover && event == kHoverPollTick && !cursorInside)
        return 0;
    return hover ? 1 : 0;
}

bool MayChangeZOrder(UINT message, UINT windowPosFlags)
{
    switch (message) {
        case WM_WINDOWPOSCHANGED:
            return !(windowPosFlags & SWP_NOZORDER) || (windowPosFlags & SWP_SHOWWINDOW);
        case WM_ACTIVATE:
        case WM_SHOWWINDOW:
            return true;
        default:
            return false;
    }
}

bool IsMinimisedRect(const RECT& window)
{
    return window.right < 0 && window.bottom < 0;
}
