// The start-up floor: a program that only creates its window and adds a tray icon, as Kestrova's
// is added (icon id 0, callback message WM_USER+100). Ends on WM_CLOSE, removing the icon.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace {

NOTIFYICONDATAA g_nid;

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        ::Shell_NotifyIconA(NIM_DELETE, &g_nid);
        ::DestroyWindow(hwnd);
        return 0;
    }
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = instance;
    wc.lpszClassName = "KvTrayFloor";
    ::RegisterClassA(&wc);
    HWND hwnd = ::CreateWindowExA(0, "KvTrayFloor", "kv tray floor", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                  instance, nullptr);
    std::memset(&g_nid, 0, sizeof(g_nid));
    g_nid.cbSize = sizeof(g_nid);
    g_nid.hWnd = hwnd;
    g_nid.uID = 0;
    g_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_nid.uCallbackMessage = WM_USER + 100;
    g_nid.hIcon = ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    lstrcpynA(g_nid.szTip, "kv tray floor", sizeof(g_nid.szTip));
    ::Shell_NotifyIconA(NIM_ADD, &g_nid);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return 0;
}
