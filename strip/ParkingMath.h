#pragma once
// The geometry and the choices of parking a minimised source, apart from the window that applies them.
#include <windows.h>

const int kParkOffset = 10000;     // off-screen parking moves the normal position by this, x and y
const int kParkedTopEdge = 10000;  // a source whose top is at least this is still parked

// In place (transparent where it is) with several monitors or "-LAYERED"; off screen otherwise.
bool UseInPlaceParking(int monitorCount, int layeredMode);

// Where an off-screen parked source goes: its normal position moved down and right.
POINT ParkedPosition(const RECT& normal);

// A source the user brought back from off-screen parking: not at the parked depth, and sharing
// some area with the primary screen.
bool SourceOnScreen(const RECT& desktop, const RECT& source);

// The normal position to keep for a source. Under Wine another process's minimised window reports
// its iconic rectangle as the normal position; then the last rectangle seen while it was not
// minimised stands in. FALSE when neither is known (the restored rectangle must tell).
bool TrustedNormalPosition(const RECT& reported, bool iconic, const RECT& current, bool seenRestored,
                           const RECT& lastSeen, RECT* normal);

// Whether the user brought a parked source to the front: it is the foreground window now and was not
// at the last look, the first look being the moment it was parked. A window minimised while active
// can stay the foreground window (Wine, SW_SHOWMINIMIZED, the last window on the desktop): that is no
// return. *wasForeground becomes what this look found.
bool BroughtToFront(bool* wasForeground, bool isForeground);
