#include "strip/ParkedWindow.h"

#include "desktop/TaskBarControl.h"
#include "strip/ParkedPlacement.h"
#include "framework/Trace.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

const char kMarker[] = "Kestrova.Parked";  // the parking method; set last, removed first
const char kCheck[] = "Kestrova.Parked.Check";  // agrees with the values only in a whole mark of ours

// Every value of the mark, in the order it is written.
const char* const kFieldNames[] = {
    "Kestrova.Parked.Style",  "Kestrova.Parked.ExStyle", "Kestrova.Parked.Key",  "Kestrova.Parked.Alpha",
    "Kestrova.Parked.Layered", "Kestrova.Parked.Flags",  "Kestrova.Parked.Left", "Kestrova.Parked.Top",
    "Kestrova.Parked.Right",  "Kestrova.Parked.Bottom",  "Kestrova.Parked.MaxX", "Kestrova.Parked.MaxY",
};
const int kFieldCount = sizeof(kFieldNames) / sizeof(kFieldNames[0]);

void FieldsOf(const ParkedState& s, LONG_PTR (&values)[kFieldCount])
{
    const RECT& n = s.placement.rcNormalPosition;
    const LONG_PTR all[kFieldCount] = {
        static_cast<LONG_PTR>(static_cast<UINT_PTR>(s.style)), static_cast<LONG_PTR>(static_cast<UINT_PTR>(s.exStyle)),
        static_cast<LONG_PTR>(s.key), s.alpha, static_cast<LONG_PTR>(s.layeredFlags),
        static_cast<LONG_PTR>(s.placement.flags), n.left, n.top, n.right, n.bottom,
        s.placement.ptMaxPosition.x, s.placement.ptMaxPosition.y,
    };
    for (int i = 0; i < kFieldCount; ++i)
        values[i] = all[i];
}

DWORD StyleOf(HWND hwnd, int index) { return static_cast<DWORD>(::GetWindowLongPtrA(hwnd, index)); }

void SetStyle(HWND hwnd, int index, DWORD value)
{
    ::SetWindowLongPtrA(hwnd, index, static_cast<LONG_PTR>(static_cast<LONG>(value)));
}

// FALSE when the window did not answer in time; it still takes the message later.
bool SendWithTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

// Minimised from the maximised state, a window restores maximised: the style bit is enough, and
// it needs neither SetWindowPlacement (Wine refuses it for another process) nor activation.
// FALSE when the window stopped answering on the way: no synchronous write may follow.
bool Minimise(HWND hwnd, const WINDOWPLACEMENT& placement)
{
    if ((placement.flags & WPF_RESTORETOMAXIMIZED) && !::IsIconic(hwnd))
        SetStyle(hwnd, GWL_STYLE, StyleOf(hwnd, GWL_STYLE) | WS_MAXIMIZE);
    if (!SendWithTimeout(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0))
        return false;
    if (::IsIconic(hwnd))
        return true;
    // Wine's default handling ignores system commands to a disabled window. Asynchronous: the source
    // may have stopped answering; the question after it lets the source take it first.
    ::ShowWindowAsync(hwnd, SW_SHOWMINNOACTIVE);
    return WindowAnswers(hwnd);
}

