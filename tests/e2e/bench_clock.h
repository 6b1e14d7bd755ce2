#pragma once
// Helpers shared by the bench harness and the in-process bench programs.
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>

inline double NowMs()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Dispatches whatever this thread has queued, without waiting.
inline void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
}

// The windows titled prefix + "0" .. prefix + (count - 1), in that order; empty when one is missing.
inline std::vector<HWND> FindNumberedWindows(const std::string& prefix, int count)
{
    std::vector<HWND> windows;
    for (int i = 0; i < count; ++i) {
        HWND hwnd = ::FindWindowA(nullptr, (prefix + std::to_string(i)).c_str());
        if (!hwnd)
            return {};
        windows.push_back(hwnd);
    }
    return windows;
}
