// The live DWM thumbnail of a Cthumbnail: registration, the destination that follows the window
// and the source's aspect, the source rectangle that follows the view, and composition changes.
#include "strip/Thumbnail.h"

#include "desktop/DwmApi.h"
#include "strip/ThumbnailImage.h"

namespace {

DWM_THUMBNAIL_PROPERTIES PropertiesWith(DWORD flags)
{
    DWM_THUMBNAIL_PROPERTIES properties = {};
    properties.dwFlags = flags;
    return properties;
}

}  // namespace

void Cthumbnail::RegisterLiveThumbnail()
{
    // A registration after composition came back replaces the first, which must not linger.
    UnregisterLiveThumbnail();
    HTHUMBNAIL thumbnail = 0;
    if (FAILED(SafeDwmRegisterThumbnail(m_hWnd, m_hSource, &thumbnail)) || !thumbnail)
        return;
    m_hThumbnail = thumbnail;

    CRect client;
    GetClientRect(&client);
    CRect source;
    ::GetWindowRect(m_hSource, &source);
    const RECT whole = {0, 0, source.Width(), source.Height()};
    const DWORD all =
        DWM_TNP_RECTDESTINATION | DWM_TNP_RECTSOURCE | DWM_TNP_OPACITY | DWM_TNP_VISIBLE | DWM_TNP_SOURCECLIENTAREAONLY;
    DWM_THUMBNAIL_PROPERTIES properties = PropertiesWith(all);
    properties.rcDestination = client;
    properties.rcSource = whole;
    properties.opacity = 255;
    properties.fVisible = TRUE;
    properties.fSourceClientAreaOnly = FALSE;
    if (FAILED(SafeDwmUpdateThumbnailProperties(m_hThumbnail, &properties)))
        return;
    AdjustToSourceAspect();
    m_rcLiveSource = whole;
}

void Cthumbnail::UnregisterLiveThumbnail()
{
    if (!m_hThumbnail)
        return;
    SafeDwmUnregisterThumbnail(m_hThumbnail);
    m_hThumbnail = 0;
}

void Cthumbnail::AdjustToSourceAspect()
{
    if (!m_hThumbnail || m_bAdjustingAspect)
        return;
    SIZE source = {0, 0};
    if (FAILED(SafeDwmQueryThumbnailSourceSize(m_hThumbnail, &source)))
        return;
    CRect client;
    GetClientRect(&client);
    int height = 0;
    if (!AspectClientHeight(client.Width(), source, &height))
        return;  // no ratio to take a height from: the window keeps its size

    CRect frame(0, 0, client.Width(), height);
    ::AdjustWindowRectEx(&frame, GetStyle(), FALSE, GetExStyle());
    CRect window;
    GetWindowRect(&window);
    m_bAdjustingAspect = true;
    MoveWindow(window.left, window.top, window.Width(), frame.Height(), TRUE);
    m_bAdjustingAspect = false;

    DWM_THUMBNAIL_PROPERTIES properties = PropertiesWith(DWM_TNP_RECTDESTINATION);
    properties.rcDestination = {0, 0, client.Width(), height};
    SafeDwmUpdateThumbnailProperties(m_hThumbnail, &properties);
}

void Cthumbnail::SetSourceRect(RECT r)
{
    if (!m_hThumbnail || ::EqualRect(&r, &m_rcLiveSource))
        return;
    DWM_THUMBNAIL_PROPERTIES properties = PropertiesWith(DWM_TNP_RECTSOURCE);
    properties.rcSource = r;
    // A refused rectangle stays unknown to us, so the next paint offers it again.
    if (SUCCEEDED(SafeDwmUpdateThumbnailProperties(m_hThumbnail, &properties)))
        m_rcLiveSource = r;
}

void Cthumbnail::ApplyFullViewToLive()
{
    if (!::IsWindow(m_hSource))
        return;
    RECT frame, window;
    GetFrameAndWindowRect(m_hSource, &frame, &window);
    // The visible frame in the source's own coordinates, without the invisible resize borders.
    SetSourceRect(
        {frame.left - window.left, frame.top - window.top, frame.right - window.left, frame.bottom - window.top});
}

void Cthumbnail::ApplyZoomViewToLive()
{
    if (!::IsWindow(m_hSource))
        return;
    RECT frame, window;
    GetFrameAndWindowRect(m_hSource, &frame, &window);
    // The view is measured in the visible frame; the DWM takes the source in window coordinates.
    const int x = frame.left - window.left + m_nViewLeft;
    const int y = frame.top - window.top + m_nViewTop;
    SetSourceRect({x, y, x + m_nViewWidth, y + m_nViewHeight});
}

LRESULT Cthumbnail::OnCompositionChanged(WPARAM, LPARAM)
{
    BOOL enabled = FALSE;
    m_bComposition = SUCCEEDED(SafeDwmIsCompositionEnabled(&enabled)) && enabled;
    if (m_bComposition)
        RegisterLiveThumbnail();
    // The cached image, or the grey and the title, take over at once when composition went off.
    Invalidate(TRUE);
    return Default();
}
