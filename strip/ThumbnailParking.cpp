#include "strip/Thumbnail.h"

#include "desktop/Globals.h"
#include "desktop/MultiDisplay.h"
#include "desktop/TaskBarControl.h"
#include "framework/App.h"
#include "framework/Trace.h"
#include "strip/ParkingMath.h"
#include "strip/PlacementMath.h"
#include "strip/RefreshProbe.h"

#include <cstring>

namespace {

bool InPlaceParking()
{
    const CMultiDisplay* displays = CMultiDisplay::GetInstance();
    return UseInPlaceParking(displays ? displays->m_nMonitorCount : 1, LayeredMode);
}

DWORD StyleOf(HWND hwnd, int index)
{
    return static_cast<DWORD>(::GetWindowLongPtrA(hwnd, index));
}

// FALSE when the source did not answer in time; it still takes the message later.
bool SendToSource(HWND source, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(source, message, wParam, lParam, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

// A source that did not answer is not asked again within this time.
const DWORD kNoAnswerPause = 2000;

// The program waits for a park as long as each of its writes takes less than this.
const DWORD kParkStall = 200;

}  // namespace

bool Cthumbnail::NoAnswerAMomentAgo() const
{
    return m_bNoAnswer && ::GetTickCount() - m_dwNoAnswerTick < kNoAnswerPause;
}

BOOL Cthumbnail::SourceAnswers() const
{
    if (NoAnswerAMomentAgo())
        return FALSE;
    return SourceAnswersNow();
}

BOOL Cthumbnail::SourceAnswersNow() const
{
    RefreshPartTimer timer(&RefreshStepParts::answerCheck);
    m_bNoAnswer = !WindowAnswers(m_hSource);
    m_dwNoAnswerTick = ::GetTickCount();
    return !m_bNoAnswer;
}

ParkedState Cthumbnail::SavedState() const
{
    ParkedState state;
    state.method = InPlaceParking() ? kParkedInPlace : kParkedOffScreen;
    state.style = m_dwSavedStyle;
    state.exStyle = m_dwSavedExStyle;
    state.key = m_crSavedKey;
    state.alpha = m_bySavedAlpha;
    state.layeredFlags = m_dwSavedLayeredFlags;
    state.placement = m_wpSaved;
    return state;
}

void Cthumbnail::SaveStylesAndPlacement()
{
    // A window a killed run left parked: what it had then is its own, not its parked look, and its
    // normal position is the mark's, never where it stands.
    if (IsMarkedParked(m_hSource)) {
        const ParkedState mark = StateToPutBack(m_hSource);
        m_dwSavedStyle = mark.style & ~WS_MINIMIZE;
        m_dwSavedExStyle = mark.exStyle;
        m_crSavedKey = mark.key;
        m_bySavedAlpha = mark.alpha;
        m_dwSavedLayeredFlags = mark.layeredFlags;
        m_wpSaved = mark.placement;
        m_bNormalUnknown = FALSE;
        return;
    }
    const DWORD style = StyleOf(m_hSource, GWL_STYLE);
    if (!(style & WS_MINIMIZE)) {
        m_bSeenMaximised = (style & WS_MAXIMIZE) != 0;
        ForgetRestoresMaximised(m_hSource);
    }
    m_dwSavedStyle = style & ~WS_MINIMIZE;
    m_dwSavedExStyle = StyleOf(m_hSource, GWL_EXSTYLE);
    m_crSavedKey = 0;
    m_bySavedAlpha = 255;
    m_dwSavedLayeredFlags = LWA_ALPHA;
    if (m_dwSavedExStyle & WS_EX_LAYERED) {
        COLORREF key = 0;
        BYTE alpha = 0;
        DWORD flags = 0;
        // Unreadable (a window drawn by UpdateLayeredWindow): opaque is the safe way back.
        if (::GetLayeredWindowAttributes(m_hSource, &key, &alpha, &flags) && flags) {
            m_crSavedKey = key;
            m_bySavedAlpha = alpha;
            m_dwSavedLayeredFlags = flags;
        }
    }

    WINDOWPLACEMENT placement;
    std::memset(&placement, 0, sizeof(placement));
    placement.length = sizeof(placement);
    if (!::GetWindowPlacement(m_hSource, &placement))
        return;
    RECT current = {0, 0, 0, 0};
    ::GetWindowRect(m_hSource, &current);
    const RECT lastSeen = ScreenToWorkspace(m_rcSeenRestored, WorkspaceOffset(m_hSource, m_rcSeenRestored));
    RECT normal;
    m_bNormalUnknown = !TrustedNormalPosition(placement.rcNormalPosition, (style & WS_MINIMIZE) != 0, current,
                                              m_bSeenRestored != FALSE, lastSeen, &normal);
    if (!m_bNormalUnknown)
        placement.rcNormalPosition = normal;
    // Under Wine another process's placement never says so.
    if ((style & WS_MINIMIZE) && (m_bSeenMaximised || RestoresMaximised(m_hSource)))
        placement.flags |= WPF_RESTORETOMAXIMIZED;
    m_wpSaved = placement;
}

void Cthumbnail::WriteBackSourceStyles()
{
    WriteBackStyles(m_hSource, SavedState());
    RemoveParkedMark(m_hSource);
}

void Cthumbnail::SaveSourceState()
{
    if (!::IsWindow(m_hSource))
        return;
    // Left parked by a run that was killed: put back as its own put-back would have done.
    if (IsMarkedParked(m_hSource) && !PutBackPending(m_hSource)) {
        AfxTrace("RECOVER PARKED WINDOW 0x%08x\n", static_cast<unsigned>(reinterpret_cast<UINT_PTR>(m_hSource)));
        PutBackParkedWindow(m_hSource, StateToPutBack(m_hSource), SourceAnswers() != FALSE);
        CTaskBarControl* taskbar = CTaskBarControl::GetInstance();
        if (!taskbar || !taskbar->AddTab(m_hSource))
            AfxMessageBox("タスクバーへの登録でエラーが発生しました", MB_OK);
        if (!::IsWindow(m_hSource))
            return;
    }
    SaveStylesAndPlacement();
}

BOOL Cthumbnail::ParkSourceWindow()
{
    // Not while a put-back of it goes on: it has not yet taken all of its own state back.
    if (!::IsWindow(m_hSource) || PutBackPending(m_hSource))
        return FALSE;
    // One park at a time: an earlier one that has ended since is taken up.
    if (m_pPark)
        return CheckPendingPark();
    SaveStylesAndPlacement();
    // A window the user has restored meanwhile is left alone: disabled, nothing would enable it.
    // One that did not answer a moment ago is not asked again yet.
    if (!::IsIconic(m_hSource) || !(StyleOf(m_hSource, GWL_STYLE) & WS_MINIMIZE) || NoAnswerAMomentAgo())
        return FALSE;
    // Before it shows: the user may bring it to the front the moment it is parked.
    m_bParkedForeground = ::GetForegroundWindow() == m_hSource;
    try {
        m_pPark = ParkInBackground::Start(m_hSource, SavedState(), m_bNormalUnknown != FALSE);
    } catch (...) {
        return FALSE;  // nothing written: tried again at a later step
    }
    // A window that takes each write at once is parked now; a busy one, once the poll finds it ended.
    // The wait lets sent messages in, and one of them may close this thumbnail.
    const std::shared_ptr<ParkInBackground> park = m_pPark;
    if (!park->Wait(kParkStall) || m_pPark != park)
        return FALSE;
    return EndPark();
}

BOOL Cthumbnail::EndPark()
{
    const std::shared_ptr<ParkInBackground> park = std::move(m_pPark);
    switch (park->Outcome()) {
        case kParked:
            break;
        case kParkNoAnswer:
            m_bNoAnswer = true;
            m_dwNoAnswerTick = ::GetTickCount();
            [[fallthrough]];
        case kParkNotMinimised:
            SaveSourceState();  // a window a killed run left parked is put back all the same
            return FALSE;
        default:
            return FALSE;
    }
    m_wpSaved = park->State().placement;
    m_bNormalUnknown = FALSE;
    m_nState = THUMB_PARKED;  // before the box: a close inside it puts the source back
    CTaskBarControl* taskbar = CTaskBarControl::GetInstance();
    if (!taskbar || !taskbar->DeleteTab(m_hSource))
        AfxMessageBox("タスクバーから削除でエラーが発生しました", MB_OK);
    return TRUE;
}

BOOL Cthumbnail::CheckPendingPark()
{
    // No wait: only what the park's writes sent to this thread is let in, which may close this thumbnail.
    const std::shared_ptr<ParkInBackground> park = m_pPark;
    return park && park->Wait(0) && m_pPark == park && EndPark();
}

BOOL Cthumbnail::ParkMinimisedSource()
{
    if (m_pPark)
        return CheckPendingPark();
    if (!::IsWindow(m_hSource) || !::IsIconic(m_hSource))
        return FALSE;
    // One wait per minimise: a source that cannot be parked is tried again without it.
    if (!m_bParkWaited) {
        m_bParkWaited = true;
        ::Sleep(200);
    }
    return ::IsIconic(m_hSource) && ParkSourceWindow();
}

void Cthumbnail::CheckParkedSource()
{
    DisableAgainAfterReload();
    if (m_nState != THUMB_PARKED || !::IsWindow(m_hSource))
        return;
    const bool toFront = BroughtToFront(&m_bParkedForeground, ::GetForegroundWindow() == m_hSource);
    if (::IsIconic(m_hSource)) {
        // Minimised again from its taskbar button: put back as it was, then parked as a new minimise.
        // Minimised where it was parked, only the answering road restores it first and so gives it back
        // its own restore position: a hung one stays parked until it answers.
        if (!SourceAnswers())
            return;
        m_nState = THUMB_NORMAL;  // first: a close inside the put-back's message box must not put it back again
        m_bParkWaited = false;
        UnparkSourceWindow();
    } else if (toFront) {
        // Its taskbar button or Alt+Tab: the user wants it back.
        ReturnParkedSource();
        if (m_nState == THUMB_PARKED)
            m_bParkedForeground = false;  // not back yet: the next look tries again
    } else if (!InPlaceParking() && IsSourceOnScreen() && SourceAnswers()) {
        WriteBackSourceStyles();
        m_nState = THUMB_NORMAL;
    }
}

void Cthumbnail::ReturnParkedSource()
{
    if (!::IsWindow(m_hSource) || !SourceAnswers())
        return;  // tried again at a later check
    HWND self = m_hWnd;
    m_nState = THUMB_NORMAL;  // first: a close inside the put-back's message box must not put it back again
    UnparkSourceWindow();
    // The taskbar error box is a nested loop that may have closed this thumbnail.
    if (!StillThere(this, self))
        return;
    SendToSource(m_hSource, WM_SYSCOMMAND, SC_RESTORE, 0);
    RestoreSourcePosition();
}

void Cthumbnail::UnparkSourceWindow(bool restored, DWORD answerMs)
{
    if (!::IsWindow(m_hSource))
        return;
    // At the exit no source is asked: all of them are put back together, none waited for.
    const bool answers =
        !PuttingBackTogether() && (answerMs >= 1000 ? SourceAnswers() != FALSE : WindowAnswers(m_hSource, answerMs));
    PutBackParkedWindow(m_hSource, SavedState(), answers, restored);
    // Under Wine its restore position is the one it was minimised from, which the put-back set.
    m_rcSeenRestored =
        WorkspaceToScreen(m_wpSaved.rcNormalPosition, WorkspaceOffset(m_hSource, m_wpSaved.rcNormalPosition));
    m_bSeenRestored = TRUE;

    CTaskBarControl* taskbar = CTaskBarControl::GetInstance();
    if (!taskbar || !taskbar->AddTab(m_hSource))
        AfxMessageBox("タスクバーへの登録でエラーが発生しました", MB_OK);
}

BOOL Cthumbnail::IsSourceOnScreen()
{
    if (!::IsWindow(m_hSource))
        return FALSE;
    // Afresh: the last poll's rectangle may be from before the source was parked.
    ::GetWindowRect(m_hSource, &m_rcSourceWindow);
    return SourceOnScreen(m_rcDesktop, m_rcSourceWindow);
}

void Cthumbnail::RestoreSourcePosition()
{
    // A maximised window is where it belongs.
    if (::IsZoomed(m_hSource))
        return;
    RECT current = {0, 0, 0, 0};
    ::GetWindowRect(m_hSource, &current);
    const RECT& workspace = m_wpSaved.rcNormalPosition;
    const RECT normal = WorkspaceToScreen(workspace, WorkspaceOffset(m_hSource, workspace));
    if (current.top == normal.top && current.left == normal.left) {
        AfxTrace("□SamePOS！\n");
        return;
    }
    AfxTrace("▼DifferentPOS top=%d,left=%d,bottom=%d,right=%d\n", static_cast<int>(current.top),
             static_cast<int>(current.left), static_cast<int>(current.bottom), static_cast<int>(current.right));
    // Async: a source that stopped answering must not hold up the program.
    ::SetWindowPos(m_hSource, nullptr, normal.left, normal.top, normal.right - normal.left, normal.bottom - normal.top,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}