void PutBackHungWindow(HWND hwnd, const ParkedState& state)
{
    // Only what needs no wait for the source's thread happens now.
    if (state.exStyle & WS_EX_LAYERED)
        ::SetLayeredWindowAttributes(hwnd, state.key, state.alpha, state.layeredFlags);
    else
        ::SetLayeredWindowAttributes(hwnd, 0, 255, LWA_ALPHA);
    // A minimised window keeps its restore position whatever its own rectangle: only a restored one moves.
    if (state.method == kParkedOffScreen && !::IsIconic(hwnd)) {
        const RECT& n = state.placement.rcNormalPosition;
        const RECT r = WorkspaceToScreen(n, WorkspaceOffset(hwnd, n));
        ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    }
    ::ShowWindowAsync(hwnd, SW_SHOWMINNOACTIVE);
    // The style writes wait for the source's thread (under Wine EnableWindow too), so each goes from
    // a thread of its own. A write already waiting is still taken by the source after this process
    // has ended; the mark stays until both are done, for a later run to finish.
    struct Pending {
        HANDLE started[2] = {::CreateEventA(nullptr, TRUE, FALSE, nullptr), ::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
        std::atomic<int> writes{2};
        ~Pending()
        {
            for (HANDLE h : started) {
                if (h)
                    ::CloseHandle(h);
            }
        }
    };
    try {
        auto pending = std::make_shared<Pending>();
        auto done = [hwnd, pending] {
            if (--pending->writes == 0)
                RemoveParkedMark(hwnd);
        };
        std::thread([hwnd, state, pending, done] {
            ::SetEvent(pending->started[0]);
            if (!(state.style & WS_DISABLED))
                ::EnableWindow(hwnd, TRUE);
            done();
        }).detach();
        std::thread([hwnd, state, pending, done] {
            ::SetEvent(pending->started[1]);
            SetStyle(hwnd, GWL_EXSTYLE, state.exStyle);
            if (state.exStyle & WS_EX_LAYERED)
                ::SetLayeredWindowAttributes(hwnd, state.key, state.alpha, state.layeredFlags);
            done();
        }).detach();
        ::WaitForMultipleObjects(2, pending->started, TRUE, 1000);
    } catch (...) {
        // No thread: the mark stays, and the next run puts the window back.
    }
}

BOOL CALLBACK CollectMarked(HWND hwnd, LPARAM context)
{
    try {
        if (IsMarkedParked(hwnd))
            reinterpret_cast<std::vector<HWND>*>(context)->push_back(hwnd);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void MarkParked(HWND hwnd, const ParkedState& state)
{
    LONG_PTR values[kFieldCount];
    FieldsOf(state, values);
    for (int i = 0; i < kFieldCount; ++i)
        ::SetPropA(hwnd, kFieldNames[i], reinterpret_cast<HANDLE>(values[i]));
    ::SetPropA(hwnd, kCheck, reinterpret_cast<HANDLE>(ParkedMarkCheck(state.method, values, kFieldCount)));
    ::SetPropA(hwnd, kMarker, reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(state.method)));
}

bool IsMarkedParked(HWND hwnd) { return ::GetPropA(hwnd, kMarker) != nullptr; }

bool ReadParkedMark(HWND hwnd, ParkedState* state)
{
    const LONG_PTR method = reinterpret_cast<LONG_PTR>(::GetPropA(hwnd, kMarker));
    if (method != kParkedOffScreen && method != kParkedInPlace)
        return false;
    LONG_PTR v[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i)
        v[i] = reinterpret_cast<LONG_PTR>(::GetPropA(hwnd, kFieldNames[i]));
    if (reinterpret_cast<LONG_PTR>(::GetPropA(hwnd, kCheck)) != ParkedMarkCheck(static_cast<int>(method), v, kFieldCount))
        return false;  // partial, or not ours
    ParkedState s;
    std::memset(&s, 0, sizeof(s));
    s.method = static_cast<int>(method);
    s.style = static_cast<DWORD>(v[0]);
    s.exStyle = static_cast<DWORD>(v[1]);
    s.key = static_cast<COLORREF>(v[2]);
    s.alpha = static_cast<BYTE>(v[3]);
    s.layeredFlags = static_cast<DWORD>(v[4]);
    s.placement.length = sizeof(s.placement);
    s.placement.flags = static_cast<UINT>(v[5]);
    s.placement.showCmd = SW_SHOWMINIMIZED;
    s.placement.rcNormalPosition = {static_cast<LONG>(v[6]), static_cast<LONG>(v[7]), static_cast<LONG>(v[8]),
                                    static_cast<LONG>(v[9])};
    s.placement.ptMaxPosition = {static_cast<LONG>(v[10]), static_cast<LONG>(v[11])};
    s.placement.ptMinPosition = {-1, -1};
    *state = s;
    return true;
}

void RemoveParkedMark(HWND hwnd)
{
    ::RemovePropA(hwnd, kMarker);
    ::RemovePropA(hwnd, kCheck);
    for (const char* name : kFieldNames)
        ::RemovePropA(hwnd, name);
}

static WindowNow ReadWindowNow(HWND hwnd)
{
    WindowNow now;
    std::memset(&now, 0, sizeof(now));
    now.style = StyleOf(hwnd, GWL_STYLE);
    now.exStyle = StyleOf(hwnd, GWL_EXSTYLE);
    ::GetWindowRect(hwnd, &now.rect);
    if (now.exStyle & WS_EX_LAYERED)
        now.layeredReadable = ::GetLayeredWindowAttributes(hwnd, &now.key, &now.alpha, &now.layeredFlags) != FALSE;
    return now;
}

ParkedState StateToPutBack(HWND hwnd)
{
    ParkedState mark;
    std::memset(&mark, 0, sizeof(mark));
    const bool sound = ReadParkedMark(hwnd, &mark);
    return SafeStateToPutBack(mark, sound, ReadWindowNow(hwnd), CurrentMonitors());
}

RECT WorkspaceToScreen(const RECT& workspace, POINT workOffset)
{
    RECT r = workspace;
    ::OffsetRect(&r, workOffset.x, workOffset.y);
    return r;
}

RECT ScreenToWorkspace(const RECT& screen, POINT workOffset)
{
    RECT r = screen;
    ::OffsetRect(&r, -workOffset.x, -workOffset.y);
    return r;
}

POINT WorkspaceOffset(HWND hwnd, const RECT& r)
{
    if (StyleOf(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        return {0, 0};
    return WorkOffsetNear(CurrentMonitors(), r);
}

bool WindowAnswers(HWND hwnd)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

DWORD StyleToWriteBack(DWORD saved, DWORD current)
{
    const DWORD showState = WS_MINIMIZE | WS_MAXIMIZE;
    return (saved & ~showState) | (current & showState);
}

void WriteBackStyles(HWND hwnd, const ParkedState& state)
{
    SetStyle(hwnd, GWL_STYLE, StyleToWriteBack(state.style, StyleOf(hwnd, GWL_STYLE)));
    SetStyle(hwnd, GWL_EXSTYLE, state.exStyle);
    // Layered again, a window stays invisible until it has its attributes back.
    if (state.exStyle & WS_EX_LAYERED)
        ::SetLayeredWindowAttributes(hwnd, state.key, state.alpha, state.layeredFlags);
}

void PutBackParkedWindow(HWND hwnd, const ParkedState& saved, bool answers)
{
    if (!::IsWindow(hwnd))
        return;
    const WindowNow now = ReadWindowNow(hwnd);
    const ParkedState state = SafeStateToPutBack(MergeOwnLayering(saved, now), true, now, CurrentMonitors());
    if (!answers) {
        PutBackHungWindow(hwnd, state);
        return;
    }
    WINDOWPLACEMENT placement = state.placement;
    placement.showCmd = SW_SHOWMINNOACTIVE;  // minimised, not activated
    // A window that stops answering on the way gets the rest without a wait for it.
    if (state.method == kParkedInPlace) {
        if (!SendWithTimeout(hwnd, WM_SETREDRAW, FALSE, 0) || !Minimise(hwnd, placement)) {
            ::SendNotifyMessageA(hwnd, WM_SETREDRAW, TRUE, 0);  // after the one it has not taken yet
            PutBackHungWindow(hwnd, state);
            return;
        }
        ::Sleep(200);
        ::SetWindowPlacement(hwnd, &placement);
        if (!SendWithTimeout(hwnd, WM_SETREDRAW, TRUE, 0)) {
            PutBackHungWindow(hwnd, state);
            return;
        }
    } else {
        // Invisible while it is minimised.
        SetStyle(hwnd, GWL_EXSTYLE, StyleOf(hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
        ::SetLayeredWindowAttributes(hwnd, 0, 0, LWA_ALPHA);
        // Minimised from its normal position, it keeps that one: Wine refuses SetWindowPlacement on
        // another process's window.
        // Minimised again where it was parked, it is restored first: under Wine a minimised window's
        // restore position can be set only that way.
        if (::IsIconic(hwnd))
            ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        const RECT& n = placement.rcNormalPosition;
        const RECT r = WorkspaceToScreen(n, WorkspaceOffset(hwnd, n));
        ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (!Minimise(hwnd, placement)) {
            PutBackHungWindow(hwnd, state);
            return;
        }
        ::SetWindowPlacement(hwnd, &placement);
    }
    WriteBackStyles(hwnd, state);
    RemoveParkedMark(hwnd);
}

int RecoverParkedWindows()
{
    std::vector<HWND> marked;
    ::EnumWindows(&CollectMarked, reinterpret_cast<LPARAM>(&marked));
    int recovered = 0;
    for (HWND hwnd : marked) {
        if (!::IsWindow(hwnd) || !IsMarkedParked(hwnd))
            continue;
        AfxTrace("RECOVER PARKED WINDOW 0x%08x\n", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(hwnd)));
        PutBackParkedWindow(hwnd, StateToPutBack(hwnd), WindowAnswers(hwnd));
        CTaskBarControl* taskbar = CTaskBarControl::GetInstance();
        if (!taskbar || !taskbar->AddTab(hwnd))
            AfxTrace("タスクバーへの登録でエラーが発生しました\n");
        ++recovered;
    }
    return recovered;
}
