#include "tracking/ProcessModule.h"

#include <psapi.h>

namespace {

typedef BOOL(WINAPI* QueryFullProcessImageNameAFn)(HANDLE process, DWORD flags, LPSTR name, PDWORD size);

// Kernel32 has it from Vista on; a direct import would keep the program from starting on XP.
QueryFullProcessImageNameAFn QueryFullProcessImageNameEntry()
{
    static const QueryFullProcessImageNameAFn entry =
        reinterpret_cast<QueryFullProcessImageNameAFn>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA")));
    return entry;
}

bool ReadFirstModuleNameDefault(HANDLE process, ModuleName part, char* name, DWORD size)
{
    if (size == 0)
        return false;
    name[0] = '\0';
    HMODULE modules[1024];
    DWORD needed = 0;
    if (!::EnumProcessModules(process, modules, sizeof(modules), &needed) || needed < sizeof(HMODULE))
        return false;
    // One byte short of the buffer, so the text always ends in a zero.
    const DWORD length = part == kModuleBaseName ? ::GetModuleBaseNameA(process, modules[0], name, size - 1)
                                                 : ::GetModuleFileNameExA(process, modules[0], name, size - 1);
    name[length < size ? length : size - 1] = '\0';
    return length != 0;
}

}  // namespace

bool (*ReadFirstModuleName)(HANDLE, ModuleName, char*, DWORD) = &ReadFirstModuleNameDefault;

bool ReadImagePath(HANDLE process, char* path, DWORD size)
{
    if (size == 0)
        return false;
    QueryFullProcessImageNameAFn query = QueryFullProcessImageNameEntry();
    DWORD length = size - 1;
    if (!query || !query(process, 0, path, &length) || length == 0) {
        path[0] = '\0';
        return false;
    }
    path[length < size ? length : size - 1] = '\0';
    return true;
}
