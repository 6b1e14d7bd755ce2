// Points and rectangles as text, rectangles compared, for the unit tests and the end-to-end harness alike.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

inline std::string PointText(const POINT& p) { return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ")"; }

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
