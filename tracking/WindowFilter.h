#pragma once
// Which top-level windows the detection page tracks, decided from plain facts about each one.
#include <windows.h>

#include "framework/String.h"

// What the filters need to know of one top-level window.
struct WindowFacts {
    HWND hwnd;
    DWORD style;
    CString title;  // at most 255 bytes
    DWORD processId;
    CString processName;
    RECT rect;  // the normal-position rectangle when minimised
};

// Why a window is not tracked; Tracked when it passes every filter. The order is the order in
// which the filters are applied.
enum WindowVerdict {
    Tracked,
    SkipOwnPage,
    SkipStyle,
    SkipProgramManager,
    SkipEmptyTitle,
    SkipOwnProcess,
    SkipEmptyProcessName,
    SkipOwnProgramName,
    SkipEmptyRect,
};
// The own-page and style filters, which need nothing but the handle and the style.
WindowVerdict FilterByStyle(const WindowFacts& w, HWND ownPage);
// Those, then the title and process-id filters, which need no process lookup.
WindowVerdict FilterBeforeProcess(const WindowFacts& w, HWND ownPage, DWORD ownProcessId);
WindowVerdict FilterAfterProcess(const WindowFacts& w);
