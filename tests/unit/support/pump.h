// Message pumping and polling with a deadline, for tests that drive windows on their own thread.
#pragma once
#include <windows.h>

#include <functional>

// Dispatches whatever this thread has queued, without waiting.
inline void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Keeps dispatching for ms, so that the timers and posted steps of the windows under test run.
inline void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        Pump();
        Sleep(10);
    } while (GetTickCount() - start < ms);
}

// Pumps until cond holds or ms have passed.
template <class F>
bool WaitFor(F cond, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - start > ms)
            return false;
        PumpFor(10);
    }
    return true;
}

// Pumps while cond holds; true when it held at every poll for the whole ms.
template <class F>
bool HoldsFor(F cond, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (!cond())
            return false;
        PumpFor(10);
    }
    return cond();
}

// Polls cond every 10 ms until it holds or timeoutMs have passed, pumping nothing: for a condition
// that other threads make true while this one must not dispatch.
inline bool PollFor(const std::function<bool()>& cond, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(10);
    }
}
