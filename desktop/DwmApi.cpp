#include "desktop/DwmApi.h"

#include "framework/Handle.h"

OSVERSIONINFOA OsVersionInfo;
int OsVersionInfoValid;

namespace {

const DwmFunctions* g_fakeDwm = nullptr;

template <typename Fn>
void Resolve(HMODULE module, const char* name, Fn& fn)
{
    // Through void(*)(), the one function type GCC lets any other be cast from without warning.
    fn = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

DwmFunctions LoadDwmApi()
{
    DwmFunctions functions = {};
    HMODULE module = LoadLibraryA("dwmapi.dll");  // kept for the life of the process
    if (module) {
        Resolve(module, "DwmIsCompositionEnabled", functions.IsCompositionEnabled);
        Resolve(module, "DwmGetWindowAttribute", functions.GetWindowAttribute);
        Resolve(module, "DwmUpdateThumbnailProperties", functions.UpdateThumbnailProperties);
        Resolve(module, "DwmRegisterThumbnail", functions.RegisterThumbnail);
        Resolve(module, "DwmUnregisterThumbnail", functions.UnregisterThumbnail);
        Resolve(module, "DwmQueryThumbnailSourceSize", functions.QueryThumbnailSourceSize);
        Resolve(module, "DwmExtendFrameIntoClientArea", functions.ExtendFrameIntoClientArea);
    }
    return functions;
}

// Call only behind IsVistaOrLater: the first call loads dwmapi.dll.
const DwmFunctions& Dwm()
{
    if (g_fakeDwm)
        return *g_fakeDwm;
    static const DwmFunctions loaded = LoadDwmApi();
    return loaded;
}

}  // namespace

void InitOsVersion()
{
    ZeroMemory(&OsVersionInfo, sizeof OsVersionInfo);
    OsVersionInfo.dwOSVersionInfoSize = sizeof OsVersionInfo;
    if (GetVersionExA(&OsVersionInfo) == 1)
        OsVersionInfoValid = 1;
}

BOOL IsVistaOrLater()
{
    if (OsVersionInfoValid == 0)
        InitOsVersion();
    return OsVersionInfoValid == 1 && OsVersionInfo.dwMajorVersion >= 6;
}

HRESULT SafeDwmIsCompositionEnabled(BOOL* enabled)
{
    auto fn = IsVistaOrLater() ? Dwm().IsCompositionEnabled : nullptr;
    if (!fn) {
        if (enabled)
            *enabled = FALSE;
        return kDwmNotCalled;
    }
    return fn(enabled);
}

HRESULT SafeDwmGetWindowAttribute(HWND hwnd, RECT* rect)
{
    auto fn = IsVistaOrLater() ? Dwm().GetWindowAttribute : nullptr;
    return fn ? fn(hwnd, DWMWA_EXTENDED_FRAME_BOUNDS, rect, sizeof(RECT)) : kDwmNotCalled;
}

HRESULT SafeDwmUpdateThumbnailProperties(HTHUMBNAIL thumbnail, const DWM_THUMBNAIL_PROPERTIES* properties)
{
    auto fn = IsVistaOrLater() ? Dwm().UpdateThumbnailProperties : nullptr;
    return fn ? fn(thumbnail, properties) : kDwmNotCalled;
}

HRESULT SafeDwmRegisterThumbnail(HWND hwndDestination, HWND hwndSource, PHTHUMBNAIL thumbnail)
{
    auto fn = IsVistaOrLater() ? Dwm().RegisterThumbnail : nullptr;
    return fn ? fn(hwndDestination, hwndSource, thumbnail) : kDwmNotCalled;
}

HRESULT SafeDwmUnregisterThumbnail(HTHUMBNAIL thumbnail)
{
    auto fn = IsVistaOrLater() ? Dwm().UnregisterThumbnail : nullptr;
    return fn ? fn(thumbnail) : kDwmNotCalled;
}

HRESULT SafeDwmQueryThumbnailSourceSize(HTHUMBNAIL thumbnail, SIZE* size)
{
    auto fn = IsVistaOrLater() ? Dwm().QueryThumbnailSourceSize : nullptr;
    return fn ? fn(thumbnail, size) : kDwmNotCalled;
}

HRESULT SafeDwmExtendFrameIntoClientArea(HWND hwnd, const MARGINS* margins)
{
    auto fn = IsVistaOrLater() ? Dwm().ExtendFrameIntoClientArea : nullptr;
    return fn ? fn(hwnd, margins) : kDwmNotCalled;
}

void GetFrameBounds(HWND hwnd, RECT* rect)
{
    // With composition off the DWM call fails, and the window rectangle is the visible frame.
    if (SUCCEEDED(SafeDwmGetWindowAttribute(hwnd, rect)))
        return;
    GetWindowRect(hwnd, rect);
}

void GetFrameAndWindowRect(HWND hwnd, RECT* frameBounds, RECT* windowRect)
{
    GetFrameBounds(hwnd, frameBounds);
    GetWindowRect(hwnd, windowRect);
}

OsVersionVerdict CompareOsVersion(DWORD runningMajor, DWORD runningMinor, DWORD platformId, DWORD major, DWORD minor,
                                  WORD servicePack)
{
    if (runningMajor != major)
        return runningMajor > major ? kOsVersionAtLeast : kOsVersionBelow;
    if (runningMinor != minor)
        return runningMinor > minor ? kOsVersionAtLeast : kOsVersionBelow;
    if (servicePack == 0 || platformId != VER_PLATFORM_WIN32_NT)
        return kOsVersionAtLeast;
    return kOsVersionAskServicePack;
}

BOOL ServicePackAtLeast(DWORD csdVersion, WORD servicePack)
{
    return ((csdVersion >> 8) & 0xFF) >= servicePack;
}

BOOL IsOsVersionAtLeast(DWORD major, DWORD minor, WORD servicePack)
{
    OSVERSIONINFOA running = {};
    running.dwOSVersionInfoSize = sizeof running;
    GetVersionExA(&running);  // on failure the zeroed record compares as version 0.0
    switch (CompareOsVersion(running.dwMajorVersion, running.dwMinorVersion, running.dwPlatformId, major, minor,
                             servicePack)) {
        case kOsVersionBelow:
            return FALSE;
        case kOsVersionAtLeast:
            return TRUE;
        case kOsVersionAskServicePack:
            break;
    }
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Windows", 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return FALSE;
    const CRegKey key(opened);
    DWORD csdVersion = 0;
    DWORD type = 0;
    DWORD size = sizeof csdVersion;
    LONG status =
        RegQueryValueExA(key.Get(), "CSDVersion", nullptr, &type, reinterpret_cast<BYTE*>(&csdVersion), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof csdVersion)
        return FALSE;
    return ServicePackAtLeast(csdVersion, servicePack);
}

void SetDwmFunctionsForTest(const DwmFunctions* fake)
{
    g_fakeDwm = fake;
}

void SetOsVersionForTest(DWORD major, DWORD minor)
{
    ZeroMemory(&OsVersionInfo, sizeof OsVersionInfo);
    OsVersionInfo.dwOSVersionInfoSize = sizeof OsVersionInfo;
    OsVersionInfo.dwMajorVersion = major;
    OsVersionInfo.dwMinorVersion = minor;
    OsVersionInfo.dwPlatformId = VER_PLATFORM_WIN32_NT;
    OsVersionInfoValid = 1;
}

void ResetOsVersionForTest()
{
    ZeroMemory(&OsVersionInfo, sizeof OsVersionInfo);
    OsVersionInfoValid = 0;
}
