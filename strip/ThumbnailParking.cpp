#include "strip/ThumbnailParking.h"

#include "desktop/Globals.h"
#include "desktop/MultiDisplay.h"
#include "desktop/TaskBarControl.h"
#include "framework/App.h"
#include "framework/Trace.h"
#include "strip/RefreshProbe.h"
#include "strip/Thumbnail.h"
#include "strip/ThumbnailPlacement.h"

#include <cstring>
#include <thread>

bool UseInPlaceParking(int monitorCount, int layeredMode)
{
    return monitorCount > 1 || layeredMode != 0;
}

POINT ParkedPosition(const RECT& normal)
{
    return {normal.left + kParkOffset, normal.top + kParkOffset};
}

bool SourceOnScreen(const RECT& desktop, const RECT& source)
{
    if (source.top >= kParkedTopEdge)
        return false;
    RECT common;
    return ::IntersectRect(&common, &desktop, &source) && common.right > common.left && common.bottom > common.top;
}

bool LeftBehindByParking(DWORD style, const RECT& window)
{
    return (style & WS_DISABLED) && window.right > kLeftBehindEdge && window.bottom > kLeftBehindEdge;
}

POINT CentredOn(const RECT& desktop, int width, int height)
{
    return {(desktop.right - desktop.left - width) / 2, (desktop.bottom - desktop.top - height) / 2};
}

bool TrustedNormalPosition(const RECT& reported, bool iconic, const RECT& current, bool seenRestored,
                           const RECT& lastSeen, RECT* normal)
{
    if (!iconic || !::EqualRect(&reported, &current)) {
        *normal = reported;
        return true;
    }
    if (seenRestored) {
        *normal = lastSeen;
        return true;
    }
    return false;
}

DWORD StyleToWriteBack(DWORD saved, DWORD current)
{
    const DWORD showState = WS_MINIMIZE | WS_MAXIMIZE;
    return (saved & ~showState) | (current & showState);
}

namespace {

bool InPlaceParking()
{
    const CMultiDisplay* displays = CMultiDisplay::GetInstance();
    return UseInPlaceParking(displays ? displays->m_nMonitorCount : 1, LayeredMode);
}

void SetStyle(HWND hwnd, int index, DWORD value)
{
    ::SetWindowLongA(hwnd, index, static_cast<LONG>(value));
}

DWORD StyleOf(HWND hwnd, int index)
{
    return static_cast<DWORD>(::GetWindowLongA(hwnd, index));
}

}  // namespace

BOOL Cthumbnail::SourceAnswers() const
{
    RefreshPartTimer timer(&RefreshStepParts::answerCheck);
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutA(m_hSource, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result) != 0;
}

// A source that stops answering must not hold up the program.
void Cthumbnail::SendToSource(UINT message, WPARAM wParam, LPARAM lParam) const
{
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(m_hSource, message, wParam, lParam, SMTO_ABORTIFHUNG, 1000, &result);
}

void Cthumbnail::SaveStylesAndPlacement()
{
    const DWORD style = StyleOf(m_hSource, GWL_STYLE);
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
    RECT normal;
    m_bNormalUnknown = !TrustedNormalPosition(placement.rcNormalPosition, (style & WS_MINIMIZE) != 0, current,
                                              m_bSeenRestored != FALSE, m_rcSeenRestored, &normal);
    if (!m_bNormalUnknown)
        placement.rcNormalPosition = normal;
    m_wpSaved = placement;
}

void Cthumbnail::WriteBackSourceStyles()
{
    SetStyle(m_hSource, GWL_STYLE, StyleToWriteBack(m_dwSavedStyle, StyleOf(m_hSource, GWL_STYLE)));
    SetStyle(m_hSource, GWL_EXSTYLE, m_dwSavedExStyle);
    // Layered again, a window stays invisible until it has its attributes back.
    if (m_dwSavedExStyle & WS_EX_LAYERED)
        ::SetLayeredWindowAttributes(m_hSource, m_crSavedKey, m_bySavedAlpha, m_dwSavedLayeredFlags);
}

