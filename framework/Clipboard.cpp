#include "framework/Clipboard.h"

#include "framework/Gdi.h"

const ClipboardCalls& AfxSystemClipboard()
{
    static const ClipboardCalls calls = {&::OpenClipboard, &::EmptyClipboard, &::SetClipboardData, &::CloseClipboard};
    return calls;
}

BOOL AfxSetClipboardBitmap(HWND owner, CBitmap& bitmap, const ClipboardCalls& calls)
{
    if (!bitmap.GetSafeHandle())
        return FALSE;
    CClipboardLock lock(owner, calls);
    if (!lock.IsOpen() || !calls.empty())
        return FALSE;
    if (!calls.setData(CF_BITMAP, bitmap.GetSafeHandle()))
        return FALSE;
    bitmap.Detach();  // the clipboard owns it now
    return TRUE;
}
