#include "desktop/MultiDisplay.h"

#include <cstdio>
#include <new>

CMultiDisplay* CMultiDisplay::m_pInstance = nullptr;

CMultiDisplay::CMultiDisplay() : m_nMonitorCount(0) {}

CMultiDisplay::~CMultiDisplay() {}

CMultiDisplay* CMultiDisplay::GetInstance()
{
    if (!m_pInstance)
        m_pInstance = new (std::nothrow) CMultiDisplay;
    return m_pInstance;
}

void CMultiDisplay::ReleaseInstance()
{
    delete m_pInstance;
    m_pInstance = nullptr;
}

BOOL CMultiDisplay::EnumerateMonitors()
{
    return EnumDisplayMonitors(nullptr, nullptr, MonitorEnumProc, reinterpret_cast<LPARAM>(this));
}

void CMultiDisplay::AddMonitor(const MonitorInfoRecord& record, const RECT& enumRect)
{
    ++m_nMonitorCount;
    if (record.info.dwFlags == MONITORINFOF_PRIMARY)
        m_monitors.insert(m_monitors.begin(), record);
    else
        m_monitors.push_back(record);

    const RECT& monitor = record.info.rcMonitor;
    const RECT& work = record.info.rcWork;
    printf("rcMonitor top=%d, left=%d, bottom=%d, right=%d\n", int(monitor.top), int(monitor.left), int(monitor.bottom),
           int(monitor.right));
    printf("rcWork top=%d, left=%d, bottom=%d, right=%d\n", int(work.top), int(work.left), int(work.bottom),
           int(work.right));
    printf("Flag = %d\n", int(record.info.dwFlags));
    printf("rcMonitor top=%d, left=%d, bottom=%d, right=%d\n", int(enumRect.top), int(enumRect.left),
           int(enumRect.bottom), int(enumRect.right));
}

BOOL CALLBACK CMultiDisplay::MonitorEnumProc(HMONITOR hMonitor, HDC hdcMonitor, LPRECT rect, LPARAM context)
{
    try {
        MonitorInfoRecord record;
        ZeroMemory(&record, sizeof record);
        record.info.cbSize = sizeof record.info;
        GetMonitorInfoA(hMonitor, &record.info);  // a failure still counts the monitor
        record.hMonitor = hMonitor;
        record.hdcMonitor = hdcMonitor;
        RECT enumRect = {};
        if (rect)
            enumRect = *rect;
        reinterpret_cast<CMultiDisplay*>(context)->AddMonitor(record, enumRect);
    } catch (...) {
        // Out of memory: the monitor goes unlisted; no exception may unwind through user32.
    }
    return TRUE;  // visit every monitor
}
