#include "strip/Thumbnail.h"

#include "desktop/DwmApi.h"
#include "framework/Trace.h"
#include "framework/WndClass.h"
#include "res/resource.h"
#include "strip/CaptureScratch.h"
#include "strip/ControlDlg.h"
#include "strip/PlacementMath.h"

#include <cstring>

namespace {
int g_thumbnailsAlive = 0;  // the captures' scratch goes with the last thumbnail
}

BEGIN_MESSAGE_MAP(Cthumbnail, CWnd)
    ON_WM_PAINT()
    ON_WM_SIZE()
    ON_WM_NCHITTEST()
    ON_WM_MOUSEMOVE()
    ON_WM_MOUSEWHEEL()
    ON_WM_KEYDOWN()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONUP()
    ON_MESSAGE(WM_CAPTURECHANGED, &Cthumbnail::OnCaptureChanged)
    ON_WM_TIMER()
    ON_WM_ERASEBKGND()
    ON_MESSAGE(WM_DWMCOMPOSITIONCHANGED, &Cthumbnail::OnCompositionChanged)
    ON_MESSAGE(WM_APP_THUMB_REFRESH, &Cthumbnail::OnRefreshStep)
    ON_MESSAGE(WM_APP_THUMB_PRINTED, &Cthumbnail::OnPrinted)
    ON_WM_RBUTTONUP()
    ON_WM_LBUTTONDBLCLK()
    ON_COMMAND(ID_THUMB_ARRANGE, &Cthumbnail::OnMenuArrange)
    ON_COMMAND(ID_THUMB_MOVETOTOP, &Cthumbnail::OnMenuMoveToTop)
    ON_COMMAND(ID_THUMB_MOVEFORWARD, &Cthumbnail::OnMenuMoveForward)
    ON_COMMAND(ID_THUMB_MOVEBACKWARD, &Cthumbnail::OnMenuMoveBackward)
    ON_COMMAND(ID_THUMB_MOVETOEND, &Cthumbnail::OnMenuMoveToEnd)
    ON_COMMAND(ID_THUMB_COPY, &Cthumbnail::OnMenuCopy)
    ON_COMMAND(ID_THUMB_EXCLUDE, &Cthumbnail::OnMenuExclude)
    ON_COMMAND(ID_THUMB_RELOAD_ON, &Cthumbnail::OnMenuWebReloadOn)
    ON_COMMAND(ID_THUMB_RELOAD_OFF, &Cthumbnail::OnMenuWebReloadOff)
    ON_COMMAND(ID_THUMB_RELOAD_INTERVAL, &Cthumbnail::OnMenuReloadInterval)
END_MESSAGE_MAP()

Cthumbnail::Cthumbnail(WindowEntry entry, RECT slot, BYTE alpha, CthumbnailListener* listener)
    : m_pListener(listener),
      m_entry(entry),
      m_rcSlot(slot),
      m_nFitWidth(0),
      m_nFitHeight(0),
      m_byAlpha(alpha),
      m_bWebReload(0),
      m_nReloadInterval(30),
      m_dwSavedStyle(0),
      m_dwSavedExStyle(0),
      m_hSource(entry.hwnd),
      m_rcLastSource{0, 0, 0, 0},
      m_nBitmapWidth(0),
      m_nBitmapHeight(0),
      m_dScaleX(1.0),
      m_dScaleY(1.0),
      m_bHover(0),
      m_bHoverKey(0),
      m_rcSourceWindow{0, 0, 0, 0},
      m_rcDesktop{0, 0, 0, 0},
      m_nState(THUMB_NEW),
      m_nPrevState(THUMB_NEW),
      m_wpSaved(),
      m_nZoomX(100),
      m_nZoomY(100),
      m_nViewWidth(0),
      m_nViewHeight(0),
      m_nViewLeft(0),
      m_nViewTop(0),
      m_nPanX(0),
      m_nPanY(0),
      m_bDragging(0),
      m_ptDragLast{0, 0},
      m_dDragRemX(0.0),
      m_dDragRemY(0.0),
      m_hThumbnail(0),
      m_bComposition(FALSE),
      m_rcLiveSource{0, 0, 0, 0},
      m_crBackground(0xDCDCDC),
      m_bConstructing(true),
      m_bCloseRequested(false),
      m_bSourcePutBack(false)
{
    ++g_thumbnailsAlive;
    m_wpSaved.length = sizeof(m_wpSaved);

    if (IsVistaOrLater()) {
        AfxTrace("ON VISTA !\n");
        BOOL enabled = FALSE;
        m_bComposition = SUCCEEDED(SafeDwmIsCompositionEnabled(&enabled)) && enabled;
        AfxTrace(m_bComposition ? "ON AERO!\n" : "NOT AERO!\n");
    } else {
        AfxTrace("Before VISTA!\n");
        m_bComposition = FALSE;
    }
    ::GetWindowRect(::GetDesktopWindow(), &m_rcDesktop);

    // Without a window the object stays in its slot until the control page closes it.
    LPCSTR windowClass = AfxRegisterWndClass(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS);
    CreateEx(WS_EX_WINDOWEDGE, windowClass, nullptr, WS_POPUP | WS_VISIBLE, CRect(0, 0, 0, 0), nullptr, 0);
    m_bConstructing = false;
}

