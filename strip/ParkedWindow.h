#pragma once
// A parked window carries, in window properties, what putting it back needs, so that a later run
// can put it back after this one was killed. Putting back, and the recovery at start-up.
#include <windows.h>

#include <memory>

enum ParkingMethod {
    kParkedOffScreen = 1,  // restored, disabled, moved by kParkOffset
    kParkedInPlace = 2,    // restored, disabled, layered at alpha 0 where it is
};

// What a window had before it was parked.
struct ParkedState {
    int method;
    DWORD style;  // without WS_MINIMIZE
    DWORD exStyle;
    COLORREF key;  // its own layered attributes, put back when exStyle has WS_EX_LAYERED
    BYTE alpha;
    DWORD layeredFlags;
    WINDOWPLACEMENT placement;  // rcNormalPosition in workspace coordinates
};

// The mark: every value first, then a check over them, the marker itself last. Read back only when
// it is whole and its check agrees; a window may carry a marker alone (a forged or partial mark).
void MarkParked(HWND hwnd, const ParkedState& state);
bool ReadParkedMark(HWND hwnd, ParkedState* state);
bool IsMarkedParked(HWND hwnd);
void RemoveParkedMark(HWND hwnd);
// What a marked window goes back with: its mark's values when the mark is sound, else what it has
// now; either way visible, enabled unless it was so itself, opaque and where a monitor shows it.
ParkedState StateToPutBack(HWND hwnd);

// Workspace coordinates (WINDOWPLACEMENT) are screen coordinates less the offset of the work area
// within its monitor, a taskbar at the top or left; a tool window's are screen coordinates.
RECT WorkspaceToScreen(const RECT& workspace, POINT workOffset);
RECT ScreenToWorkspace(const RECT& screen, POINT workOffset);
// The offset for hwnd's workspace coordinates of a rectangle near r (screen or workspace).
POINT WorkspaceOffset(HWND hwnd, const RECT& r);

// Asks the window whether it answers, timeoutMs at most.
bool WindowAnswers(HWND hwnd, DWORD timeoutMs = 1000);

// Puts a parked window back: minimised (restored, for restored), with its own styles, layered
// attributes and normal position, and the mark removed once it is wholly back. A window that does not
// answer, and every window while a PutBackTogether lives, gets at once only what needs no wait for its
// thread (opaque, moved and shown asynchronously); threads of their own write its styles back and
// remove the mark once it has taken them. restored is honoured on that road only. TRUE when the
// window is back; FALSE while its put-back goes on, or one already did.
bool PutBackParkedWindow(HWND hwnd, const ParkedState& state, bool answers, bool restored = false);
bool PutBackPending(HWND hwnd);

// The exit: while one lives, put-backs wait for nothing; its end waits for all of them together,
// deadlineMs at most.
class PutBackTogether {
public:
    explicit PutBackTogether(DWORD deadlineMs);
    ~PutBackTogether();
    PutBackTogether(const PutBackTogether&) = delete;
    PutBackTogether& operator=(const PutBackTogether&) = delete;

private:
    DWORD m_deadlineMs;
};
bool PuttingBackTogether();

// Parking a minimised window: the question and every write go, in order, from a thread of their own,
// so that a window that answers only between long works holds up that thread, not the program.
enum ParkOutcome {
    kParkGoesOn,        // the writes go on
    kParked,            // shown, disabled, and off the screen or invisible in place
    kParkNoAnswer,      // it did not answer: what was written goes back without a wait for it
    kParkNotMinimised,  // restored meanwhile: nothing written
    kParkRefused,       // it would not open: as it was
};

class ParkInBackground {
public:
    // state: what it goes back with (method, styles, placement); normalUnknown: its normal position is
    // the rectangle it is shown at. Throws when no thread can be started.
    static std::shared_ptr<ParkInBackground> Start(HWND hwnd, const ParkedState& state, bool normalUnknown);
    ~ParkInBackground();
    ParkInBackground(const ParkInBackground&) = delete;
    ParkInBackground& operator=(const ParkInBackground&) = delete;

    // Waits while the writes go on, as long as each takes less than stallMs, letting in what is sent
    // to this thread (the window may be one of its own); true once they have ended.
    bool Wait(DWORD stallMs);
    ParkOutcome Outcome() const;
    // Once parked: what it goes back with, its normal position read when it was unknown.
    ParkedState State() const;
    // Its thumbnail goes: the window is put back without a wait, once the write under way returns
    // when the park has not ended; the exit's one wait for all put-backs includes it.
    void Abandon();

    struct Shared;

private:
    explicit ParkInBackground(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> m_shared;
};

// A window put back minimised from the maximised state keeps a note of it until it is seen restored.
bool RestoresMaximised(HWND hwnd);
void ForgetRestoresMaximised(HWND hwnd);

// The style to write back: the saved style with the minimised and maximised bits the window has now.
DWORD StyleToWriteBack(DWORD saved, DWORD current);
void WriteBackStyles(HWND hwnd, const ParkedState& state);

// Start-up: puts back every top-level window that a killed run left parked; returns how many.
int RecoverParkedWindows();
