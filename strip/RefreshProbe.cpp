#include "strip/RefreshProbe.h"

RefreshStepParts* g_pRefreshStepParts = nullptr;

void AddToRefreshPart(double RefreshStepParts::*part, double ms)
{
    if (g_pRefreshStepParts)
        g_pRefreshStepParts->*part += ms;
}

RefreshPartTimer::RefreshPartTimer(double RefreshStepParts::*part)
    : m_pTotal(g_pRefreshStepParts ? &(g_pRefreshStepParts->*part) : nullptr), m_start()
{
    if (m_pTotal)
        ::QueryPerformanceCounter(&m_start);
}

RefreshPartTimer::~RefreshPartTimer()
{
    if (!m_pTotal)
        return;
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    *m_pTotal +=
        1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(frequency.QuadPart);
}
