#include "strip/ProcessImagePath.h"

#include "tracking/ProcessModule.h"

void ReadProcessImagePath(DWORD processId, CString& path)
{
    char buffer[1024] = {};
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process) {
        if (!ReadFirstModuleName(process, kModuleFullPath, buffer, sizeof(buffer)) &&
            !ReadImagePath(process, buffer, sizeof(buffer)))
            buffer[0] = '\0';
        ::CloseHandle(process);
    }
    path = buffer;
}
