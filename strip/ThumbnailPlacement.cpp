#include "strip/Thumbnail.h"

#include "desktop/Globals.h"
#include "desktop/MultiDisplay.h"
#include "framework/Trace.h"
#include "strip/ControlDlg.h"
#include "strip/ParkingMath.h"
#include "strip/PlacementMath.h"

namespace {

bool CursorInside(HWND hwnd)
{
    POINT cursor;
    RECT window;
    return ::GetCursorPos(&cursor) && ::GetWindowRect(hwnd, &window) && ::PtInRect(&window, cursor);
}

}  // namespace

void Cthumbnail::TrackSourceRect()
{
    RECT source;
    if (::GetWindowRect(m_hSource, &source))  // fails for a source that is no window
        TrackSourceRect(source);
}

void Cthumbnail::TrackSourceRect(const RECT& source)
{
    if (::EqualRect(&source, &m_rcLastSource))
        return;
    m_rcLastSource = source;
    RefitToSource();
}

void Cthumbnail::RefitToSource()
{
    RECT source;
    if (!::IsWindow(m_hSource) || !::GetWindowRect(m_hSource, &source) || IsMinimisedRect(source))
        return;
    // Keeps the top-left corner; the next SetSlot centres it again.
    FitToSlot(CRect(0, 0, source.right - source.left, source.bottom - source.top), FALSE);
}

void Cthumbnail::SetAlpha(BYTE alpha)
{
    m_byAlpha = alpha;
    ApplyAlpha();
}

void Cthumbnail::SetZOrder()
{
    // Only the mouse activates the thumbnail (its keys zoom and pan); the hover hot key must not take
    // the keyboard from the window the user is typing in.
    const UINT activate = m_bHover ? 0 : SWP_NOACTIVATE;
    ::SetWindowPos(m_hWnd, ZOrderAnchor(m_bHover, m_bHoverKey), 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | activate);
    switch (FrameAfterZOrder(m_bHover, m_bHoverKey, ControlDialog ? ControlDialog->m_bFrame : 0)) {
        case kFrameOn:
            SetFrame(TRUE);
            break;
        case kFrameOff:
            SetFrame(FALSE);
            break;
        case kFrameKeep:
            break;
    }
}

void Cthumbnail::ApplyFrameSetting()
{
    SetFrame(ControlDialog && ControlDialog->m_bFrame ? TRUE : FALSE);
}

void Cthumbnail::OnMouseMove(UINT flags, CPoint point)
{
    DragStep(flags, point);
    // The cursor now, not the point the message carries.
    if (HoverAfter(m_bHover, kHoverMouseMove, CursorInside(m_hWnd)) != m_bHover) {
        m_bHover = 1;
        AfxTrace("●MounseIn %s\n", m_entry.title.GetString());
        ApplyAlpha();
        ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
        SetZOrder();
    }
    CWnd::OnMouseMove(flags, point);
}

void Cthumbnail::OnTimer(UINT_PTR id)
{
    if (id == IDT_THUMB_POLL)
        PollSource();
    else if (id == IDT_WEB_RELOAD)
        OnWebReloadTimer();
    CWnd::OnTimer(id);
}

// Wine raises a thumbnail when it maps its window, from outside this thread and without
// WM_WINDOWPOSCHANGING. At rest the next shown window beneath it may only be another thumbnail, which
// looks beneath itself in turn.
bool Cthumbnail::AboveOrdinaryWindow() const
{
    for (HWND below = ::GetWindow(m_hWnd, GW_HWNDNEXT); below; below = ::GetWindow(below, GW_HWNDNEXT)) {
        if (::IsWindowVisible(below))
            return !dynamic_cast<Cthumbnail*>(CWnd::FromHandlePermanent(below));
    }
    return false;
}

void Cthumbnail::PollSource()
{
    // The taskbar's box after a park is a nested loop that may close this thumbnail.
    HWND self = m_hWnd;
    if (CheckPendingPark() && !StillThere(this, self))
        return;
    // A round trip to the server each: the cursor only while hovered, the z-order only after a change.
    if (m_bHover && HoverAfter(m_bHover, kHoverPollTick, CursorInside(m_hWnd)) != m_bHover) {
        m_bHover = 0;
        AfxTrace("■MouseOUT %s\n", m_entry.title.GetString());
        ApplyAlpha();
        SetZOrder();
    } else if (m_nZOrderChecks > 0) {
        --m_nZOrderChecks;
        if (!m_bHover && !m_bHoverKey && AboveOrdinaryWindow())
            ::SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    if (!::IsWindow(m_hSource))
        return;
    ::GetWindowRect(m_hSource, &m_rcSourceWindow);
    // A window whose put-back goes on may stand where it was parked: not what it looks like restored.
    if (m_nState == THUMB_NORMAL && !::IsIconic(m_hSource) && !IsMarkedParked(m_hSource) &&
        !PutBackPending(m_hSource)) {
        m_bParkWaited = false;
        m_bSeenMaximised = ::IsZoomed(m_hSource);
        ForgetRestoresMaximised(m_hSource);
        if (!m_bSeenMaximised && SourceOnScreen(m_rcDesktop, m_rcSourceWindow)) {
            m_rcSeenRestored = m_rcSourceWindow;
            m_bSeenRestored = TRUE;
        }
    }
    CheckParkedSource();
}
