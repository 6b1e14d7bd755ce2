// Opens the windows its command line describes and paints a known pattern in them.
//   kv_helper.exe [--hold] [--churn MS] [OPTIONS] [--window OPTIONS]...
// With --churn, every MS milliseconds its oldest window closes and a new one opens in its place.
// Each --window starts another window; options before the first one describe the first.
// Ends when its last window is gone, except with --hold (then it waits until it is killed).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kv_pattern.h"

namespace {

struct WindowDesc {
    std::string title = "kv_helper";
    std::string className = "KvHelperWindow";
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, cx = 320, cy = 240;
    int show = SW_SHOWNORMAL;
    int pattern = 0;
    int alpha = -1;        // layered alpha, set when >= 0
    DWORD lateStyle = 0;   // style bits added once the window shows
    std::string children;  // "firefox": one child; "chrome": the browser's two nested children
};

struct Flag {
    const char* name;
    DWORD value;
};

const Flag kStyles[] = {
    {"overlappedwindow", WS_OVERLAPPEDWINDOW},
    {"popup", WS_POPUP},
    {"caption", WS_CAPTION},
    {"sysmenu", WS_SYSMENU},
    {"thickframe", WS_THICKFRAME},
    {"minimizebox", WS_MINIMIZEBOX},
    {"maximizebox", WS_MAXIMIZEBOX},
    {"border", WS_BORDER},
    {"disabled", WS_DISABLED},
    {"minimize", WS_MINIMIZE},
};

const Flag kExStyles[] = {
    {"layered", WS_EX_LAYERED},     {"toolwindow", WS_EX_TOOLWINDOW}, {"topmost", WS_EX_TOPMOST},
    {"appwindow", WS_EX_APPWINDOW}, {"noactivate", WS_EX_NOACTIVATE}, {"transparent", WS_EX_TRANSPARENT},
};

// "a|b,c" of table names, or a number ("0x80000").
template <size_t N>
bool ParseFlags(const char* text, const Flag (&table)[N], DWORD* out)
{
    DWORD value = 0;
    std::string s(text);
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t end = s.find_first_of("|,", pos);
        if (end == std::string::npos)
            end = s.size();
        std::string token = s.substr(pos, end - pos);
        bool found = false;
        for (const Flag& f : table) {
            if (token == f.name) {
                value |= f.value;
                found = true;
            }
        }
        if (!found) {
            char* stop = nullptr;
            unsigned long n = strtoul(token.c_str(), &stop, 0);
            if (token.empty() || *stop)
                return false;
            value |= n;
        }
        pos = end + 1;
    }
    *out = value;
    return true;
}

using Apply = bool (*)(WindowDesc&, const char* arg);

struct Option {
    const char* name;
    bool takesArg;
    Apply apply;
};

const Option kOptions[] = {
    {"--title", true,
     [](WindowDesc& w, const char* a) {
         w.title = a;
         return true;
     }},
    {"--class", true,
     [](WindowDesc& w, const char* a) {
         w.className = a;
         return *a != 0;
     }},
    {"--style", true, [](WindowDesc& w, const char* a) { return ParseFlags(a, kStyles, &w.style); }},
    {"--late-style", true, [](WindowDesc& w, const char* a) { return ParseFlags(a, kStyles, &w.lateStyle); }},
    {"--exstyle", true, [](WindowDesc& w, const char* a) { return ParseFlags(a, kExStyles, &w.exStyle); }},
    {"--size", true, [](WindowDesc& w, const char* a) { return sscanf(a, "%dx%d", &w.cx, &w.cy) == 2; }},
    {"--pos", true, [](WindowDesc& w, const char* a) { return sscanf(a, "%d,%d", &w.x, &w.y) == 2; }},
    {"--pattern", true, [](WindowDesc& w, const char* a) { return sscanf(a, "%d", &w.pattern) == 1; }},
    {"--alpha", true, [](WindowDesc& w, const char* a) { return sscanf(a, "%d", &w.alpha) == 1; }},
    {"--minimized", false,
     [](WindowDesc& w, const char*) {
         w.show = SW_SHOWMINNOACTIVE;
         return true;
     }},
    {"--maximized", false,
     [](WindowDesc& w, const char*) {
         w.show = SW_SHOWMAXIMIZED;
         return true;
     }},
    {"--noactivate", false,
     [](WindowDesc& w, const char*) {
         w.show = SW_SHOWNOACTIVATE;
         return true;
     }},
    {"--hidden", false,
     [](WindowDesc& w, const char*) {
         w.show = SW_HIDE;
         return true;
     }},
    {"--nominbox", false,
     [](WindowDesc& w, const char*) {
         w.style &= ~WS_MINIMIZEBOX;
         return true;
     }},
    {"--children", true,
     [](WindowDesc& w, const char* a) {
         w.children = a;
         return w.children == "firefox" || w.children == "chrome";
     }},
    {"--nosysmenu", false,
     [](WindowDesc& w, const char*) {
         w.style &= ~WS_SYSMENU;
         return true;
     }},
};

