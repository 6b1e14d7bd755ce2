#include "tracking/ProcessNameCache.h"

#include "framework/Handle.h"
#include "tracking/WindowEntry.h"

namespace {

ULONGLONG ReadCreationTime(DWORD processId)
{
    const CKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    if (!process)
        return 0;
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process.Get(), &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace

ULONGLONG (*ProcessNameCache::CreationTime)(DWORD) = &ReadCreationTime;

void ProcessNameCache::GetProcessNameFromIdDefault(DWORD processId, CString& name)
{
    GetProcessNameFromId(processId, name);
}

ProcessNameCache::ProcessNameCache(NameLookup lookup) : m_lookup(lookup), m_scan(0) {}

void ProcessNameCache::BeginScan()
{
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.scan != m_scan)
            it = m_entries.erase(it);
        else
            ++it;
    }
    ++m_scan;
}

CString ProcessNameCache::Lookup(DWORD processId)
{
    auto it = m_entries.find(processId);
    // Checked once per scan: a process of the scan's windows is not replaced within it.
    if (it != m_entries.end() && it->second.scan == m_scan)
        return it->second.name;
    const ULONGLONG created = CreationTime(processId);
    if (created != 0 && it != m_entries.end() && it->second.created == created) {
        it->second.scan = m_scan;
        return it->second.name;
    }
    CString name;
    m_lookup(processId, name);
    // A failure is remembered for this scan only: its creation time 0 never matches later.
    m_entries[processId] = Entry{name.IsEmpty() ? 0 : created, name, m_scan};
    return name;
}
