#pragma once
// The monitors attached at start-up, primary first, as a process-wide single instance.
#include <windows.h>
#include <vector>

struct MonitorInfoRecord {
    MONITORINFOEXA info;
    HMONITOR hMonitor;
    HDC hdcMonitor;  // always null: the enumeration runs without a device context
};

class CMultiDisplay {
public:
    CMultiDisplay();
    virtual ~CMultiDisplay();
    CMultiDisplay(const CMultiDisplay&) = delete;
    CMultiDisplay& operator=(const CMultiDisplay&) = delete;

    static CMultiDisplay* GetInstance();  // null when it cannot be allocated
    static void ReleaseInstance();

    // Adds every monitor of the desktop to what the object already holds.
    BOOL EnumerateMonitors();
    // One monitor as the enumeration reported it: counts it, stores it (the primary at the
    // front) and traces it. enumRect is the rectangle the enumeration passed.
    void AddMonitor(const MonitorInfoRecord& record, const RECT& enumRect);

    int m_nMonitorCount;
    std::vector<MonitorInfoRecord> m_monitors;

    static CMultiDisplay* m_pInstance;

private:
    static BOOL CALLBACK MonitorEnumProc(HMONITOR hMonitor, HDC hdcMonitor, LPRECT rect, LPARAM context);
};
