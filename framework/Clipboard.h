#pragma once
// The clipboard, opened for one scope and closed on every road out of it. The calls are a table
// so that tests can make each of them fail.
#include <windows.h>

class CBitmap;

struct ClipboardCalls {
    BOOL(WINAPI* open)(HWND owner);
    BOOL(WINAPI* empty)();
    HANDLE(WINAPI* setData)(UINT format, HANDLE data);
    BOOL(WINAPI* close)();
};

// The real clipboard.
const ClipboardCalls& AfxSystemClipboard();

class CClipboardLock {
public:
    explicit CClipboardLock(HWND owner, const ClipboardCalls& calls = AfxSystemClipboard())
        : m_calls(calls), m_bOpen(calls.open(owner) != FALSE)
    {}
    ~CClipboardLock()
    {
        if (m_bOpen)
            m_calls.close();
    }
    CClipboardLock(const CClipboardLock&) = delete;
    CClipboardLock& operator=(const CClipboardLock&) = delete;
    bool IsOpen() const { return m_bOpen; }

private:
    const ClipboardCalls& m_calls;
    bool m_bOpen;
};

// Puts bitmap on the clipboard as CF_BITMAP. Only when the clipboard takes it does the bitmap leave
// the object; on any failure it stays there, so its owner still frees it. FALSE on failure.
BOOL AfxSetClipboardBitmap(HWND owner, CBitmap& bitmap, const ClipboardCalls& calls = AfxSystemClipboard());
