#pragma once
// Where the refresh steps' time goes, for the benchmark. Null in the program: a step then pays one
// pointer test per part.
#include <windows.h>

struct RefreshStepParts {
    double idleWait = 0;      // waiting for the source process to be idle
    double answerCheck = 0;   // WM_NULL to the source before a capture
    double capture = 0;       // the whole capture, its answer check included (a print thread's: its idle wait too)
    double sourceRedraw = 0;  // the source invalidated and redrawn
    double finish = 0;        // the refit check and the thumbnail's invalidation
};

extern RefreshStepParts* g_pRefreshStepParts;

// Adds time measured elsewhere (on another thread) to one part while a benchmark listens.
void AddToRefreshPart(double RefreshStepParts::*part, double ms);

// Adds the time of its scope to one part while a benchmark listens.
class RefreshPartTimer {
public:
    explicit RefreshPartTimer(double RefreshStepParts::*part);
    ~RefreshPartTimer();
    RefreshPartTimer(const RefreshPartTimer&) = delete;
    RefreshPartTimer& operator=(const RefreshPartTimer&) = delete;

private:
    double* m_pTotal;
    LARGE_INTEGER m_start;
};
