#include "strip/ParkingMath.h"

bool UseInPlaceParking(int monitorCount, int layeredMode)
{
    return monitorCount > 1 || layeredMode != 0;
}

POINT ParkedPosition(const RECT& normal)
{
    return {normal.left + kParkOffset, normal.top + kParkOffset};
}

bool SourceOnScreen(const RECT& desktop, const RECT& source)
{
    if (source.top >= kParkedTopEdge)
        return false;
    RECT common;
    return ::IntersectRect(&common, &desktop, &source) && common.right > common.left && common.bottom > common.top;
}

bool TrustedNormalPosition(const RECT& reported, bool iconic, const RECT& current, bool seenRestored,
                           const RECT& lastSeen, RECT* normal)
{
    if (!iconic || !::EqualRect(&reported, &current)) {
        *normal = reported;
        return true;
    }
    if (seenRestored) {
        *normal = lastSeen;
        return true;
    }
    return false;
}

bool BroughtToFront(bool* wasForeground, bool isForeground)
{
    const bool changed = isForeground && !*wasForeground;
    *wasForeground = isForeground;
    return changed;
}
