#pragma once
// Work on a thread of its own that nobody joins, and the waits of the user-interface thread for it.
#include <windows.h>

#include <functional>
#include <vector>

#include "framework/Handle.h"

// Starts work on a detached thread; an exception it throws ends only that thread. Throws
// std::runtime_error when no thread can be started.
void StartDetached(std::function<void()> work);

// A manual-reset event, not yet set.
struct CManualEvent {
    CKernelHandle h{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

// Waits for every event, timeoutMs in all, letting in only the messages sent to this thread: a
// window of this thread may be what the work waits for. True when all of them were set.
bool WaitPumpingSent(const std::vector<HANDLE>& events, DWORD timeoutMs);
