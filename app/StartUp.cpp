#include "app/StartUp.h"

#include "framework/Mbcs.h"
#include "framework/Trace.h"

#include <windows.h>
#include <cstdlib>
#include <cstring>

bool IsExactSwitch(const char* arg, const char* sw)
{
    return arg && std::strncmp(arg, sw, std::strlen(sw) + 1) == 0;
}

CommandLineSwitches ParseSwitches(int argc, char** argv)
{
    CommandLineSwitches result = {0, 0};
    for (int i = 1; i < argc; ++i) {
        if (IsExactSwitch(argv[i], "-D574"))
            result.debug = 1;
        if (IsExactSwitch(argv[i], "-LAYERED"))
            result.layered = 1;
    }
    return result;
}

CString ProgramFolder(const char* programPath)
{
    if (!programPath)
        return CString();
    const char* slash = MbcsReverseFindChar(programPath, '\\');
    if (!slash)
        return CString();
    return CString(programPath, static_cast<int>(slash - programPath));
}

int InitPortableFolder()
{
    AfxTrace("PORTABLE VERSION START\n");
    const CString folder = ProgramFolder(__argc > 0 ? __argv[0] : nullptr);
    ::SetCurrentDirectoryA(folder);
    AfxTrace("CurrentDir=%s", folder.GetString());
    return 1;
}
