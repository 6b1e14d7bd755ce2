#pragma once
// Decisions of a thumbnail's placement, hover and frame, apart from the window that applies them.
#include <windows.h>

// Where the z-order rule puts a thumbnail: topmost while hovered or in hover-key mode, else the bottom.
HWND ZOrderAnchor(int hover, int hoverKey);

enum FrameChange { kFrameKeep = -1, kFrameOff = 0, kFrameOn = 1 };
// The frame after a z-order change: on while raised; off at rest unless FRAME keeps it always.
FrameChange FrameAfterZOrder(int hover, int hoverKey, int frameSetting);

enum HoverEvent { kHoverMouseMove, kHoverPollTick };
// A hover starts only on a mouse move over the window and ends only on a poll tick outside it.
int HoverAfter(int hover, HoverEvent event, bool cursorInside);

// Wine may raise a thumbnail unasked, without WM_WINDOWPOSCHANGING, some time after the system
// moved, showed or activated it; the poll looks beneath the thumbnail for this many ticks after
// such a message, and not at all otherwise.
const int kZOrderCheckTicks = 10;
// TRUE for a message after which the thumbnail's place in the z-order may have changed.
bool MayChangeZOrder(UINT message, UINT windowPosFlags);

// A minimised window lies far above and left of the screen; its rectangle says nothing of its size.
bool IsMinimisedRect(const RECT& window);
