#pragma once
// Registration of the hover hot key (IDHK_HOVER on the control page). Windows keeps an earlier key
// registered under the same window and id beside a new one, so every registration unregisters
// the id first. The system calls come in as functions, so the order can be tested.
#include <windows.h>

#include <functional>

struct HoverKey {
    int key;        // virtual-key code
    int modifiers;  // MOD_ bits, passed as stored
};

struct HoverKeyCalls {
    std::function<BOOL(const HoverKey& key)> registerKey;
    std::function<void()> unregisterKey;
    // Traces and reports a failed registration; FALSE when the page's window is gone afterwards.
    std::function<BOOL(DWORD error)> reportFailure;
};

// Unregisters the id, then registers key; a failure is reported. TRUE when key is registered.
BOOL RegisterHoverKey(const HoverKeyCalls& calls, const HoverKey& key);

// Puts wanted in the place of current. When wanted cannot be registered, the failure is reported
// and current is registered again. Returns the key to keep: wanted, or current after a failure.
HoverKey ReplaceHoverKey(const HoverKeyCalls& calls, const HoverKey& current, const HoverKey& wanted);