int g_liveWindows = 0;
bool g_hold = false;
DWORD g_busyMs = 0;  // kHelperStartBusy
const UINT_PTR kBusyTimer = 77;
UINT g_churnMs = 0;

void Paint(HWND hwnd, HDC dc)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    kv::PaintPattern(dc, rc, static_cast<int>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)));
}

// Notes an F5 key-down where another process can read it.
void RecordKey(HWND hwnd, WPARAM key)
{
    if (key != VK_F5)
        return;
    const UINT_PTR count = reinterpret_cast<UINT_PTR>(GetPropA(hwnd, kv::kF5CountProp)) + 1;
    const UINT_PTR now = GetTickCount();
    SetPropA(hwnd, kv::kF5CountProp, reinterpret_cast<HANDLE>(count));
    if (count == 1)
        SetPropA(hwnd, kv::kF5FirstProp, reinterpret_cast<HANDLE>(now));
    SetPropA(hwnd, kv::kF5LastProp, reinterpret_cast<HANDLE>(now));
    SetPropA(hwnd, kv::kF5EnabledProp,
             reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(IsWindowEnabled(GetAncestor(hwnd, GA_ROOT)) ? 2 : 1)));
}

LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_KEYDOWN)
        RecordKey(hwnd, wp);
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND MakeChild(HWND parent, const char* className)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ChildProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    RECT rc;
    GetClientRect(parent, &rc);
    return CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE, 0, 0, rc.right / 2, rc.bottom / 2, parent, nullptr,
                           wc.hInstance, nullptr);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
        case WM_KEYDOWN:
            RecordKey(hwnd, wp);
            // A style change of its own, which whoever writes its style around the key must keep.
            if (wp == VK_F5)
                SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) ^ kv::kF5StyleFlip);
            break;
        case WM_NCCREATE: {
            auto* desc = static_cast<const WindowDesc*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, desc->pattern);
            break;
        }
        case WM_ERASEBKGND:
            Paint(hwnd, reinterpret_cast<HDC>(wp));
            return 1;
        case WM_PRINTCLIENT:
            Paint(hwnd, reinterpret_cast<HDC>(wp));
            return 0;
        case WM_PAINT: {
            // Counted where another process can read it.
            const UINT_PTR paints = reinterpret_cast<UINT_PTR>(GetPropA(hwnd, kv::kPaintCountProp));
            SetPropA(hwnd, kv::kPaintCountProp, reinterpret_cast<HANDLE>(paints + 1));
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            Paint(hwnd, dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case kv::kHelperHang: {
            HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kv::kHelperRelease);
            WaitForSingleObject(release, static_cast<DWORD>(wp));
            if (release)
                CloseHandle(release);
            return 0;
        }
        case WM_NULL:
            SetPropA(hwnd, kv::kQuestionCountProp,
                     reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(GetPropA(hwnd, kv::kQuestionCountProp)) + 1));
            if (RemovePropA(hwnd, kv::kHelperHangOnNullProp)) {
                HANDLE release = CreateEventA(nullptr, TRUE, FALSE, kv::kHelperRelease);
                SetPropA(hwnd, kv::kHelperHungProp, reinterpret_cast<HANDLE>(1));
                WaitForSingleObject(release, 30000);
                RemovePropA(hwnd, kv::kHelperHungProp);
                const DWORD sentOnly =
                    static_cast<DWORD>(reinterpret_cast<UINT_PTR>(RemovePropA(hwnd, kv::kHelperSentOnlyProp)));
                for (const DWORD start = GetTickCount(); GetTickCount() - start < sentOnly;) {
                    MsgWaitForMultipleObjects(0, nullptr, FALSE, sentOnly - (GetTickCount() - start), QS_SENDMESSAGE);
                    MSG m;
                    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
                }
                if (release)
                    CloseHandle(release);
            }
            return 0;
        case kv::kHelperStartBusy:
            g_busyMs = static_cast<DWORD>(wp);
            SetTimer(hwnd, kBusyTimer, 1, nullptr);
            SetPropA(hwnd, kv::kHelperBusyProp, reinterpret_cast<HANDLE>(1));
            return 0;
        case WM_TIMER:
            if (wp != kBusyTimer)
                break;
            Sleep(g_busyMs);  // the timer comes again once the queue is empty: busy most of the time
            return 0;
        case WM_DESTROY:
            RemovePropA(hwnd, kv::kPaintCountProp);
            RemovePropA(hwnd, kv::kQuestionCountProp);
            for (const char* p : {kv::kF5CountProp, kv::kF5FirstProp, kv::kF5LastProp, kv::kF5EnabledProp})
                RemovePropA(hwnd, p);
            if (--g_liveWindows == 0 && !g_hold)
                PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND Open(const WindowDesc& w)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.lpszClassName = w.className.c_str();
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return nullptr;

    HWND hwnd = CreateWindowExA(w.exStyle, w.className.c_str(), w.title.c_str(), w.style, w.x, w.y, w.cx, w.cy, nullptr,
                                nullptr, wc.hInstance, const_cast<WindowDesc*>(&w));
    if (!hwnd)
        return nullptr;
    ++g_liveWindows;
    if (w.children == "firefox") {
        MakeChild(hwnd, "MozillaWindowClass");
    } else if (w.children == "chrome") {
        MakeChild(MakeChild(hwnd, "Chrome_ContainerWin_0"), "Chrome_RenderWidgetHostHWND");
    }
    if (w.alpha >= 0)
        SetLayeredWindowAttributes(hwnd, 0, static_cast<BYTE>(w.alpha), LWA_ALPHA);
    ShowWindow(hwnd, w.show);
    // WS_MINIMIZE set here makes the window iconic in place: its normal and current rectangles stay its own.
    if (w.lateStyle)
        SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) | w.lateStyle);
    UpdateWindow(hwnd);
    return hwnd;
}

