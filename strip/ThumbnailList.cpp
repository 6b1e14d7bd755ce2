#include "strip/ThumbnailList.h"

CString HandleText(HWND hwnd)
{
    CString text;
    text.Format("0x%08x", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(hwnd)));
    return text;
}

HWND ParseHandleText(const char* text)
{
    if (!text || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return nullptr;
    unsigned value = 0;
    int digits = 0;
    for (const char* p = text + 2; *p; ++p, ++digits) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (*p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (*p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else
            return nullptr;
        if (digits == 8)
            return nullptr;
        value = (value << 4) | static_cast<unsigned>(digit);
    }
    if (digits == 0 || value == 0)
        return nullptr;
    // Handle values are 32 bits wide and sign-extended on 64-bit Windows.
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(static_cast<LONG>(value)));
}

namespace {

// The nearest used slot before (step -1) or after (step 1) index; -1 when there is none.
int NextUsed(const std::vector<int>& used, int index, int step)
{
    for (int i = index + step; i >= 0 && i < static_cast<int>(used.size()); i += step) {
        if (used[i] == 1)
            return i;
    }
    return -1;
}

}  // namespace

std::vector<std::pair<int, int>> PlanMove(const std::vector<int>& used, int from, MoveKind kind)
{
    std::vector<std::pair<int, int>> swaps;
    if (from < 0 || from >= static_cast<int>(used.size()) || used[from] != 1)
        return swaps;
    const int step = kind == kMoveFirst || kind == kMoveUp ? -1 : 1;
    const bool once = kind == kMoveUp || kind == kMoveDown;
    // Each swap moves the thumbnail to a strictly nearer end, so the loop ends.
    for (int at = from;;) {
        const int next = NextUsed(used, at, step);
        if (next < 0)
            break;
        swaps.push_back({at, next});
        at = next;
        if (once)
            break;
    }
    return swaps;
}
