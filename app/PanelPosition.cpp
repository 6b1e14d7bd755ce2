#include "app/PanelPosition.h"

POINT PanelCornerPosition(const RECT& frame, const RECT& window, const RECT& work)
{
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    const int windowWidth = window.right - window.left;
    const int windowHeight = window.bottom - window.top;
    POINT p;
    p.x = work.right - frameWidth + (frameWidth - windowWidth) / 2;
    p.y = work.bottom - frameHeight + (frameHeight - windowHeight) / 2;
    return p;
}