// --churn: the oldest window gives way to a new one of the same description, titled afresh.
std::vector<WindowDesc> g_descs;
std::vector<HWND> g_open;  // oldest first
size_t g_next = 0;
int g_churned = 0;

void CALLBACK Churn(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_descs.empty())
        return;
    WindowDesc w = g_descs[g_next++ % g_descs.size()];
    w.title += " #" + std::to_string(++g_churned);
    if (HWND hwnd = Open(w))
        g_open.push_back(hwnd);
    if (g_open.size() > g_descs.size()) {
        DestroyWindow(g_open.front());
        g_open.erase(g_open.begin());
    }
}

bool ParseCommandLine(int argc, char** argv, std::vector<WindowDesc>* windows)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!strcmp(arg, "--hold")) {
            g_hold = true;
            continue;
        }
        if (!strcmp(arg, "--churn") && i + 1 < argc) {
            g_churnMs = static_cast<UINT>(atoi(argv[++i]));
            continue;
        }
        if (!strcmp(arg, "--window")) {
            windows->emplace_back();
            continue;
        }
        const Option* opt = nullptr;
        for (const Option& o : kOptions) {
            if (!strcmp(arg, o.name))
                opt = &o;
        }
        if (!opt || (opt->takesArg && i + 1 >= argc))
            return false;
        if (windows->empty())
            windows->emplace_back();
        if (!opt->apply(windows->back(), opt->takesArg ? argv[++i] : nullptr))
            return false;
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::vector<WindowDesc> windows;
    if (!ParseCommandLine(__argc, __argv, &windows))
        return 2;
    if (windows.empty() && !g_hold)
        return 0;
    for (const WindowDesc& w : windows) {
        HWND hwnd = Open(w);
        if (!hwnd)
            return 3;
        g_open.push_back(hwnd);
    }
    if (g_churnMs) {
        g_descs = windows;
        SetTimer(nullptr, 0, g_churnMs, &Churn);
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
