// Test helpers shared by the thumbnail strip's unit tests.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"
#include "tracking/WindowEntry.h"

inline std::string Text(const RECT& r)
{
    return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom) + ")";
}

inline std::string Text(const POINT& p)
{
    return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")";
}

// The entry the tracker would make for a source window of this process.
inline WindowEntry SourceEntry(HWND source, const char* title, const char* processName = "notepad.exe")
{
    WindowEntry e;
    e.hwnd = source;
    e.processId = GetCurrentProcessId();
    e.title = title;
    e.processName = processName;
    return e;
}

// Top-level windows in z-order, topmost first.
inline int ZIndex(HWND hwnd)
{
    int i = 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT), ++i) {
        if (w == hwnd)
            return i;
    }
    return -1;
}

inline void Repaint(HWND hwnd)
{
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
}

// Closes the page's thumbnails; the slots leave the page first, so no close meets a slot being walked.
inline void CloseThumbnails(CControlDlg& page)
{
    std::vector<ThumbSlot> slots;
    slots.swap(page.m_slots);
    for (ThumbSlot& slot : slots) {
        if (slot.used == 1)
            CloseThumbnail(slot.thumbnail, THUMB_CLOSE);
    }
}
