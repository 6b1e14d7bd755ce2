// The start-up floor: in one flat sequence, what must be done before Kestrova's tray icon shows,
// from Kestrova's own resources (templates, icon and the Common Controls 6 manifest) and with the
// same imported DLLs. The sockets start (1.1), a named mutex is taken, the program's folder becomes
// the current one, both ini files beside it are read, the main dialog runs modal from its template
// and makes its three pages from theirs, the pages' timers and the hover hot key are set, and the
// icon is added (id 0, callback WM_USER+100). Ends on WM_CLOSE to the main dialog, removing the icon.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "res/resource.h"

namespace {

// Imported and never called: Kestrova imports these DLLs, so their loading is part of its start.
void (*volatile g_sameImports[])() = {
    reinterpret_cast<void (*)()>(&::RegOpenKeyExA),      reinterpret_cast<void (*)()>(&::CoInitialize),
    reinterpret_cast<void (*)()>(&::GetModuleBaseNameA), reinterpret_cast<void (*)()>(&::GetFileVersionInfoSizeA),
    reinterpret_cast<void (*)()>(&::GetStockObject),
};

NOTIFYICONDATAA g_nid;
std::string g_folder;

struct Settings {
    int interval, hotKey, modifiers;
};

Settings ReadSettings()
{
    const std::string ini = g_folder + "\\Kestrova.ini";
    static const char* const keys[] = {"LOCATION",    "SIZE",  "LEFTMARGIN", "TOPMARGIN", "RIGHTMARGIN", "BOTTOMMARGIN",
                                       "TRANSPARENT", "LIMIT", "INTERVAL",   "FRAME",     "HVHOTKEY",    "HVMODIFIERS"};
    static const int defaults[] = {1, 1, 20, 10, 10, 30, 60, 16, 5, 0, 'W', MOD_WIN};
    int values[12];
    for (int i = 0; i < 12; ++i)
        values[i] = static_cast<int>(::GetPrivateProfileIntA("SYSTEM", keys[i], defaults[i], ini.c_str()));
    return {values[8], values[10], values[11]};
}

void ReadRules()
{
    const std::string ini = g_folder + "\\ExclusionData.ini";
    char text[1024];
    ::GetPrivateProfileStringA("SYSTEM", "EXCLUSIONNUM", "", text, sizeof(text), ini.c_str());
    const int count = atoi(text);
    for (int i = 0; i < count && i < 1000; ++i) {
        char section[32];
        snprintf(section, sizeof(section), "ITEM%d", i);
        for (const char* key : {"TITLEFLAG", "PNAMEFLAG", "FULLNAMEFLAG"})
            ::GetPrivateProfileIntA(section, key, 0, ini.c_str());
        for (const char* key : {"TITLE", "PNAME", "TPART"})
            ::GetPrivateProfileStringA(section, key, "", text, sizeof(text), ini.c_str());
    }
}

INT_PTR CALLBACK PageProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

INT_PTR CALLBACK MainProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam)
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    switch (message) {
        case WM_INITDIALOG: {
            HWND control = ::CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CONTROL_DIALOG), hwnd, PageProc, 0);
            const Settings settings = ReadSettings();
            ::SetTimer(control, 105, static_cast<UINT>(settings.interval) * 100, nullptr);
            ::RegisterHotKey(control, 1000, static_cast<UINT>(settings.modifiers), static_cast<UINT>(settings.hotKey));
            ::SetTimer(control, 107, 100, nullptr);
            ::CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_LIMIT_DIALOG), hwnd, PageProc, 0);
            HWND winList = ::CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_WINLIST_DIALOG), hwnd, PageProc, 0);
            ::SetTimer(winList, 101, 1000, nullptr);
            std::memset(&g_nid, 0, sizeof(g_nid));
            g_nid.cbSize = sizeof(g_nid);
            g_nid.hWnd = hwnd;
            g_nid.uID = 0;
            g_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
            g_nid.uCallbackMessage = WM_USER + 100;
            g_nid.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
            lstrcpynA(g_nid.szTip, "Kestrova", sizeof(g_nid.szTip));
            ::Shell_NotifyIconA(NIM_ADD, &g_nid);
            return TRUE;
        }
        case WM_WINDOWPOSCHANGING:
            // The template is visible; the main window is not, as Kestrova's is not.
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
            return FALSE;
        case WM_CLOSE:
            ::Shell_NotifyIconA(NIM_DELETE, &g_nid);
            ::EndDialog(hwnd, 0);
            return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_LINK_CLASS |
                                                 ICC_LISTVIEW_CLASSES | ICC_UPDOWN_CLASS | ICC_HOTKEY_CLASS};
    ::InitCommonControlsEx(&icc);
    WSADATA sockets;
    if (::WSAStartup(MAKEWORD(1, 1), &sockets) != 0)
        return 1;
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, "__KESTROVA_TORVANE_FLOOR__");
    if (!mutex || ::GetLastError() == ERROR_ALREADY_EXISTS)
        return 1;
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, sizeof(path) - 1);
    if (char* slash = strrchr(path, '\\'))
        *slash = '\0';
    g_folder = path;
    ::SetCurrentDirectoryA(path);
    ReadRules();
    ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_KESTROVA_DIALOG), nullptr, MainProc, 0);
    return 0;
}
