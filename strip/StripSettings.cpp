#include "strip/StripSettings.h"

#include "framework/Handle.h"
#include "framework/Trace.h"

BOOL ThumbnailSizeFor(int size, SIZE* out)
{
    static const SIZE kSizes[] = {{110, 80}, {160, 120}, {220, 160}};
    if (size < 0 || size > 2)
        return FALSE;
    *out = kSizes[size];
    return TRUE;
}

BYTE AlphaFromTransparency(int percent)
{
    const int held = percent < 20 ? 20 : percent > 100 ? 100 : percent;
    return static_cast<BYTE>(held * 255 / 100);
}

UINT RefreshPeriodMs(int interval)
{
    const int steps = interval < 1 ? 1 : interval > 20 ? 20 : interval;
    return static_cast<UINT>(steps) * 100;
}

CString ModeLetters(int monitorCount, int layeredMode, BOOL aero, int frame)
{
    CString letters = monitorCount > 1 || layeredMode != 0 ? "L" : "P";
    if (aero)
        letters += "A";
    if (frame != 0)
        letters += "F";
    return letters;
}

BOOL IsAeroEnabled()
{
    HKEY opened = nullptr;
    // Query access is all a read needs; full access would fail for a restricted user.
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\DWM", 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return FALSE;
    const CRegKey key(opened);
    DWORD value = 0;
    DWORD size = sizeof(value);
    const LONG result =
        ::RegQueryValueExA(key.Get(), "Composition", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    if (result == ERROR_SUCCESS && value == 1) {
        AfxTrace("AERO!\n");
        return TRUE;
    }
    return FALSE;
}

const char* LocationText(int location)
{
    static const char* const kTexts[] = {"上辺に並べる", "左辺に並べる", "右辺に並べる", "下辺に並べる"};
    return location >= 0 && location <= 3 ? kTexts[location] : "";
}

const char* SizeText(int size)
{
    static const char* const kTexts[] = {"SMALL", "MIDDLE", "LARGE"};
    return size >= 0 && size <= 2 ? kTexts[size] : "";
}

CString SettingsFilePath(const char* fileName, CurrentDirectoryReader readCurrentDirectory)
{
    char folder[261] = {};
    const DWORD length = readCurrentDirectory(sizeof(folder), folder);
    if (length == 0 || length >= sizeof(folder))
        return CString();
    CString path(folder);
    path += "\\";
    path += fileName;
    return path;
}
