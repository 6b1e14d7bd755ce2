// A source window of this process for a thumbnail to show.
#pragma once
#include <windows.h>

#include <cstdio>

// A top-level window at r, of a class registered once for its window procedure, shown with show.
inline HWND MakeSourceWindow(const RECT& r, const char* title, WNDPROC proc = &DefWindowProcA,
                             DWORD style = WS_OVERLAPPEDWINDOW, DWORD exStyle = 0, int show = SW_SHOWNOACTIVATE)
{
    char className[48];
    snprintf(className, sizeof(className), "KvTestSource%p", reinterpret_cast<void*>(proc));
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    if (!GetClassInfoA(instance, className, &wc)) {
        wc.lpfnWndProc = proc;
        wc.hInstance = instance;
        wc.lpszClassName = className;
        RegisterClassA(&wc);
    }
    HWND hwnd = CreateWindowExA(exStyle, className, title, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                nullptr, nullptr, instance, nullptr);
    ShowWindow(hwnd, show);
    return hwnd;
}
