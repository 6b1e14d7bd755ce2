#pragma once
// Remembers each process's executable name by process id and creation time, so a scan opens the
// modules of a process only once, and a reused id never inherits the old process's name.
#include "framework/String.h"

#include <windows.h>
#include <map>

class ProcessNameCache {
public:
    typedef void (*NameLookup)(DWORD processId, CString& name);
    explicit ProcessNameCache(NameLookup lookup = &GetProcessNameFromIdDefault);

    // The process's name, or "" when it cannot be found out. Each process is checked once per
    // scan; a failure is not remembered beyond the scan.
    CString Lookup(DWORD processId);
    // Starts a scan: entries not looked up again before the next BeginScan are forgotten.
    void BeginScan();
    size_t Size() const { return m_entries.size(); }

    // Creation time of the process, 0 when it cannot be read. Replaceable for tests.
    static ULONGLONG (*CreationTime)(DWORD processId);

private:
    static void GetProcessNameFromIdDefault(DWORD processId, CString& name);
    struct Entry {
        ULONGLONG created;
        CString name;
        unsigned scan;
    };
    NameLookup m_lookup;
    std::map<DWORD, Entry> m_entries;
    unsigned m_scan;
};
