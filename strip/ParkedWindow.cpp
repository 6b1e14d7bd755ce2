#include "strip/ParkedWindow.h"

#include "desktop/TaskBarControl.h"
#include "framework/Handle.h"
#include "framework/Thread.h"
#include "framework/Trace.h"
#include "strip/ParkedPlacement.h"
#include "strip/ParkingMath.h"
#include "strip/PlacementMath.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace {

const char kMarker[] = "Kestrova.Parked";       // the parking method; set last, removed first
const char kCheck[] = "Kestrova.Parked.Check";  // agrees with the values only in a whole mark of ours
// Put back minimised from the maximised state: another process's placement does not say so under Wine,
// and a later run that parks the window again must know it.
const char kRestoresMaximised[] = "Kestrova.RestoresMaximised";

// Every value of the mark, in the order it is written.
const char* const kFieldNames[] = {
    "Kestrova.Parked.Style",   "Kestrova.Parked.ExStyle", "Kestrova.Parked.Key",  "Kestrova.Parked.Alpha",
    "Kestrova.Parked.Layered", "Kestrova.Parked.Flags",   "Kestrova.Parked.Left", "Kestrova.Parked.Top",
    "Kestrova.Parked.Right",   "Kestrova.Parked.Bottom",  "Kestrova.Parked.MaxX", "Kestrova.Parked.MaxY",
};
const int kFieldCount = sizeof(kFieldNames) / sizeof(kFieldNames[0]);

void FieldsOf(const ParkedState& s, LONG_PTR (&values)[kFieldCount])
{
    const RECT& n = s.placement.rcNormalPosition;
    const LONG_PTR all[kFieldCount] = {
        static_cast<LONG_PTR>(static_cast<UINT_PTR>(s.style)),
        static_cast<LONG_PTR>(static_cast<UINT_PTR>(s.exStyle)),
        static_cast<LONG_PTR>(s.key),
        s.alpha,
        static_cast<LONG_PTR>(s.layeredFlags),
        static_cast<LONG_PTR>(s.placement.flags),
        n.left,
        n.top,
        n.right,
        n.bottom,
        s.placement.ptMaxPosition.x,
        s.placement.ptMaxPosition.y,
    };
    for (int i = 0; i < kFieldCount; ++i)
        values[i] = all[i];
}

DWORD StyleOf(HWND hwnd, int index)
{
    return static_cast<DWORD>(::GetWindowLongPtrA(hwnd, index));
}

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

// Put-backs whose window has not taken all of it yet; their threads may outlive the caller's wait.
// Never destroyed: a put-back's thread may still end while the program's statics go.
std::mutex& g_pendingLock = *new std::mutex;
std::set<HWND>& g_pending = *new std::set<HWND>;

// The put-backs started while the exit puts every window back together, each with its end event.
int g_togetherDepth = 0;
std::vector<std::shared_ptr<void>> g_together;

// The exit's first step for parks abandoned inside a write (below).
void PutBackAbandonedParksAtOnce();

void SetPending(HWND hwnd, bool pending)
{
    std::lock_guard<std::mutex> lock(g_pendingLock);
    if (pending)
        g_pending.insert(hwnd);
    else
        g_pending.erase(hwnd);
}

// Polls until hwnd is minimised (or restored, for restored) or gone; false at the deadline.
bool WaitShowState(HWND hwnd, bool minimised, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (!::IsWindow(hwnd) || (::IsIconic(hwnd) != FALSE) == minimised)
            return ::IsWindow(hwnd) != FALSE;
        if (::GetTickCount() - start >= timeoutMs)
            return false;
        ::Sleep(20);
    }
}

