#pragma once
// Desktop Window Manager calls behind the NT 6 gate, the OS-version test and window frame bounds.
// dwmapi.dll is loaded on first use and never linked, so the program still starts on XP; before
// NT 6 no DWM function is called and the DLL is never loaded.
#include <windows.h>
#include <dwmapi.h>  // types only: HTHUMBNAIL, DWM_THUMBNAIL_PROPERTIES, MARGINS

// The result of every wrapper that made no DWM call.
const HRESULT kDwmNotCalled = static_cast<HRESULT>(0xFFFFFFFF);

extern OSVERSIONINFOA OsVersionInfo;
extern int OsVersionInfoValid;

void InitOsVersion();
BOOL IsVistaOrLater();

HRESULT SafeDwmIsCompositionEnabled(BOOL* enabled);
// DWMWA_EXTENDED_FRAME_BOUNDS into rect.
HRESULT SafeDwmGetWindowAttribute(HWND hwnd, RECT* rect);
HRESULT SafeDwmUpdateThumbnailProperties(HTHUMBNAIL thumbnail, const DWM_THUMBNAIL_PROPERTIES* properties);
HRESULT SafeDwmRegisterThumbnail(HWND hwndDestination, HWND hwndSource, PHTHUMBNAIL thumbnail);
HRESULT SafeDwmUnregisterThumbnail(HTHUMBNAIL thumbnail);
HRESULT SafeDwmQueryThumbnailSourceSize(HTHUMBNAIL thumbnail, SIZE* size);
HRESULT SafeDwmExtendFrameIntoClientArea(HWND hwnd, const MARGINS* margins);

// The visible frame in screen coordinates; the window rectangle when DWM cannot tell.
void GetFrameBounds(HWND hwnd, RECT* rect);
void GetFrameAndWindowRect(HWND hwnd, RECT* frameBounds, RECT* windowRect);

BOOL IsOsVersionAtLeast(DWORD major, DWORD minor, WORD servicePack);

// The decision of IsOsVersionAtLeast before the registry is asked.
enum OsVersionVerdict { kOsVersionBelow, kOsVersionAtLeast, kOsVersionAskServicePack };
OsVersionVerdict CompareOsVersion(DWORD runningMajor, DWORD runningMinor, DWORD platformId, DWORD major, DWORD minor,
                                  WORD servicePack);
// csdVersion is the registry's "CSDVersion" DWORD: service-pack major in bits 8-15, minor in 0-7.
BOOL ServicePackAtLeast(DWORD csdVersion, WORD servicePack);

// The DWM entry points the wrappers call. A null entry counts as absent: the wrapper then
// behaves as before NT 6.
struct DwmFunctions {
    HRESULT(WINAPI* IsCompositionEnabled)(BOOL* enabled);
    HRESULT(WINAPI* GetWindowAttribute)(HWND hwnd, DWORD attribute, PVOID value, DWORD size);
    HRESULT(WINAPI* UpdateThumbnailProperties)(HTHUMBNAIL thumbnail, const DWM_THUMBNAIL_PROPERTIES* properties);
    HRESULT(WINAPI* RegisterThumbnail)(HWND hwndDestination, HWND hwndSource, PHTHUMBNAIL thumbnail);
    HRESULT(WINAPI* UnregisterThumbnail)(HTHUMBNAIL thumbnail);
    HRESULT(WINAPI* QueryThumbnailSourceSize)(HTHUMBNAIL thumbnail, PSIZE size);
    HRESULT(WINAPI* ExtendFrameIntoClientArea)(HWND hwnd, const MARGINS* margins);
};

// Test seam. A fake table replaces dwmapi.dll until it is reset with null; the table must
// outlive its use. A forced version fills the cache as GetVersionExA would; the reset empties
// the cache so that the next gate reads the system again.
void SetDwmFunctionsForTest(const DwmFunctions* fake);
void SetOsVersionForTest(DWORD major, DWORD minor);
void ResetOsVersionForTest();
