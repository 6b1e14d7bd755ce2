#include "strip/SlotGrid.h"

#include <climits>
#include <cstdint>

namespace {

// Cells are computed in 64 bits: margins come from the file unchecked.
struct Cell {
    int64_t left, top, right, bottom;
};

bool In32(int64_t v)
{
    return v >= INT_MIN && v <= INT_MAX;
}

bool Fits32(const Cell& c)
{
    return In32(c.left) && In32(c.top) && In32(c.right) && In32(c.bottom);
}

}  // namespace

std::vector<RECT> BuildSlots(int edge, SIZE slot, const GridMargins& margins, const RECT& screen)
{
    std::vector<RECT> slots;
    if (edge < kEdgeTop || edge > kEdgeBottom || slot.cx <= 0 || slot.cy <= 0)
        return slots;

    const int64_t w = slot.cx, h = slot.cy;
    const int64_t sl = screen.left, st = screen.top, sr = screen.right, sb = screen.bottom;
    const int64_t L = margins.left, T = margins.top, R = margins.right, B = margins.bottom;

    Cell cell;
    switch (edge) {
        case kEdgeTop:
        case kEdgeLeft:
            cell = {sl + L, st + T, sl + L + w, st + T + h};
            break;
        case kEdgeRight:
            cell = {sr - R - w, st + T, sr - R, st + T + h};
            break;
        default:
            cell = {sl + L, sb - B - h, sl + L + w, sb - B};
            break;
    }
    const bool rows = edge == kEdgeTop || edge == kEdgeBottom;

    for (;;) {
        if (!Fits32(cell))
            break;
        RECT r = {static_cast<LONG>(cell.left), static_cast<LONG>(cell.top), static_cast<LONG>(cell.right),
                  static_cast<LONG>(cell.bottom)};
        if (edge == kEdgeTop) {
            // Inset so that neighbouring thumbnails keep a small gap.
            r.left += 2;
            r.top += 1;
            r.right -= 2;
            r.bottom -= 1;
        }
        slots.push_back(r);
        if (slots.size() >= kMaxSlots)
            break;

        // Next cell along the line.
        Cell next = cell;
        if (rows) {
            next.left += w;
            next.right += w;
        } else {
            next.top += h;
            next.bottom += h;
        }
        const bool fitsLine = rows ? next.right <= sr - R : next.bottom <= sb - B;
        if (fitsLine) {
            cell = next;
            continue;
        }

        // First cell of a new line.
        switch (edge) {
            case kEdgeTop:
                next = {sl + L, cell.bottom, sl + L + w, cell.bottom + h};
                break;
            case kEdgeBottom:
                next = {sl + L, cell.top - h, sl + L + w, cell.top};
                break;
            case kEdgeLeft:
                next = {cell.right, st + T, cell.right + w, st + T + h};
                break;
            default:
                next = {cell.left - w, st + T, cell.left, st + T + h};
                break;
        }
        bool fitsStart;
        switch (edge) {
            case kEdgeTop:
                fitsStart = next.bottom <= sb - B;
                break;
            case kEdgeBottom:
                fitsStart = next.top >= st + T;
                break;
            case kEdgeLeft:
                fitsStart = next.right <= sr - R;
                break;
            default:
                fitsStart = next.left >= sl + L;
                break;
        }
        if (!fitsStart)
            break;
        cell = next;
    }
    return slots;
}

ArrangePlan PlanArrangement(const std::vector<int>& used, int limit, size_t newSlotCount)
{
    ArrangePlan plan;
    for (size_t i = 0; i < used.size(); ++i) {
        if (used[i] != 1)
            continue;
        const int64_t j = static_cast<int64_t>(plan.kept.size());
        if (j < limit && static_cast<size_t>(j) < newSlotCount)
            plan.kept.push_back(static_cast<int>(i));
        else
            plan.closed.push_back(static_cast<int>(i));
    }
    return plan;
}

AdmitDecision DecideAdmission(bool layered, const std::vector<int>& used, int limit,
                              const std::function<bool()>& allowed)
{
    if (layered)
        return {kIgnoreLayered, -1};
    int count = 0;
    for (int u : used)
        count += u == 1 ? 1 : 0;
    if (count >= limit)
        return {kIgnoreAtLimit, -1};
    if (allowed && !allowed())
        return {kIgnoreRefused, -1};
    for (size_t i = 0; i < used.size(); ++i) {
        if (used[i] != 1)
            return {kAdmit, static_cast<int>(i)};
    }
    return {kNoFreeSlot, -1};
}

std::vector<int> UsedFlags(const std::vector<ThumbSlot>& slots)
{
    std::vector<int> used;
    used.reserve(slots.size());
    for (const ThumbSlot& s : slots)
        used.push_back(s.used);
    return used;
}
