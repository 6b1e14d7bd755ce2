#include "tracking/WindowEntry.h"

#include "framework/Handle.h"
#include "framework/Mbcs.h"
#include "tracking/ProcessModule.h"

bool GetImageBaseName(HANDLE process, char* name, DWORD size)
{
    char path[1024] = {};
    if (!ReadImagePath(process, path, sizeof path))
        return false;
    lstrcpynA(name, PathBaseName(path), static_cast<int>(size));
    return name[0] != '\0';
}

void GetProcessNameFromId(DWORD processId, CString& name)
{
    char baseName[1024] = {};
    bool found = false;
    const CKernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (process) {
        found = ReadFirstModuleName(process.Get(), kModuleBaseName, baseName, sizeof baseName) ||
                GetImageBaseName(process.Get(), baseName, sizeof baseName);
    }
    name = found ? baseName : "";
}

const char* PathBaseName(const char* path)
{
    const char* slash = MbcsReverseFindChar(path, '\\');
    return slash ? slash + 1 : path;
}
