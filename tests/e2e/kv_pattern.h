// The picture kv_helper paints: four quadrants, colours picked by the pattern number.
#pragma once
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace kv {

// The window property in which kv_helper counts the WM_PAINT messages its window received.
constexpr const char* kPaintCountProp = "KvPaints";
// Key-downs of F5 a helper window received, the tick of the first and the last, and whether its
// top-level window was enabled at the last one; read across processes with GetProp.
constexpr const char* kF5CountProp = "KvF5Count";
constexpr const char* kF5FirstProp = "KvF5First";
constexpr const char* kF5LastProp = "KvF5Last";
constexpr const char* kF5EnabledProp = "KvF5Enabled";
// The style bit a top-level helper window flips at each F5 key-down.
constexpr LONG kF5StyleFlip = WS_MAXIMIZEBOX;

// The WM_NULL messages a kv_helper window received: Kestrova asks one before each capture.
constexpr const char* kQuestionCountProp = "KvQuestions";

// Posted to a kv_helper window: its thread stops answering until the named event kHelperRelease is
// set, or for wParam milliseconds at most.
constexpr UINT kHelperHang = WM_APP + 50;

// Set on a kv_helper window: at the next WM_NULL its thread stops answering, until the named event
// kHelperRelease is set (30 s at most), with kHelperHungProp set meanwhile. A WM_NULL is a question
// that waits with a time-out, so no caller is left inside a call without one.
constexpr const char* kHelperHangOnNullProp = "KvHangOnNull";
constexpr const char* kHelperHungProp = "KvHung";
constexpr const char* kHelperRelease = "KvHelperRelease";
// Posted to a kv_helper window: from now on its thread works wParam milliseconds at a time and
// handles what came meanwhile in between, so it answers every question, each after a wait.
// kHelperBusyProp is set once it is.
constexpr UINT kHelperStartBusy = WM_APP + 51;
constexpr const char* kHelperBusyProp = "KvBusy";

// Set on a kv_helper window beside kHelperHangOnNullProp: once released, its thread takes only sent
// messages for this many milliseconds more (as a thread does while it waits in a send of its own), so
// the posted ones wait.
constexpr const char* kHelperSentOnlyProp = "KvSentOnly";

inline COLORREF PatternColor(int pattern, int quadrant)  // quadrant: 0 TL, 1 TR, 2 BL, 3 BR
{
    static const COLORREF kPalette[8] = {
        RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(0, 0, 255),     RGB(255, 255, 0),
        RGB(0, 255, 255), RGB(255, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0),
    };
    return kPalette[((pattern % 8) + 8 + quadrant) % 8];
}

inline void PaintPattern(HDC dc, const RECT& client, int pattern)
{
    const int midX = (client.left + client.right) / 2;
    const int midY = (client.top + client.bottom) / 2;
    const RECT parts[4] = {
        {client.left, client.top, midX, midY},
        {midX, client.top, client.right, midY},
        {client.left, midY, midX, client.bottom},
        {midX, midY, client.right, client.bottom},
    };
    for (int q = 0; q < 4; ++q) {
        HBRUSH brush = CreateSolidBrush(PatternColor(pattern, q));
        FillRect(dc, &parts[q], brush);
        DeleteObject(brush);
    }
}

// Alike within what capture and stretching change: each channel within 24.
inline bool NearColor(COLORREF a, COLORREF b)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= 24 && std::abs(GetGValue(a) - GetGValue(b)) <= 24 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 24;
}

inline std::string ColorHex(COLORREF c)
{
    char text[16];
    snprintf(text, sizeof(text), "%06lX", static_cast<unsigned long>(c));
    return text;
}

}  // namespace kv