// The road that needs no wait for the window's thread: what the system does without it happens now,
// moved and shown asynchronously; every write that waits for the thread goes from a thread of its own,
// all of them at once. A write already waiting is still taken by the window after this process has
// ended. The mark goes only once the window is minimised (restored, for restored) with its styles,
// so a run killed at any moment leaves it for the next start to finish. Returns the event set when
// all is done or given up.
std::shared_ptr<void> PutBackWithoutWaiting(HWND hwnd, const ParkedState& state, bool restored)
{
    SetPending(hwnd, true);
    if (state.exStyle & WS_EX_LAYERED)
        ::SetLayeredWindowAttributes(hwnd, state.key, state.alpha, state.layeredFlags);
    else
        ::SetLayeredWindowAttributes(hwnd, 0, 255, LWA_ALPHA);
    // A minimised window keeps its restore position whatever its own rectangle. Minimised where it was
    // parked, that is the parked one: it is restored first (in its turn, when it answers) to be moved back.
    if (state.method == kParkedOffScreen) {
        if (::IsIconic(hwnd))
            ::ShowWindowAsync(hwnd, SW_SHOWNOACTIVATE);
        const RECT& n = state.placement.rcNormalPosition;
        const RECT r = WorkspaceToScreen(n, WorkspaceOffset(hwnd, n));
        ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    }
    // Minimised from the maximised state, it restores maximised: the style bit first.
    const bool maximisedFirst = !restored && (state.placement.flags & WPF_RESTORETOMAXIMIZED) && !::IsIconic(hwnd);
    const int show = restored ? SW_SHOWNOACTIVATE : SW_SHOWMINNOACTIVE;
    if (!maximisedFirst)
        ::ShowWindowAsync(hwnd, show);
    struct Pending {
        CManualEvent started[3];
        CManualEvent done;
        std::atomic<int> writes{3};
    };
    auto pending = std::make_shared<Pending>();
    try {
        auto finish = [hwnd, restored, pending] {
            if (--pending->writes != 0)
                return;
            if (WaitShowState(hwnd, !restored, 10000))
                RemoveParkedMark(hwnd);
            SetPending(hwnd, false);
            ::SetEvent(pending->done.h.Get());
        };
        StartDetached([hwnd, state, show, maximisedFirst, pending, finish] {
            ::SetEvent(pending->started[0].h.Get());
            if (maximisedFirst) {
                // Its own style, not the one read now: that would undo the enable on the thread beside.
                SetStyle(hwnd, GWL_STYLE, (state.style & ~WS_MINIMIZE) | WS_MAXIMIZE);
                ::ShowWindowAsync(hwnd, show);
            }
            finish();
        });
        StartDetached([hwnd, state, pending, finish] {
            ::SetEvent(pending->started[1].h.Get());
            // Under Wine EnableWindow on another process's window waits for its thread.
            if (!(state.style & WS_DISABLED))
                ::EnableWindow(hwnd, TRUE);
            finish();
        });
        StartDetached([hwnd, state, pending, finish] {
            ::SetEvent(pending->started[2].h.Get());
            SetStyle(hwnd, GWL_EXSTYLE, state.exStyle);
            if (state.exStyle & WS_EX_LAYERED)
                ::SetLayeredWindowAttributes(hwnd, state.key, state.alpha, state.layeredFlags);
            finish();
        });
        HANDLE started[3] = {pending->started[0].h.Get(), pending->started[1].h.Get(), pending->started[2].h.Get()};
        ::WaitForMultipleObjects(3, started, TRUE, 1000);
    } catch (...) {
        // No thread: the mark stays, and the next run puts the window back.
        ::SetEvent(pending->done.h.Get());
    }
    return std::shared_ptr<void>(pending, pending->done.h.Get());
}

// What a put-back writes: the saved state with the window's own later layering, where a monitor shows it.
ParkedState PreparePutBack(HWND hwnd, const ParkedState& saved);

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

bool IsMarkedParked(HWND hwnd)
{
    return ::GetPropA(hwnd, kMarker) != nullptr;
}

