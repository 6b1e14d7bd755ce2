#include "strip/ProcessImagePath.h"

#include <psapi.h>

namespace {

typedef BOOL(WINAPI* QueryFullProcessImageNameAFn)(HANDLE process, DWORD flags, LPSTR name, PDWORD size);

// Kernel32 has it from Vista on; a direct import would keep the program from starting on XP.
QueryFullProcessImageNameAFn QueryFullProcessImageNameEntry()
{
    static const QueryFullProcessImageNameAFn entry = reinterpret_cast<QueryFullProcessImageNameAFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    return entry;
}

}  // namespace

void ReadProcessImagePath(DWORD processId, CString& path)
{
    char buffer[1024] = {};
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process) {
        HMODULE modules[1024];
        DWORD needed = 0;
        // One byte short of the buffer, so the text always ends in a zero.
        if (!::EnumProcessModules(process, modules, sizeof(modules), &needed) || needed < sizeof(HMODULE) ||
            !::GetModuleFileNameExA(process, modules[0], buffer, sizeof(buffer) - 1)) {
            buffer[0] = '\0';
            QueryFullProcessImageNameAFn query = QueryFullProcessImageNameEntry();
            DWORD size = sizeof(buffer) - 1;
            if (!query || !query(process, 0, buffer, &size))
                buffer[0] = '\0';
        }
        ::CloseHandle(process);
    }
    path = buffer;
}
