#include "app/StartUp.h"

#include "framework/Mbcs.h"
#include "framework/Trace.h"

#include <windows.h>
#include <cstdlib>
#include <cstring>
#include <vector>

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

CString ProgramPath()
{
    // argv[0] is what the caller typed: a bare name found through PATH has no folder at all.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return CString();
        if (length < buffer.size())
            return CString(buffer.data(), static_cast<int>(length));
        if (buffer.size() >= 32768)
            return CString();
        buffer.resize(buffer.size() * 2);  // cut to fit
    }
}

int InitPortableFolder()
{
    AfxTrace("PORTABLE VERSION START\n");
    const CString folder = ProgramFolder(ProgramPath());
    ::SetCurrentDirectoryA(folder);
    AfxTrace("CurrentDir=%s", folder.GetString());
    return 1;
}