Cthumbnail::~Cthumbnail()
{
    if (--g_thumbnailsAlive == 0)
        CaptureScratch().Release();
}

// What a thumbnail does before its message map: a row returns 0 where the message ends here.
LRESULT Cthumbnail::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_CREATE:
            OnCreateWindow();
            break;
        case WM_WINDOWPOSCHANGING:
            KeepZOrderPlace(reinterpret_cast<WINDOWPOS*>(lParam));
            break;
        case WM_WINDOWPOSCHANGED:
        case WM_ACTIVATE:
        case WM_SHOWWINDOW:
            NoteZOrderChange(message, lParam);
            break;
        case WM_LBUTTONDOWN:
            if (MoveWholeThumbnail(lParam))
                return 0;
            break;
        case WM_PRINTCLIENT:
            FillForAnimation(reinterpret_cast<HDC>(wParam));
            break;
        case WM_DESTROY:
            // Now, not when the object goes: that waits for the outer message, which may be a dialog.
            PutBackSource();
            break;
        case WM_CLOSE:
            return 0;  // only the control page ends a thumbnail, or its slot would point at nothing
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE)
                return 0;  // Alt+F4
            break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

// Whoever moves a thumbnail in the z-order, it stays at the bottom unless hovered.
void Cthumbnail::KeepZOrderPlace(WINDOWPOS* pos)
{
    pos->hwndInsertAfter = m_bHover || m_bHoverKey ? HWND_TOPMOST : HWND_BOTTOM;
}

void Cthumbnail::NoteZOrderChange(UINT message, LPARAM lParam)
{
    if (MayChangeZOrder(message, message == WM_WINDOWPOSCHANGED ? reinterpret_cast<WINDOWPOS*>(lParam)->flags : 0))
        m_nZOrderChecks = kZOrderCheckTicks;
}

// Unzoomed, a press drags the whole thumbnail through the system's move loop; the window may go
// meanwhile. The press is decided here: a zoom changed during the loop must not start a drag too.
BOOL Cthumbnail::MoveWholeThumbnail(LPARAM point)
{
    if (m_nZoomX != 100 || m_nZoomY != 100)
        return FALSE;
    ::SendMessageA(m_hWnd, WM_NCLBUTTONDOWN, HTCAPTION, point);
    return TRUE;
}

// The show and hide animations draw the thumbnail through WM_PRINTCLIENT.
void Cthumbnail::FillForAnimation(HDC dc)
{
    CBrush grey(kThumbGrey);
    RECT fit = {0, 0, m_nFitWidth, m_nFitHeight};
    ::FillRect(dc, &fit, grey);
}

void Cthumbnail::OnCreateWindow()
{
    ModifyStyle(WS_BORDER, 0);
    ModifyStyleEx(0, WS_EX_LAYERED | WS_EX_TOOLWINDOW);
    if (ControlDialog && ControlDialog->m_bFrame)
        SetFrame(TRUE);
    ApplyAlpha();
    if (!::IsWindow(m_hSource))
        return;  // nothing to show: an empty window that waits for the control page to close it

    if (::IsIconic(m_hSource) && ParkSourceWindow()) {
        m_nState = THUMB_PARKED;
        AfxTrace("CREATE: LAYERED START(%s)\n", m_entry.title.GetString());
    } else {
        // Not while its park goes on: the mark there is this park's own.
        if (!m_pPark)
            SaveSourceState();
        m_nState = THUMB_NORMAL;
        AfxTrace("CREATE: NORMAL START(%s)\n", m_entry.title.GetString());
    }
    // The normal position: a maximised or minimised source is fitted by its restored size.
    FitToSlot(m_wpSaved.rcNormalPosition, TRUE);
    ResetZoom();
    // Not activated: that would take the keyboard from the user's window, and Wine raises the window
    // it activates without WM_WINDOWPOSCHANGING, which would leave a thumbnail at rest on top.
    ::AnimateWindow(m_hWnd, 200, AW_CENTER);
    if (m_bComposition)
        RegisterLiveThumbnail();
    SetTimer(IDT_THUMB_POLL, 200);
}

BOOL Cthumbnail::DestroyWindow()
{
    m_bCloseRequested = true;
    if (!m_hWnd) {
        PutBackSource();
        ReleaseImage();
        delete this;
        return TRUE;
    }
    if (m_nState == THUMB_CLOSE_ANIMATED)
        ::AnimateWindow(m_hWnd, 200, AW_HIDE | AW_CENTER);
    UnregisterLiveThumbnail();
    KillTimer(IDT_THUMB_POLL);
    KillTimer(IDT_WEB_RELOAD);
    return CWnd::DestroyWindow();  // PostNcDestroy deletes the object
}

