#include "tracking/WindowEntry.h"

#include <psapi.h>

#include "framework/Mbcs.h"

namespace {

typedef BOOL (WINAPI* QueryFullProcessImageNameAFn)(HANDLE process, DWORD flags, LPSTR name, PDWORD size);

// Kernel32 has it from Vista on; a direct import would keep the program from starting on XP.
QueryFullProcessImageNameAFn QueryFullProcessImageNameEntry() {
    static const QueryFullProcessImageNameAFn entry = reinterpret_cast<QueryFullProcessImageNameAFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    return entry;
}

// Fills name (size bytes) with the executable's base name; false when no step gave one.
bool ReadProcessBaseName(HANDLE process, char* name, DWORD size) {
    HMODULE modules[1024];
    DWORD needed = 0;
    if (EnumProcessModules(process, modules, sizeof modules, &needed) && needed >= sizeof(HMODULE))
        return GetModuleBaseNameA(process, modules[0], name, size) != 0;

    // A 32-bit process cannot list the modules of a 64-bit one; its image path still names it.
    return GetImageBaseName(process, name, size);
}

}  // namespace

bool GetImageBaseName(HANDLE process, char* name, DWORD size) {
    QueryFullProcessImageNameAFn query = QueryFullProcessImageNameEntry();
    char path[1024] = {};
    DWORD length = sizeof path;
    if (!query || !query(process, 0, path, &length) || length == 0) return false;
    lstrcpynA(name, PathBaseName(path), static_cast<int>(size));
    return name[0] != '\0';
}

void GetProcessNameFromId(DWORD processId, CString& name) {
    char baseName[1024] = {};
    bool found = false;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process) {
        found = ReadProcessBaseName(process, baseName, sizeof baseName);
        CloseHandle(process);  // nothing above can throw, so this is every path
    }
    name = found ? baseName : "";
}

const char* PathBaseName(const char* path) {
    const char* slash = MbcsReverseFindChar(path, '\\');
    return slash ? slash + 1 : path;
}
