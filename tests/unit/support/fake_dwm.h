// A fake DWM behind the wrappers, for the thumbnail's live road, which Wine's DWM never takes: it
// answers as set and records what it was asked.
#pragma once
#include <windows.h>

#include <vector>

#include "desktop/DwmApi.h"

struct FakeDwm {
    BOOL composition = TRUE;
    HRESULT registerResult = S_OK;
    HRESULT updateResult = S_OK;
    HRESULT querySizeResult = S_OK;
    SIZE sourceSize = {0, 0};
    HRESULT frameResult = E_FAIL;
    RECT frameInset = {0, 0, 0, 0};  // the visible frame inside the window rectangle
    UINT_PTR nextHandle = 0x100;
    std::vector<UINT_PTR> registered;
    std::vector<UINT_PTR> unregistered;
    std::vector<DWM_THUMBNAIL_PROPERTIES> updates;
    int sizeQueries = 0;
};
inline FakeDwm g_fake;

inline HRESULT WINAPI FakeIsCompositionEnabled(BOOL* enabled)
{
    *enabled = g_fake.composition;
    return S_OK;
}

inline HRESULT WINAPI FakeGetWindowAttribute(HWND hwnd, DWORD, PVOID value, DWORD)
{
    RECT window;
    GetWindowRect(hwnd, &window);
    const RECT& in = g_fake.frameInset;
    *static_cast<RECT*>(value) = {window.left + in.left, window.top + in.top, window.right - in.right,
                                  window.bottom - in.bottom};
    return g_fake.frameResult;
}

inline HRESULT WINAPI FakeUpdateThumbnailProperties(HTHUMBNAIL, const DWM_THUMBNAIL_PROPERTIES* properties)
{
    g_fake.updates.push_back(*properties);
    return g_fake.updateResult;
}

inline HRESULT WINAPI FakeRegisterThumbnail(HWND, HWND, PHTHUMBNAIL thumbnail)
{
    if (FAILED(g_fake.registerResult))
        return g_fake.registerResult;
    g_fake.registered.push_back(g_fake.nextHandle);
    *thumbnail = reinterpret_cast<HTHUMBNAIL>(g_fake.nextHandle++);
    return S_OK;
}

inline HRESULT WINAPI FakeUnregisterThumbnail(HTHUMBNAIL thumbnail)
{
    g_fake.unregistered.push_back(reinterpret_cast<UINT_PTR>(thumbnail));
    return S_OK;
}

inline HRESULT WINAPI FakeQueryThumbnailSourceSize(HTHUMBNAIL, PSIZE size)
{
    ++g_fake.sizeQueries;
    *size = g_fake.sourceSize;
    return g_fake.querySizeResult;
}

inline const DwmFunctions kFakeDwm = {
    FakeIsCompositionEnabled,
    FakeGetWindowAttribute,
    FakeUpdateThumbnailProperties,
    FakeRegisterThumbnail,
    FakeUnregisterThumbnail,
    FakeQueryThumbnailSourceSize,
    nullptr,
};

// Windows 7 with composition through the fake, from a fresh fake, for one scope; with on false the
// real (absent) DWM stays, so one test can run both roads.
class ScopedFakeDwm {
public:
    explicit ScopedFakeDwm(bool on = true)
    {
        g_fake = FakeDwm();
        if (on) {
            SetOsVersionForTest(6, 1);
            SetDwmFunctionsForTest(&kFakeDwm);
        }
    }
    ~ScopedFakeDwm()
    {
        SetDwmFunctionsForTest(nullptr);
        ResetOsVersionForTest();
    }
    ScopedFakeDwm(const ScopedFakeDwm&) = delete;
    ScopedFakeDwm& operator=(const ScopedFakeDwm&) = delete;
};
