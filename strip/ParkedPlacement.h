#pragma once
// Where a parked window goes back to, and which marks can be trusted: decisions over plain values,
// and the monitor list they are made against.
#include <windows.h>

#include <vector>

#include "strip/ParkedWindow.h"

// One monitor in screen coordinates: all of it, and its work area (less the taskbar).
struct MonitorArea {
    RECT monitor;
    RECT work;
};

// The monitors now, the primary first; a test may put a list of its own in their place.
using MonitorQuery = std::vector<MonitorArea> (*)();
std::vector<MonitorArea> CurrentMonitors();
// Returns the query in force before; nullptr puts the system's back.
MonitorQuery SetMonitorQuery(MonitorQuery query);

// The monitor r shares most area with, else the one nearest to it; nullptr for no monitors.
const MonitorArea* NearestMonitor(const std::vector<MonitorArea>& monitors, const RECT& r);
// The offset of workspace coordinates for a rectangle near r: where the work area of its monitor
// starts within that monitor (a taskbar at the top or left).
POINT WorkOffsetNear(const std::vector<MonitorArea>& monitors, const RECT& r);

// r (screen coordinates) when a work area shows it: its top edge, where the caption is, on a work
// area and enough of it there to take hold of. Otherwise its size, cut to fit, centred on the work
// area of the nearest monitor.
RECT PlaceOnMonitor(const std::vector<MonitorArea>& monitors, const RECT& r);

// A window as it is now, read before anything is written to it.
struct WindowNow {
    DWORD style;
    DWORD exStyle;
    RECT rect;             // screen coordinates
    bool layeredReadable;  // key, alpha and flags were read
    COLORREF key;
    BYTE alpha;
    DWORD layeredFlags;
};

// The check value a mark carries beside its values: a mark whose check does not agree with them is
// partial (a run killed while writing it) or not ours.
LONG_PTR ParkedMarkCheck(int method, const LONG_PTR* values, int count);

// What to put a marked window back with. A mark that is not sound gives nothing: the window keeps
// the styles it has now, enabled and opaque, its rectangle for the normal position. Whatever the mark
// says, the window comes back visible, with an alpha that shows it, and where a monitor shows it.
// rcNormalPosition stays in workspace coordinates.
ParkedState SafeStateToPutBack(const ParkedState& mark, bool sound, const WindowNow& now,
                               const std::vector<MonitorArea>& monitors);

// A window that made itself layered while it was parked keeps its own layering when it goes back.
// The parking's own layering is alpha 0 or 255 with LWA_ALPHA alone.
ParkedState MergeOwnLayering(const ParkedState& saved, const WindowNow& now);
