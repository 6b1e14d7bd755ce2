#include "app/VersionText.h"

#include <windows.h>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

char VersionText[256];
int VersionTextReady = 0;
char ModuleFileName[260];

const char* GetVersionText()
{
    if (VersionTextReady == 1)
        return VersionText;
    std::memset(VersionText, 0, sizeof(VersionText));
    ::GetModuleFileNameA(nullptr, ModuleFileName, sizeof(ModuleFileName));
    ModuleFileName[sizeof(ModuleFileName) - 1] = '\0';

    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(ModuleFileName, &handle);
    if (size == 0)
        return VersionText;
    std::unique_ptr<char[]> block(new (std::nothrow) char[size + 1]);
    if (!block)
        return VersionText;
    if (!::GetFileVersionInfoA(ModuleFileName, 0, size, block.get()))
        return VersionText;

    WORD* translation = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.get(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        !translation || length < 2 * sizeof(WORD))
        return VersionText;
    char language[16];
    std::snprintf(language, sizeof(language), "%04x%04x", translation[0], translation[1]);

    char subBlock[128];
    std::snprintf(subBlock, sizeof(subBlock), "\\StringFileInfo\\%s\\%s", language, "ProductVersion");
    char* value = nullptr;
    if (!::VerQueryValueA(block.get(), subBlock, reinterpret_cast<void**>(&value), &length) || !value)
        return VersionText;
    // A version too long for the buffer is cut, never overrun.
    std::snprintf(VersionText, sizeof(VersionText), "Ver.:%s", value);
    VersionTextReady = 1;
    return VersionText;
}

CString AboutVersionLine(const char* versionText)
{
    CString version(versionText);
    version.Replace(",", "-");
    version.Replace(";", ".");
    CString line;
    line.Format("Kestrova %s %s", version.GetString(), "[PORTABLE版]");
    return line;
}
