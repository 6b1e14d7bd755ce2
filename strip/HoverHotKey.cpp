#include "strip/HoverHotKey.h"

namespace {

// The error is taken at once, before anything else can change it.
BOOL TryRegister(const HoverKeyCalls& calls, const HoverKey& key, DWORD* error)
{
    calls.unregisterKey();
    if (calls.registerKey(key))
        return TRUE;
    *error = ::GetLastError();
    return FALSE;
}

}  // namespace

BOOL RegisterHoverKey(const HoverKeyCalls& calls, const HoverKey& key)
{
    DWORD error = 0;
    if (TryRegister(calls, key, &error))
        return TRUE;
    calls.reportFailure(error);
    return FALSE;
}

HoverKey ReplaceHoverKey(const HoverKeyCalls& calls, const HoverKey& current, const HoverKey& wanted)
{
    DWORD error = 0;
    if (TryRegister(calls, wanted, &error))
        return wanted;
    if (calls.reportFailure(error)) {
        DWORD ignored = 0;
        TryRegister(calls, current, &ignored);  // the old key may itself have been taken since start
    }
    return current;
}
