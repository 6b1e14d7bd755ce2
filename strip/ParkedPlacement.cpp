#include "strip/ParkedPlacement.h"

#include <cstring>

namespace {

// Enough of a window to take hold of: its caption's height, and as much across.
const LONG kGrip = 32;

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context)
{
    try {
        MONITORINFO info;
        std::memset(&info, 0, sizeof(info));
        info.cbSize = sizeof(info);
        if (!::GetMonitorInfoA(monitor, &info))
            return TRUE;
        auto* monitors = reinterpret_cast<std::vector<MonitorArea>*>(context);
        const MonitorArea area = {info.rcMonitor, info.rcWork};
        if (info.dwFlags & MONITORINFOF_PRIMARY)
            monitors->insert(monitors->begin(), area);
        else
            monitors->push_back(area);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

std::vector<MonitorArea> SystemMonitors()
{
    std::vector<MonitorArea> monitors;
    ::EnumDisplayMonitors(nullptr, nullptr, &CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

MonitorQuery g_query = &SystemMonitors;

LONG Width(const RECT& r)
{
    return r.right - r.left;
}
LONG Height(const RECT& r)
{
    return r.bottom - r.top;
}

LONG Overlap(LONG a0, LONG a1, LONG b0, LONG b1)
{
    const LONG lo = a0 > b0 ? a0 : b0;
    const LONG hi = a1 < b1 ? a1 : b1;
    return hi > lo ? hi - lo : 0;
}

// Squared distance between the two rectangles, 0 when they touch or overlap.
double Distance2(const RECT& a, const RECT& b)
{
    const double dx = a.right < b.left ? b.left - a.right : (b.right < a.left ? a.left - b.right : 0);
    const double dy = a.bottom < b.top ? b.top - a.bottom : (b.bottom < a.top ? a.top - b.bottom : 0);
    return dx * dx + dy * dy;
}

bool WorkAreaShows(const RECT& work, const RECT& r)
{
    if (r.top < work.top || r.top > work.bottom - kGrip)
        return false;
    const LONG across = Overlap(r.left, r.right, work.left, work.right);
    return across >= (Width(r) < kGrip ? Width(r) : kGrip);
}

POINT OffsetFor(const ParkedState& s, const std::vector<MonitorArea>& monitors, const RECT& around)
{
    if (s.exStyle & WS_EX_TOOLWINDOW)
        return {0, 0};  // a tool window's placement is in screen coordinates
    return WorkOffsetNear(monitors, around);
}

}  // namespace

std::vector<MonitorArea> CurrentMonitors()
{
    return g_query();
}

MonitorQuery SetMonitorQuery(MonitorQuery query)
{
    const MonitorQuery before = g_query;
    g_query = query ? query : &SystemMonitors;
    return before;
}

const MonitorArea* NearestMonitor(const std::vector<MonitorArea>& monitors, const RECT& r)
{
    const MonitorArea* best = nullptr;
    double bestArea = 0;
    for (const MonitorArea& m : monitors) {
        const double area = static_cast<double>(Overlap(r.left, r.right, m.monitor.left, m.monitor.right)) *
                            Overlap(r.top, r.bottom, m.monitor.top, m.monitor.bottom);
        if (area > bestArea) {
            bestArea = area;
            best = &m;
        }
    }
    if (best)
        return best;
    double bestDistance = 0;
    for (const MonitorArea& m : monitors) {
        const double d = Distance2(r, m.monitor);
        if (!best || d < bestDistance) {
            bestDistance = d;
            best = &m;
        }
    }
    return best;
}

POINT WorkOffsetNear(const std::vector<MonitorArea>& monitors, const RECT& r)
{
    const MonitorArea* m = NearestMonitor(monitors, r);
    if (!m)
        return {0, 0};
    return {m->work.left - m->monitor.left, m->work.top - m->monitor.top};
}

RECT PlaceOnMonitor(const std::vector<MonitorArea>& monitors, const RECT& r)
{
    for (const MonitorArea& m : monitors) {
        if (WorkAreaShows(m.work, r))
            return r;
    }
    const MonitorArea* m = NearestMonitor(monitors, r);
    if (!m)
        return r;
    const LONG w = Width(r) < Width(m->work) ? (Width(r) > 0 ? Width(r) : 0) : Width(m->work);
    const LONG h = Height(r) < Height(m->work) ? (Height(r) > 0 ? Height(r) : 0) : Height(m->work);
    const LONG left = m->work.left + (Width(m->work) - w) / 2;
    const LONG top = m->work.top + (Height(m->work) - h) / 2;
    return {left, top, left + w, top + h};
}

LONG_PTR ParkedMarkCheck(int method, const LONG_PTR* values, int count)
{
    // 32 bits on either build, so a mark reads the same whatever wrote it.
    UINT32 h = 0x4B565061u ^ static_cast<UINT32>(method);
    for (int i = 0; i < count; ++i)
        h = (h ^ static_cast<UINT32>(values[i])) * 16777619u;
    return static_cast<LONG_PTR>(h ? h : 1);  // a property of 0 cannot be told from none
}

ParkedState SafeStateToPutBack(const ParkedState& mark, bool sound, const WindowNow& now,
                               const std::vector<MonitorArea>& monitors)
{
    ParkedState s = mark;
    if (!sound) {
        std::memset(&s, 0, sizeof(s));
        s.method = kParkedOffScreen;  // moved where it shows, then minimised
        s.style = now.style & ~(WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
        s.exStyle = now.exStyle & ~WS_EX_LAYERED;
        s.placement.length = sizeof(s.placement);
        s.placement.showCmd = SW_SHOWMINIMIZED;
        s.placement.ptMinPosition = {-1, -1};
        s.placement.ptMaxPosition = {-1, -1};
        s.placement.rcNormalPosition = ScreenToWorkspace(now.rect, OffsetFor(s, monitors, now.rect));
    }
    s.style |= WS_VISIBLE;
    if (s.exStyle & WS_EX_LAYERED) {
        if (!(s.layeredFlags & (LWA_ALPHA | LWA_COLORKEY))) {
            s.key = 0;
            s.layeredFlags = LWA_ALPHA;
            s.alpha = 255;
        } else if ((s.layeredFlags & LWA_ALPHA) && s.alpha == 0) {
            s.alpha = 255;
        }
    } else {
        s.key = 0;
        s.alpha = 255;
        s.layeredFlags = LWA_ALPHA;
    }
    const RECT& n = s.placement.rcNormalPosition;
    const RECT screen = WorkspaceToScreen(n, OffsetFor(s, monitors, n));
    const RECT placed = PlaceOnMonitor(monitors, screen);
    if (!::EqualRect(&placed, &screen))
        s.placement.rcNormalPosition = ScreenToWorkspace(placed, OffsetFor(s, monitors, placed));
    return s;
}

ParkedState MergeOwnLayering(const ParkedState& saved, const WindowNow& now)
{
    ParkedState s = saved;
    if (!(now.exStyle & WS_EX_LAYERED))
        return s;
    const bool readable = now.layeredReadable && (now.layeredFlags & (LWA_ALPHA | LWA_COLORKEY));
    // Alpha 0 hides a parked window, 255 shows it on the way back: both the parking's, whichever method
    // (a put-back cut short leaves either).
    const bool parkingsOwn =
        readable && now.layeredFlags == LWA_ALPHA && now.key == 0 && (now.alpha == 0 || now.alpha == 255);
    if (parkingsOwn)
        return s;
    if (readable) {
        s.key = now.key;
        s.alpha = now.alpha;
        s.layeredFlags = now.layeredFlags;
    } else if (!(saved.exStyle & WS_EX_LAYERED)) {
        s.key = 0;
        s.alpha = 255;
        s.layeredFlags = LWA_ALPHA;
    }
    s.exStyle |= WS_EX_LAYERED;
    return s;
}
