#include "strip/ThumbnailImage.h"

#include "strip/Thumbnail.h"

BOOL AspectClientHeight(int clientWidth, SIZE source, int* height)
{
    if (clientWidth <= 0 || source.cx <= 0 || source.cy <= 0)
        return FALSE;
    const double ratio = static_cast<double>(source.cy) / source.cx;
    *height = static_cast<int>(clientWidth * ratio);
    return TRUE;
}

BOOL ComputeCaptureTarget(SIZE client, SIZE captured, int zoomX, int zoomY, CaptureTarget* target)
{
    if (captured.cx <= 0 || captured.cy <= 0)
        return FALSE;
    const LONG width = zoomX == 100 ? client.cx : captured.cx;
    const LONG height = zoomY == 100 ? client.cy : captured.cy;
    if (width <= 0 || height <= 0)
        return FALSE;
    target->size = {width, height};
    target->scaleX = static_cast<double>(width) / captured.cx;
    target->scaleY = static_cast<double>(height) / captured.cy;
    return TRUE;
}

BOOL ComputeScreenCopyArea(const RECT& window, const RECT& desktop, BOOL wholeWindow, ScreenCopyArea* area)
{
    RECT visible = window;
    if (!wholeWindow && !::IntersectRect(&visible, &window, &desktop))
        return FALSE;
    const LONG width = visible.right - visible.left;
    const LONG height = visible.bottom - visible.top;
    if (width <= 0 || height <= 0)
        return FALSE;
    area->size = {width, height};
    area->offset = {visible.left - window.left, visible.top - window.top};
    return TRUE;
}

RefreshPath ChooseRefreshPath(int state, BOOL sourceIsWindow, BOOL iconic, BOOL foreground)
{
    if (!sourceIsWindow)
        return kRefreshNothing;
    switch (state) {
        case THUMB_NORMAL:
            if (iconic)
                return kRefreshPark;
            return foreground ? kRefreshScreenCopy : kRefreshPrintWindow;
        case THUMB_PARKED:
            return kRefreshParked;
        default:
            return kRefreshNothing;
    }
}
