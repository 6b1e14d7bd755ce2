#pragma once
// Process-wide switches set from the command line at start-up.

extern int DebugMode;    // "-D574": trace output to a console
extern int LayeredMode;  // "-LAYERED": parked windows stay in place, fully transparent