bool ReadParkedMark(HWND hwnd, ParkedState* state)
{
    const LONG_PTR method = reinterpret_cast<LONG_PTR>(::GetPropA(hwnd, kMarker));
    if (method != kParkedOffScreen && method != kParkedInPlace)
        return false;
    LONG_PTR v[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i)
        v[i] = reinterpret_cast<LONG_PTR>(::GetPropA(hwnd, kFieldNames[i]));
    if (reinterpret_cast<LONG_PTR>(::GetPropA(hwnd, kCheck)) !=
        ParkedMarkCheck(static_cast<int>(method), v, kFieldCount))
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

bool WindowAnswers(HWND hwnd, DWORD timeoutMs)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
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

bool PutBackPending(HWND hwnd)
{
    std::lock_guard<std::mutex> lock(g_pendingLock);
    return g_pending.count(hwnd) != 0;
}

PutBackTogether::PutBackTogether(DWORD deadlineMs) : m_deadlineMs(deadlineMs)
{
    if (++g_togetherDepth == 1)
        PutBackAbandonedParksAtOnce();
}

PutBackTogether::~PutBackTogether()
{
    if (--g_togetherDepth > 0)
        return;
    std::vector<std::shared_ptr<void>> started;
    started.swap(g_together);
    std::vector<HANDLE> events;
    for (const std::shared_ptr<void>& done : started)
        events.push_back(static_cast<HANDLE>(done.get()));
    WaitPumpingSent(events, m_deadlineMs);
}

bool PuttingBackTogether()
{
    return g_togetherDepth > 0;
}

bool PutBackParkedWindow(HWND hwnd, const ParkedState& saved, bool answers, bool restored)
{
    if (!::IsWindow(hwnd))
        return true;
    if (PutBackPending(hwnd))
        return false;  // once is enough: a second one would start from where the first left it
    const ParkedState state = PreparePutBack(hwnd, saved);
    if (PuttingBackTogether()) {
        try {
            g_together.push_back(PutBackWithoutWaiting(hwnd, state, restored));
        } catch (...) {
            // Not waited for: the exit goes on, and the mark is there for the next start.
        }
        return false;
    }
    if (!answers) {
        PutBackWithoutWaiting(hwnd, state, false);
        return false;
    }
    WINDOWPLACEMENT placement = state.placement;
    placement.showCmd = SW_SHOWMINNOACTIVE;  // minimised, not activated
    // A window that stops answering on the way gets the rest without a wait for it.
    if (state.method == kParkedInPlace) {
        if (!SendWithTimeout(hwnd, WM_SETREDRAW, FALSE, 0) || !Minimise(hwnd, placement)) {
            ::SendNotifyMessageA(hwnd, WM_SETREDRAW, TRUE, 0);  // after the one it has not taken yet
            PutBackWithoutWaiting(hwnd, state, false);
            return false;
        }
        ::Sleep(200);
        ::SetWindowPlacement(hwnd, &placement);
        if (!SendWithTimeout(hwnd, WM_SETREDRAW, TRUE, 0)) {
            PutBackWithoutWaiting(hwnd, state, false);
            return false;
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
            PutBackWithoutWaiting(hwnd, state, false);
            return false;
        }
        ::SetWindowPlacement(hwnd, &placement);
    }
    WriteBackStyles(hwnd, state);
    // Not minimised after all: the mark stays, for the next start to finish the put-back.
    if (::IsIconic(hwnd))
        RemoveParkedMark(hwnd);
    return true;
}

namespace {

ParkedState PreparePutBack(HWND hwnd, const ParkedState& saved)
{
    const WindowNow now = ReadWindowNow(hwnd);
    const ParkedState state = SafeStateToPutBack(MergeOwnLayering(saved, now), true, now, CurrentMonitors());
    if (state.placement.flags & WPF_RESTORETOMAXIMIZED)
        ::SetPropA(hwnd, kRestoresMaximised, reinterpret_cast<HANDLE>(1));
    return state;
}

}  // namespace

struct ParkInBackground::Shared {
    HWND hwnd = nullptr;
    bool normalUnknown = false;
    CManualEvent progress;  // set after each write
    CManualEvent done;      // the park has ended, and the put-back after an abandon has been started
    std::mutex lock;
    ParkedState state = {};
    ParkOutcome outcome = kParkGoesOn;
    bool abandoned = false;
    // How far the writes got: something written, the show asked for, the redraw turned off.
    bool written = false;
    bool showing = false;
    bool redrawOff = false;
    bool putBackStarted = false;
};

namespace {

using Shared = ParkInBackground::Shared;

// Abandoned parks whose windows are not back yet: the exit puts back any whose write is still under way.
std::vector<std::weak_ptr<Shared>> g_abandoned;

// Puts back what an abandoned park wrote, without a wait; park.lock is held. A window never shown
// has nothing to move back, and its normal position may be the iconic rectangle: put back as in place.
std::shared_ptr<void> PutBackAbandoned(Shared& park)
{
    park.putBackStarted = true;
    ParkedState state = park.state;
    if (!park.showing)
        state.method = kParkedInPlace;
    if (park.redrawOff)
        ::SendNotifyMessageA(park.hwnd, WM_SETREDRAW, TRUE, 0);  // after the one it has not taken yet
    MarkParked(park.hwnd, state);
    return PutBackWithoutWaiting(park.hwnd, PreparePutBack(park.hwnd, state), false);
}

// A write has returned: false once the park was abandoned, and no further write may go.
bool GoOn(Shared& park)
{
    ::SetEvent(park.progress.h.Get());
    std::lock_guard<std::mutex> lock(park.lock);
    park.written = true;
    return !park.abandoned;
}

// Notes the write about to go: false, and nothing noted, once the park was abandoned.
bool NoteBefore(Shared& park, bool Shared::*step)
{
    std::lock_guard<std::mutex> lock(park.lock);
    if (park.abandoned)
        return false;
    park.*step = true;
    return true;
}

void EndPark(Shared& park, ParkOutcome outcome)
{
    std::shared_ptr<void> putBack;
    {
        std::lock_guard<std::mutex> lock(park.lock);
        park.outcome = outcome;
        if (park.abandoned && !park.putBackStarted) {
            if (park.written && (outcome == kParked || outcome == kParkGoesOn))
                putBack = PutBackAbandoned(park);
            else
                SetPending(park.hwnd, false);  // nothing of the park is left to put back
        }
    }
    if (putBack)
        ::WaitForSingleObject(static_cast<HANDLE>(putBack.get()), 10000);
    ::SetEvent(park.done.h.Get());
}

// The writes in their order, each followed by a look at whether the park was abandoned meanwhile.
ParkOutcome ParkWrites(Shared& park)
{
    HWND hwnd = park.hwnd;
    if (!WindowAnswers(hwnd))
        return kParkNoAnswer;
    const DWORD style = StyleOf(hwnd, GWL_STYLE);
    const DWORD exStyle = StyleOf(hwnd, GWL_EXSTYLE);
    // A window the user has restored meanwhile is left alone: disabled, nothing would enable it.
    if (!(style & WS_MINIMIZE) || !::IsIconic(hwnd))
        return kParkNotMinimised;
    ParkedState state;
    {
        std::lock_guard<std::mutex> lock(park.lock);
        if (park.abandoned)
            return kParkNotMinimised;  // nothing written
        state = park.state;
    }
    MarkParked(hwnd, state);
    SetStyle(hwnd, GWL_STYLE, style | WS_DISABLED);
    if (!GoOn(park))
        return kParkGoesOn;
    SetStyle(hwnd, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    if (!GoOn(park))
        return kParkGoesOn;
    ::SetLayeredWindowAttributes(hwnd, 0, 0, LWA_ALPHA);
    if (!NoteBefore(park, &Shared::redrawOff))
        return kParkGoesOn;
    if (!SendWithTimeout(hwnd, WM_SETREDRAW, FALSE, 0)) {
        // It stopped answering after the question: not parked. Still minimised where the user left it,
        // it gets back what was written without a wait for it, and redraws once it takes both messages.
        std::lock_guard<std::mutex> lock(park.lock);
        if (!park.putBackStarted)
            PutBackAbandoned(park);
        return kParkNoAnswer;
    }
    if (!NoteBefore(park, &Shared::showing))
        return kParkGoesOn;
    // Not activated: an invisible, disabled window would take the user's keystrokes.
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    if (!GoOn(park))
        return kParkGoesOn;
    if (::IsIconic(hwnd)) {
        // It refuses to open (WM_QUERYOPEN): not parked, and as it was.
        SendWithTimeout(hwnd, WM_SETREDRAW, TRUE, 0);
        WriteBackStyles(hwnd, state);
        RemoveParkedMark(hwnd);
        std::lock_guard<std::mutex> lock(park.lock);
        park.written = false;  // nothing left to put back
        return kParkRefused;
    }
    if (park.normalUnknown) {
        RECT restored;
        if (::GetWindowRect(hwnd, &restored) && !IsMinimisedRect(restored))
            state.placement.rcNormalPosition = ScreenToWorkspace(restored, WorkspaceOffset(hwnd, restored));
        MarkParked(hwnd, state);
        std::lock_guard<std::mutex> lock(park.lock);
        park.state = state;
    }
    if (state.method == kParkedOffScreen) {
        const RECT& normal = state.placement.rcNormalPosition;
        AfxTrace("top=%d, bottom=%d, left=%d, right=%d\n", static_cast<int>(normal.top),
                 static_cast<int>(normal.bottom), static_cast<int>(normal.left), static_cast<int>(normal.right));
        const POINT at = ParkedPosition(WorkspaceToScreen(normal, WorkspaceOffset(hwnd, normal)));
        ::SetWindowPos(hwnd, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        if (!GoOn(park))
            return kParkGoesOn;
        // Opaque again off the screen, with its own layered look if it had one.
        SetStyle(hwnd, GWL_EXSTYLE, state.exStyle);
        if (!GoOn(park))
            return kParkGoesOn;
        if (state.exStyle & WS_EX_LAYERED)
            ::SetLayeredWindowAttributes(hwnd, state.key, state.alpha, state.layeredFlags);
    }
    SendWithTimeout(hwnd, WM_SETREDRAW, TRUE, 0);
    std::lock_guard<std::mutex> lock(park.lock);
    park.redrawOff = false;
    return kParked;
}

void RunPark(Shared& park)
{
    ParkOutcome outcome = kParkGoesOn;
    try {
        outcome = ParkWrites(park);
    } catch (...) {
        // Whatever was written goes back, as if abandoned.
        std::lock_guard<std::mutex> lock(park.lock);
        park.abandoned = true;
    }
    EndPark(park, outcome);
}

}  // namespace

ParkInBackground::ParkInBackground(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}

ParkInBackground::~ParkInBackground() = default;

std::shared_ptr<ParkInBackground> ParkInBackground::Start(HWND hwnd, const ParkedState& state, bool normalUnknown)
{
    auto shared = std::make_shared<Shared>();
    shared->hwnd = hwnd;
    shared->state = state;
    shared->normalUnknown = normalUnknown;
    std::shared_ptr<ParkInBackground> park(new ParkInBackground(shared));
    StartDetached([shared] { RunPark(*shared); });
    return park;
}

bool ParkInBackground::Wait(DWORD stallMs)
{
    const HANDLE events[2] = {m_shared->done.h.Get(), m_shared->progress.h.Get()};
    for (;;) {
        const DWORD woke = ::MsgWaitForMultipleObjects(2, events, FALSE, stallMs, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke == WAIT_OBJECT_0 + 2) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        if (woke != WAIT_OBJECT_0 + 1)
            return ::WaitForSingleObject(events[0], 0) == WAIT_OBJECT_0;
        ::ResetEvent(events[1]);
    }
}

ParkOutcome ParkInBackground::Outcome() const
{
    if (::WaitForSingleObject(m_shared->done.h.Get(), 0) != WAIT_OBJECT_0)
        return kParkGoesOn;
    std::lock_guard<std::mutex> lock(m_shared->lock);
    return m_shared->outcome;
}

ParkedState ParkInBackground::State() const
{
    std::lock_guard<std::mutex> lock(m_shared->lock);
    return m_shared->state;
}

void ParkInBackground::Abandon()
{
    bool parked = false;
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        if (m_shared->abandoned)
            return;
        m_shared->abandoned = true;
        parked = m_shared->outcome == kParked;
        // Until its writes stop, no other park or recovery may start on the window.
        if (!parked && m_shared->outcome == kParkGoesOn)
            SetPending(m_shared->hwnd, true);
    }
    // Ended before the abandon: put back here, like any parked window.
    if (parked) {
        PutBackParkedWindow(m_shared->hwnd, State(), false);
        return;
    }
    try {
        g_abandoned.erase(std::remove_if(g_abandoned.begin(), g_abandoned.end(),
                                         [](const std::weak_ptr<Shared>& p) { return p.expired(); }),
                          g_abandoned.end());
        g_abandoned.push_back(m_shared);
    } catch (...) {
        // Not kept for the exit: the park's own thread still puts the window back.
    }
    if (PuttingBackTogether())
        PutBackAbandonedParksAtOnce();
}

namespace {

// The exit: the park's thread ends with the process, so a park still inside a write gets the rest of
// its put-back now, queued behind that write, with the whole of the exit's wait for it to be taken.
// Its thread writes nothing more once the write under way returns.
void PutBackAbandonedParksAtOnce()
{
    std::vector<std::weak_ptr<Shared>> abandoned;
    abandoned.swap(g_abandoned);
    for (const std::weak_ptr<Shared>& weak : abandoned) {
        const std::shared_ptr<Shared> park = weak.lock();
        if (!park)
            continue;
        std::lock_guard<std::mutex> lock(park->lock);
        if (park->putBackStarted || park->outcome != kParkGoesOn)
            continue;
        const std::shared_ptr<void> done = PutBackAbandoned(*park);
        try {
            g_together.push_back(done);
        } catch (...) {
            // Not waited for: its writes are on their way all the same.
        }
    }
}

}  // namespace

bool RestoresMaximised(HWND hwnd)
{
    return ::GetPropA(hwnd, kRestoresMaximised) != nullptr;
}

void ForgetRestoresMaximised(HWND hwnd)
{
    ::RemovePropA(hwnd, kRestoresMaximised);
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
