// Zoom and pan of a Cthumbnail: the wheel, the arrow keys and a drag change a few integers and
// invalidate; the next paint computes the view. The arithmetic lives in ZoomView.cpp.
#include "strip/Thumbnail.h"

#include "desktop/DwmApi.h"
#include "strip/ZoomView.h"

void Cthumbnail::ZoomBy(int dx, int dy)
{
    m_nZoomX = ClampedAdd(m_nZoomX, dx, 0, kZoomWhole);
    m_nZoomY = ClampedAdd(m_nZoomY, dy, 0, kZoomWhole);
}

void Cthumbnail::PanBy(int dx, int dy)
{
    m_nPanX = ClampedAdd(m_nPanX, dx, -kPanLimit, kPanLimit);
    m_nPanY = ClampedAdd(m_nPanY, dy, -kPanLimit, kPanLimit);
}

BOOL Cthumbnail::ComputeView()
{
    SIZE image = {m_nBitmapWidth, m_nBitmapHeight};
    double scaleX = m_dScaleX, scaleY = m_dScaleY;
    if (m_bComposition && ::IsWindow(m_hSource)) {
        RECT frame;
        if (SUCCEEDED(SafeDwmGetWindowAttribute(m_hSource, &frame)))
            image = {frame.right - frame.left, frame.bottom - frame.top};
        else
            image = {0, 0};
        // The live thumbnail shows the source itself: a scale left by an earlier capture would make
        // the view lag behind the mouse.
        scaleX = scaleY = 1.0;
    }
    ZoomView view;
    const BOOL zoomed = ComputeZoomView(image, m_nZoomX, m_nZoomY, m_nPanX, m_nPanY, scaleX, scaleY, &view);
    m_nViewLeft = view.left;
    m_nViewTop = view.top;
    m_nViewWidth = view.width;
    m_nViewHeight = view.height;
    m_nPanX = view.panX;
    m_nPanY = view.panY;
    return zoomed;
}

BOOL Cthumbnail::OnMouseWheel(UINT flags, short delta, CPoint point)
{
    if (m_bHover) {
        const POINT step = WheelZoomStep(flags, delta, m_bComposition);
        if (step.x || step.y) {
            ZoomBy(step.x, step.y);
            Invalidate(TRUE);
        }
    }
    return CWnd::OnMouseWheel(flags, delta, point);
}

void Cthumbnail::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    POINT step;
    if (m_bHover && KeyPanStep(key, ::GetKeyState(VK_SHIFT) < 0, &step)) {
        PanBy(step.x, step.y);
        Invalidate(TRUE);
    }
    CWnd::OnKeyDown(key, repeat, flags);
}

// Reached only on a zoomed view: WindowProc turns a press on the whole view into a move.
void Cthumbnail::OnLButtonDown(UINT flags, CPoint point)
{
    ::SetCapture(m_hWnd);
    m_dDragRemX = m_dDragRemY = 0.0;
    m_ptDragLast = point;
    m_bDragging = 1;
    CWnd::OnLButtonDown(flags, point);
}

void Cthumbnail::OnLButtonUp(UINT flags, CPoint point)
{
    EndDrag();
    CWnd::OnLButtonUp(flags, point);
}

LRESULT Cthumbnail::OnCaptureChanged(WPARAM, LPARAM lParam)
{
    // Another window took the mouse: the release will never reach us.
    if (reinterpret_cast<HWND>(lParam) != m_hWnd)
        m_bDragging = 0;
    return Default();
}

void Cthumbnail::EndDrag()
{
    m_bDragging = 0;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
}

void Cthumbnail::DragStep(UINT flags, CPoint point)
{
    if (!m_bDragging || (m_nZoomX == kZoomWhole && m_nZoomY == kZoomWhole))
        return;
    if (!(flags & MK_LBUTTON)) {
        EndDrag();
        return;
    }
    CRect client;
    GetClientRect(&client);
    DragRemainder remainder = {m_dDragRemX, m_dDragRemY};
    POINT pan;
    if (!DragPanStep(m_ptDragLast, point, {client.Width(), client.Height()}, {m_nViewWidth, m_nViewHeight}, &remainder,
                     &pan))
        return;
    m_dDragRemX = remainder.x;
    m_dDragRemY = remainder.y;
    PanBy(pan.x, pan.y);
    Invalidate(TRUE);
    m_ptDragLast = point;
}