void Cthumbnail::PostNcDestroy()
{
    CWnd::PostNcDestroy();
    PutBackSource();
    ReleaseImage();
    // Destroyed outside the close protocol (or while being created): the slot still points here,
    // so the object lives until the control page closes it.
    if (m_bCloseRequested && !m_bConstructing)
        delete this;
}

namespace {

// A source that answers within this is put back on the road that waits for it.
const DWORD kPromptAnswer = 300;

}  // namespace

void Cthumbnail::PutBackSource()
{
    if (m_bSourcePutBack)
        return;
    m_bSourcePutBack = true;
    if (m_pPark) {
        // Its park has not been taken up yet: put back from where it has got to.
        m_pPark->Abandon();
        m_pPark.reset();
        return;
    }
    if (!ShouldPutBackSource(m_nPrevState, m_nState) || !::IsWindow(m_hSource))
        return;
    const bool chrome = m_entry.processName == "chrome.exe";
    // The answering road makes its writes one after another: a source busy between its answers
    // would hold up the close for each of them.
    UnparkSourceWindow(chrome, kPromptAnswer);
    if (chrome && !PuttingBackTogether()) {
        // This browser is left restored at its saved position rather than minimised. A time-out,
        // so that a source that does not answer cannot hold up the exit.
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(m_hSource, WM_SYSCOMMAND, SC_RESTORE, 0, SMTO_ABORTIFHUNG, 1000, &result);
        RestoreSourcePosition();
    }
}

// Painting, the captured image and the refresh step: ThumbnailCapture.cpp.

void Cthumbnail::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    if (m_bComposition)
        AdjustToSourceAspect();
}

LRESULT Cthumbnail::OnNcHitTest(CPoint point)
{
    const LRESULT hit = CWnd::OnNcHitTest(point);
    return hit == HTTOP ? HTCAPTION : hit;  // the top edge of the frame moves the thumbnail
}

// ---- placement, opacity and frame

void Cthumbnail::SetSlot(RECT slot)
{
    RECT window;
    if (TakeSlot(slot, &window))
        ::SetWindowPos(m_hWnd, HWND_BOTTOM, window.left, window.top, window.right - window.left,
                       window.bottom - window.top, SWP_NOACTIVATE);
}

BOOL Cthumbnail::TakeSlot(RECT slot, RECT* window)
{
    m_rcSlot = slot;
    ResetZoom();
    RECT source = {0, 0, 0, 0};
    if (::IsIconic(m_hSource)) {
        source = m_wpSaved.rcNormalPosition;
    } else if (!::GetWindowRect(m_hSource, &source)) {
        source = {0, 0, 0, 0};
    }
    if (!FitRect(m_rcSlot, source.right - source.left, source.bottom - source.top, window))
        return FALSE;  // a source without area keeps the current size and place
    m_nFitWidth = window->right - window->left;
    m_nFitHeight = window->bottom - window->top;
    return TRUE;
}

void Cthumbnail::FitToSlot(RECT source, BOOL move)
{
    RECT window;
    if (!FitRect(m_rcSlot, source.right - source.left, source.bottom - source.top, &window))
        return;  // a source without area keeps the current size
    m_nFitWidth = window.right - window.left;
    m_nFitHeight = window.bottom - window.top;
    // The z-order rule picks the place. A request the system finds redundant never reaches it, and
    // HWND_NOTOPMOST is one for a window that is not topmost, so a new thumbnail would stay on top.
    ::SetWindowPos(m_hWnd, HWND_BOTTOM, window.left, window.top, m_nFitWidth, m_nFitHeight,
                   SWP_NOACTIVATE | (move ? 0 : SWP_NOMOVE));
}

void Cthumbnail::ApplyAlpha()
{
    ::SetLayeredWindowAttributes(m_hWnd, 0, m_bHover ? 255 : m_byAlpha, LWA_ALPHA);
}

void Cthumbnail::SetFrame(BOOL on)
{
    const bool has = (GetStyle() & WS_THICKFRAME) != 0;
    if ((on != FALSE) == has)
        return;
    AfxTrace(on ? "frame ON\n" : "frame OFF\n");
    if (on)
        ModifyStyle(0, WS_THICKFRAME);
    else
        ModifyStyle(WS_THICKFRAME, 0);
    // Two moves make the system draw the changed frame.
    CRect r;
    GetWindowRect(&r);
    MoveWindow(r.left, r.top, r.Width() + 1, r.Height(), TRUE);
    MoveWindow(r.left, r.top, r.Width(), r.Height(), TRUE);
}

// ---- zoom and pan

void Cthumbnail::ResetZoom()
{
    m_nZoomX = 100;
    m_nZoomY = 100;
    m_nViewWidth = m_nViewHeight = m_nViewLeft = m_nViewTop = 0;
    m_nPanX = m_nPanY = 0;
}

// Wheel, keys and drag: ThumbnailZoom.cpp.

// Parking of a minimised source: ThumbnailParking.cpp.

// The live DWM thumbnail: ThumbnailLive.cpp.
