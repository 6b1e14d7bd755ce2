// The idle floor: what Kestrova's timers must do while nothing happens, made flat, with
// thumbnails of the helper's sources "idle source 0".."idle source 15":
//   kv_idle_floor.exe RECTS_FILE
// RECTS_FILE holds one "left top right bottom alpha" line per thumbnail, as Kestrova made its own.
// Timers: the 1 s tracking tick (the flat scan), the 500 ms refresh step (one background source
// captured into buffers kept for the run, then painted; with one idle step a cycle, as a grid with
// more slots than thumbnails has), a 200 ms poll of each source's rectangle
// and minimised state, and the 1 s tray check. Ends on WM_CLOSE to its window "kv idle floor".
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "bench_floor.h"
#include "bench_scan.h"

namespace {

const UINT_PTR kTick = 101, kTrayCheck = 103, kStep = 105, kPollBase = 200;

std::vector<floorthumb::Thumb> g_thumbs;
floorthumb::CopyBuffer g_copy;
flatscan::Scan g_scan;
NOTIFYICONDATAA g_nid;
size_t g_next = 0;

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_TIMER:
            if (wParam == kTick) {
                flatscan::Tick(g_scan);
            } else if (wParam == kStep) {
                // Kestrova's grid has more slots than thumbnails: one step of each cycle is idle.
                const size_t next = g_next;
                g_next = (g_next + 1) % (g_thumbs.size() + 1);
                if (next == g_thumbs.size())
                    return 0;
                floorthumb::Step(g_thumbs[next], g_copy);
            } else if (wParam == kTrayCheck) {
                ::Shell_NotifyIconA(NIM_MODIFY, &g_nid);
            } else if (wParam >= kPollBase && wParam < kPollBase + g_thumbs.size()) {
                RECT source;
                ::GetWindowRect(g_thumbs[wParam - kPollBase].source, &source);
                ::IsIconic(g_thumbs[wParam - kPollBase].source);
            }
            return 0;
        case WM_CLOSE:
            ::Shell_NotifyIconA(NIM_DELETE, &g_nid);
            ::DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: kv_idle_floor.exe RECTS_FILE\n");
        return 2;
    }
    FILE* in = fopen(argv[1], "r");
    if (!in)
        return 2;
    std::vector<RECT> rects;
    std::vector<int> alphas;
    RECT r;
    int alpha = 255;
    while (fscanf(in, "%ld %ld %ld %ld %d", &r.left, &r.top, &r.right, &r.bottom, &alpha) == 5) {
        rects.push_back(r);
        alphas.push_back(alpha);
    }
    fclose(in);
    const std::vector<HWND> sources = FindNumberedWindows("idle source ", static_cast<int>(rects.size()));
    if (rects.empty() || sources.empty())
        return 1;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KvIdleFloor";
    ::RegisterClassA(&wc);
    HWND main = ::CreateWindowExA(0, "KvIdleFloor", "kv idle floor", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);

    g_thumbs.resize(sources.size());
    SIZE largest = {0, 0};
    for (size_t i = 0; i < sources.size(); ++i) {
        floorthumb::Thumb& t = g_thumbs[i];
        t.source = sources[i];
        ::GetWindowThreadProcessId(sources[i], &t.processId);
        t.title = "idle source " + std::to_string(i);
        floorthumb::Open(t, rects[i]);
        ::SetLayeredWindowAttributes(t.hwnd, 0, static_cast<BYTE>(alphas[i]), LWA_ALPHA);
        floorthumb::PrepareImage(t);
        RECT window;
        ::GetWindowRect(sources[i], &window);
        largest.cx = std::max<LONG>(largest.cx, window.right - window.left);
        largest.cy = std::max<LONG>(largest.cy, window.bottom - window.top);
        ::SetTimer(main, kPollBase + i, 200, nullptr);
    }
    g_copy.Prepare(g_thumbs[0].hwnd, largest);
    g_scan.ownProcess = ::GetCurrentProcessId();
    flatscan::Tick(g_scan);

    std::memset(&g_nid, 0, sizeof(g_nid));
    g_nid.cbSize = sizeof(g_nid);
    g_nid.hWnd = main;
    g_nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    g_nid.uCallbackMessage = WM_USER + 100;
    g_nid.hIcon = ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    lstrcpynA(g_nid.szTip, "kv idle floor", sizeof(g_nid.szTip));
    ::Shell_NotifyIconA(NIM_ADD, &g_nid);
    ::SetTimer(main, kTick, 1000, nullptr);
    ::SetTimer(main, kStep, 500, nullptr);
    ::SetTimer(main, kTrayCheck, 1000, nullptr);

    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0)
        ::DispatchMessageA(&msg);
    for (floorthumb::Thumb& t : g_thumbs)
        floorthumb::Close(t);
    return 0;
}
