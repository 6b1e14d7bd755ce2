#pragma once
// The tracking tick made flat, for the tracking bench and the idle floor program: the style, the
// title, the process id, the process's name (by default read once and then checked once a scan by
// the process's creation time; literally, looked up afresh for every candidate), the rectangle,
// and the diff with the last scan by handle. With a list, it is cleared with its redraw off, and
// rows are added while the page is visible. Nothing here comes from the program's code.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace flatscan {

struct FloorWindow {
    HWND hwnd;
    DWORD processId;
    char title[256];
    char processName[1024];
};

struct FloorProcess {
    ULONGLONG created;
    char name[1024];
};

// A flat side's state: its page and list, the last scan, and what it knows of processes.
struct Scan {
    HWND page = nullptr;
    HWND list = nullptr;
    bool literal = false;
    DWORD ownProcess = 0;
    std::vector<FloorWindow> scan, current;
    std::map<DWORD, FloorProcess> processes;  // the floor's: name by id, checked once a scan
    std::vector<DWORD> checked;
};

inline ULONGLONG CreationTime(DWORD processId)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId);
    if (!process)
        return 0;
    FILETIME created, exited, kernel, user;
    ULONGLONG result = 0;
    if (::GetProcessTimes(process, &created, &exited, &kernel, &user))
        result = (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
    ::CloseHandle(process);
    return result;
}

// The name look-up as the window record's text reads: the first module's base name.
inline void LookUpName(DWORD processId, char* name)
{
    name[0] = '\0';
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (!process)
        return;
    HMODULE modules[1024];
    DWORD needed = 0;
    if (!::EnumProcessModules(process, modules, sizeof(modules), &needed) ||
        !::GetModuleBaseNameA(process, modules[0], name, 1024))
        name[0] = '\0';
    ::CloseHandle(process);
}

// The floor's name of a process: read once, then its creation time checked once per scan.
inline void CachedName(Scan& f, DWORD processId, char* name)
{
    auto it = f.processes.find(processId);
    if (std::find(f.checked.begin(), f.checked.end(), processId) == f.checked.end()) {
        f.checked.push_back(processId);
        const ULONGLONG created = CreationTime(processId);
        if (it == f.processes.end() || it->second.created != created || !created) {
            FloorProcess p;
            p.created = created;
            LookUpName(processId, p.name);
            it = f.processes.insert_or_assign(processId, p).first;
        }
    }
    lstrcpynA(name, it->second.name, 1024);
}

inline BOOL CALLBACK Visit(HWND hwnd, LPARAM context)
{
    Scan& f = *reinterpret_cast<Scan*>(context);
    if (hwnd == f.page)
        return TRUE;
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_STYLE));
    const DWORD needed = WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;
    if ((style & needed) != needed)
        return TRUE;
    FloorWindow w;
    w.hwnd = hwnd;
    std::memset(w.title, 0, sizeof(w.title));
    ::GetWindowTextA(hwnd, w.title, sizeof(w.title));
    if (!strcmp(w.title, "Program Manager") || !w.title[0])
        return TRUE;
    w.processId = 0;
    ::GetWindowThreadProcessId(hwnd, &w.processId);
    if (f.literal) {
        LookUpName(w.processId, w.processName);
    } else {
        if (w.processId == f.ownProcess)
            return TRUE;
        CachedName(f, w.processId, w.processName);
    }
    if (!w.processName[0] || !strcmp(w.processName, "Kestrova.exe"))
        return TRUE;
    RECT rect;
    const bool iconic = f.literal ? ::IsIconic(hwnd) != FALSE : (style & WS_MINIMIZE) != 0;
    if (iconic) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        ::GetWindowPlacement(hwnd, &placement);
        rect = placement.rcNormalPosition;
    } else {
        ::GetWindowRect(hwnd, &rect);
    }
    if (rect.right == rect.left || rect.bottom == rect.top)
        return TRUE;
    f.scan.push_back(w);
    if (f.page && ::IsWindowVisible(f.page)) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(::SendMessageA(f.list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = w.title;
        ::SendMessageA(f.list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    return TRUE;
}

inline bool Has(const std::vector<FloorWindow>& list, HWND hwnd)
{
    for (const FloorWindow& w : list) {
        if (w.hwnd == hwnd)
            return true;
    }
    return false;
}

// One flat tick: the list cleared with its redraw off, the enumeration, the diff by handle both ways.
inline int Tick(Scan& f)
{
    f.checked.clear();
    if (f.list) {
        ::SendMessageA(f.list, WM_SETREDRAW, FALSE, 0);
        ::SendMessageA(f.list, LVM_DELETEALLITEMS, 0, 0);
    }
    ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&f));
    int changes = 0;
    for (const FloorWindow& w : f.scan)
        changes += Has(f.current, w.hwnd) ? 0 : 1;
    for (const FloorWindow& w : f.current)
        changes += Has(f.scan, w.hwnd) ? 0 : 1;
    f.current.swap(f.scan);
    f.scan.clear();
    if (f.list)
        ::SendMessageA(f.list, WM_SETREDRAW, TRUE, 0);
    return changes;
}

}  // namespace flatscan
