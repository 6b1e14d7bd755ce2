#include "strip/ProcessImagePath.h"

#include "framework/Handle.h"
#include "tracking/ProcessModule.h"

void ReadProcessImagePath(DWORD processId, CString& path)
{
    char buffer[1024] = {};
    const CKernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (process && !ReadFirstModuleName(process.Get(), kModuleFullPath, buffer, sizeof(buffer)) &&
        !ReadImagePath(process.Get(), buffer, sizeof(buffer)))
        buffer[0] = '\0';
    path = buffer;
}