void Cthumbnail::SaveSourceState()
{
    if (!::IsWindow(m_hSource))
        return;
    SaveStylesAndPlacement();
    const DWORD style = StyleOf(m_hSource, GWL_STYLE);
    RECT window;
    if (InPlaceParking() || !::GetWindowRect(m_hSource, &window) || !LeftBehindByParking(style, window))
        return;
    SetStyle(m_hSource, GWL_STYLE, style & ~WS_DISABLED);
    RECT desktop;
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    const int width = window.right - window.left, height = window.bottom - window.top;
    const POINT at = CentredOn(desktop, width, height);
    ::SetWindowPos(m_hSource, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    CTaskBarControl* taskbar = CTaskBarControl::GetInstance();
    if (!taskbar || !taskbar->AddTab(m_hSource))
        AfxMessageBox("タスクバーへの登録でエラーが発生しました", MB_OK);
}

BOOL Cthumbnail::ParkSourceWindow()
{
    if (!::IsWindow(m_hSource))
        return FALSE;
    const DWORD style = StyleOf(m_hSource, GWL_STYLE);
    const DWORD exStyle = StyleOf(m_hSource, GWL_EXSTYLE);
    SaveStylesAndPlacement();
    // A window the user has restored meanwhile is left alone: disabled, nothing would enable it.
    if (!(style & WS_MINIMIZE) || !SourceAnswers())
        return FALSE;

    SetStyle(m_hSource, GWL_STYLE, style | WS_DISABLED);
    SetStyle(m_hSource, GWL_EXSTYLE, exStyle | WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(m_hSource, 0, 0, LWA_ALPHA);
    SendToSource(WM_SETREDRAW, FALSE, 0);
    // Not activated: an invisible, disabled window would take the user's keystrokes.
    ::ShowWindow(m_hSource, SW_SHOWNOACTIVATE);
    if (m_bNormalUnknown) {
        RECT restored;
        if (::GetWindowRect(m_hSource, &restored) && !IsMinimisedRect(restored))
            m_wpSaved.rcNormalPosition = restored;
        m_bNormalUnknown = FALSE;
    }
    if (!InPlaceParking()) {
        const RECT& normal = m_wpSaved.rcNormalPosition;
        AfxTrace("top=%d, bottom=%d, left=%d, right=%d\n", static_cast<int>(normal.top),
                 static_cast<int>(normal.bottom), static_cast<int>(normal.left), static_cast<int>(normal.right));
        const POINT at = ParkedPosition(normal);
        ::SetWindowPos(m_hSource, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        // Opaque again off the screen, with its own layered look if it had one.
        SetStyle(m_hSource, GWL_EXSTYLE, exStyle);
        if (exStyle & WS_EX_LAYERED)
            ::SetLayeredWindowAttributes(m_hSource, m_crSavedKey, m_bySavedAlpha, m_dwSavedLayeredFlags);
    }
    SendToSource(WM_SETREDRAW, TRUE, 0);

    CTaskBarControl* taskbar = CTaskBarControl::GetInstance();
    if (!taskbar || !taskbar->DeleteTab(m_hSource))
        AfxMessageBox("タスクバーから削除でエラーが発生しました", MB_OK);
    return TRUE;
}

BOOL Cthumbnail::ParkMinimisedSource()
{
    if (!::IsWindow(m_hSource) || !::IsIconic(m_hSource))
        return FALSE;
    ::Sleep(200);
    if (!::IsIconic(m_hSource) || !ParkSourceWindow())
        return FALSE;
    m_nState = THUMB_PARKED;
    return TRUE;
}

void Cthumbnail::CheckParkedSource()
{
    if (!::IsWindow(m_hSource))
        return;
    if (InPlaceParking()) {
        if (::IsIconic(m_hSource) && SourceAnswers())
            ::ShowWindow(m_hSource, SW_SHOWNOACTIVATE);
    } else if (IsSourceOnScreen()) {
        WriteBackSourceStyles();
        m_nState = THUMB_NORMAL;
    }
}

void Cthumbnail::UnparkSourceWindow()
{
    if (!::IsWindow(m_hSource))
        return;
    if (!SourceAnswers()) {
        PutBackHungSource();
    } else {
        WINDOWPLACEMENT placement = m_wpSaved;
        placement.showCmd = SW_SHOWMINNOACTIVE;  // minimised, not activated
        const RECT& normal = placement.rcNormalPosition;
        if (InPlaceParking()) {
            SendToSource(WM_SETREDRAW, FALSE, 0);
            MinimiseSource();
            ::Sleep(200);
            ::SetWindowPlacement(m_hSource, &placement);
            SendToSource(WM_SETREDRAW, TRUE, 0);
        } else {
            // Invisible while it is minimised.
            SetStyle(m_hSource, GWL_EXSTYLE, StyleOf(m_hSource, GWL_EXSTYLE) | WS_EX_LAYERED);
            ::SetLayeredWindowAttributes(m_hSource, 0, 0, LWA_ALPHA);
            // Minimised from its normal position, it keeps that one: Wine refuses SetWindowPlacement
            // on another process's window.
            ::SetWindowPos(m_hSource, nullptr, normal.left, normal.top, normal.right - normal.left,
                           normal.bottom - normal.top, SWP_NOZORDER | SWP_NOACTIVATE);
            MinimiseSource();
            ::SetWindowPlacement(m_hSource, &placement);
        }
        WriteBackSourceStyles();
    }

    CTaskBarControl* taskbar = CTaskBarControl::GetInstance();
    if (!taskbar || !taskbar->AddTab(m_hSource))
        AfxMessageBox("タスクバーへの登録でエラーが発生しました", MB_OK);
}

void Cthumbnail::MinimiseSource()
{
    SendToSource(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    // Wine's default handling ignores system commands to a disabled window.
    if (!::IsIconic(m_hSource))
        ::ShowWindow(m_hSource, SW_SHOWMINNOACTIVE);
}

// Style and placement writes wait for the source's thread, so a hung source gets only what it can
// take later: enabled, opaque, back at its normal position and minimised.
void Cthumbnail::PutBackHungSource()
{
    if (!(m_dwSavedStyle & WS_DISABLED)) {
        // EnableWindow clears the style at once, then waits for the source to take WM_ENABLE: that
        // wait is left to a thread of its own.
        HWND source = m_hSource;
        try {
            std::thread([source] { ::EnableWindow(source, TRUE); }).detach();
        } catch (...) {
            ::EnableWindow(source, TRUE);
        }
    }
    if (m_dwSavedExStyle & WS_EX_LAYERED)
        ::SetLayeredWindowAttributes(m_hSource, m_crSavedKey, m_bySavedAlpha, m_dwSavedLayeredFlags);
    else
        ::SetLayeredWindowAttributes(m_hSource, 0, 255, LWA_ALPHA);
    if (!InPlaceParking()) {
        const RECT& normal = m_wpSaved.rcNormalPosition;
        ::SetWindowPos(m_hSource, nullptr, normal.left, normal.top, normal.right - normal.left,
                       normal.bottom - normal.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    }
    ::ShowWindowAsync(m_hSource, SW_SHOWMINNOACTIVE);
}

BOOL Cthumbnail::IsSourceOnScreen()
{
    return ::IsWindow(m_hSource) && SourceOnScreen(m_rcDesktop, m_rcSourceWindow);
}

void Cthumbnail::RestoreSourcePosition()
{
    RECT current = {0, 0, 0, 0};
    ::GetWindowRect(m_hSource, &current);
    const RECT& normal = m_wpSaved.rcNormalPosition;
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
