// Rectangles and flags as text, rectangles compared, the cursor's place: for the unit tests and the
// end-to-end harness alike.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

inline std::string RectText(const RECT& r)
{
    char buf[64];
    snprintf(buf, sizeof(buf), "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return buf;
}

inline bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// Styles and flags as 0x0000000a.
inline std::string Hex(DWORD v)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(v));
    return text;
}

// True once this process sees the cursor at (x, y); a SetCursorPos shows a little late.
inline bool CursorAt(int x, int y)
{
    POINT p;
    return GetCursorPos(&p) && p.x == x && p.y == y;
}
