// The captured image of a Cthumbnail: waiting for the source, the two captures, the refresh step
// and painting.
#include "strip/Thumbnail.h"

#include <exception>
#include <utility>

#include "desktop/Globals.h"
#include "desktop/MultiDisplay.h"
#include "desktop/TaskBarControl.h"
#include "framework/App.h"
#include "framework/Handle.h"
#include "framework/Trace.h"
#include "strip/CaptureScratch.h"
#include "strip/RefreshProbe.h"
#include "strip/ThumbnailImage.h"
#include "strip/ParkingMath.h"

namespace {

// The screen's device context, released on every path. The screen copy reads the source from it,
// not from a DC of the source window: under Wine the DC cache keeps one DC with its region and
// surface for each window of another process that a DC was taken of, long after that window is gone.
class CScreenDC : public CDC {
public:
    CScreenDC() { m_hDC = ::GetDC(nullptr); }
    ~CScreenDC() override
    {
        RestoreSelections();
        if (m_hDC)
            ::ReleaseDC(nullptr, m_hDC);
        m_hDC = nullptr;
    }
};

int LastError()
{
    return static_cast<int>(::GetLastError());
}

int MonitorCount()
{
    const CMultiDisplay* displays = CMultiDisplay::GetInstance();
    return displays ? displays->m_nMonitorCount : 1;
}

}  // namespace

BOOL Cthumbnail::WaitSourceIdle(DWORD processId, DWORD milliseconds)
{
    return ProcessIdle(processId, milliseconds);
}

bool Cthumbnail::TargetFor(SIZE copied, CaptureTarget* target)
{
    CRect client;
    GetClientRect(&client);
    return ComputeCaptureTarget(client.Size(), copied, m_nZoomX, m_nZoomY, target);
}

BOOL Cthumbnail::CaptureByPrintWindow()
{
    return ::IsWindow(m_hSource) && PrintSource(nullptr, false);
}

BOOL Cthumbnail::PrintSource(std::optional<RECT>* source, bool idleFirst)
{
    if (m_bComposition || !m_hWnd)
        return FALSE;
    if (!SourceOnThisThread())
        return PrintFromItsOwnThread(source, idleFirst);
    if (idleFirst) {
        RefreshPartTimer timer(&RefreshStepParts::idleWait);
        if (!WaitSourceIdle(m_entry.processId, 100))
            return FALSE;
    }
    RefreshPartTimer timer(&RefreshStepParts::capture);
    CRect window;
    if (!::GetWindowRect(m_hSource, &window))
        AfxTrace("●GetWindowRect() Error=%d\n", LastError());
    else if (source)
        *source = window;
    CaptureTarget target;
    if (!TargetFor(window.Size(), &target))
        return FALSE;

    CWindowDCOnDemand thumbDC(this);
    CCopyBuffer copy(thumbDC, window.Size());
    CDC* copyDC = copy.DC();
    if (!copyDC) {
        AfxTrace("●Create CreateCompatibleDC() Error=%d\n", LastError());
        return FALSE;
    }
    copyDC->FillSolidRect(CRect(0, 0, window.Width(), window.Height()), kThumbGrey);
    // Asked just before PrintWindow, which waits for the source's thread without a time-out.
    if (!SourceAnswers() || !m_hWnd)
        return FALSE;
    ::PrintWindow(m_hSource, *copyDC, 0);
    if (!m_hWnd || !StoreCapture(thumbDC, *copyDC, window.Size(), target, true))
        return FALSE;  // closed while the source drew itself, or no room for the image
    RemoveSourceTab();
    return TRUE;
}

BOOL Cthumbnail::PrintFromItsOwnThread(std::optional<RECT>* source, bool idleFirst)
{
    // One at a time: a print still under way holds its source up, and this step goes without.
    std::optional<RefreshPartTimer> timer;  // the print and its take-up, within this step
    if (!m_pPrint) {
        if (NoAnswerAMomentAgo())
            return FALSE;
        try {
            timer.emplace(&RefreshStepParts::capture);
            m_pPrint = PrintInBackground::Start(m_hSource, idleFirst ? m_entry.processId : 0, kThumbGrey, m_hWnd,
                                                WM_APP_THUMB_PRINTED);
        } catch (const std::exception&) {
            return FALSE;
        }
        m_pPrint->Wait(kPrintStall);  // lets sent messages in: one may close this thumbnail
        if (!m_hWnd)
            return FALSE;
    }
    return TakeUpPrint(source);
}

BOOL Cthumbnail::TakeUpPrint(std::optional<RECT>* source)
{
    const PrintOutcome outcome = m_pPrint ? m_pPrint->Outcome() : kPrintGoesOn;
    if (outcome == kPrintGoesOn)
        return FALSE;
    const std::shared_ptr<PrintInBackground> print = std::move(m_pPrint);
    AddToRefreshPart(&RefreshStepParts::idleWait, print->IdleWaitMs());
    AddToRefreshPart(&RefreshStepParts::answerCheck, print->AnswerCheckMs());
    if (outcome == kPrintNotIdle)
        return FALSE;
    m_bNoAnswer = outcome == kPrintNoAnswer;
    m_dwNoAnswerTick = print->AskedTick();
    if (outcome != kPrinted)
        return FALSE;
    const CRect window(print->Window());
    if (source)
        *source = window;
    CaptureTarget target;
    if (!TargetFor(window.Size(), &target))
        return FALSE;
    CWindowDCOnDemand thumbDC(this);
    CDC copy(print->ImageDC());
    if (!StoreCapture(thumbDC, copy, window.Size(), target, true))
        return FALSE;
    RemoveSourceTab();
    return TRUE;
}

LRESULT Cthumbnail::OnPrinted(WPARAM, LPARAM)
{
    // A print that its step did not wait for: its image shows now, and the source redraws as after
    // any capture of the refresh cycle.
    const bool normal = m_nState == THUMB_NORMAL;
    if (!TakeUpPrint(nullptr) || !m_hWnd)
        return 0;
    if (normal)
        ::InvalidateRect(m_hSource, nullptr, FALSE);
    Invalidate(TRUE);
    return 0;
}

BOOL Cthumbnail::CaptureByScreenCopy()
{
    return ::IsWindow(m_hSource) && CopySourceFromScreen(nullptr);
}

// The screen copy runs neither under composition nor for a source that does not answer.
BOOL Cthumbnail::CopySourceFromScreen(std::optional<RECT>* source)
{
    if (m_bComposition || !SourceAnswers() || !m_hWnd)
        return FALSE;
    CRect desktop, window;
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    if (::GetWindowRect(m_hSource, &window) && source)
        *source = window;
    // With several monitors or in layered mode the whole window counts, as it does for parking.
    ScreenCopyArea area;
    if (!ComputeScreenCopyArea(window, desktop, UseInPlaceParking(MonitorCount(), LayeredMode), &area))
        return FALSE;  // nothing of the source is on the screen
    CaptureTarget target;
    if (!TargetFor(area.size, &target))
        return FALSE;

    CWindowDCOnDemand thumbDC(this);
    CScreenDC screenDC;
    if (!screenDC.GetSafeHdc())
        return FALSE;
    CCopyBuffer copy(thumbDC, area.size);
    CDC* copyDC = copy.DC();
    if (!copyDC)
        return FALSE;
    copyDC->FillSolidRect(CRect(0, 0, area.size.cx, area.size.cy), kThumbGrey);
    copyDC->BitBlt(0, 0, area.size.cx, area.size.cy, &screenDC, window.left + area.offset.x, window.top + area.offset.y,
                   SRCCOPY | CAPTUREBLT);
    if (!StoreCapture(thumbDC, *copyDC, area.size, target, false))
        return FALSE;
    RemoveSourceTab();
    return TRUE;
}

BOOL Cthumbnail::StoreCapture(CWindowDCOnDemand& window, CDC& copy, SIZE copied, const CaptureTarget& target,
                              bool traceFailure)
{
    // An image of the same size is drawn over in place.
    const bool inPlace = m_bmpCapture.GetSafeHandle() && m_pImageDC && m_nBitmapWidth == target.size.cx &&
                         m_nBitmapHeight == target.size.cy;
    if (!inPlace) {
        CDC* windowDC = window.Get();
        CBitmap fresh;
        if (!windowDC || !fresh.CreateCompatibleBitmap(windowDC, target.size.cx, target.size.cy)) {
            if (traceFailure)
                AfxTrace("●Create CompatibleBitmap() Error=%d\n", LastError());
            return FALSE;  // the image there is stays
        }
        if (!m_pImageDC) {
            std::unique_ptr<CDC> made(new CDC);
            if (!made->CreateCompatibleDC(windowDC))
                return FALSE;
            m_pImageDC = std::move(made);
        }
        m_pImageDC->SelectObject(fresh);  // the previous image is out of the DC before it is deleted
        m_bmpCapture = std::move(fresh);
    }
    CDC* imageDC = m_pImageDC.get();
    if (target.size.cx == copied.cx && target.size.cy == copied.cy) {
        imageDC->BitBlt(0, 0, copied.cx, copied.cy, &copy, 0, 0, SRCCOPY);
    } else {
        imageDC->SetStretchBltMode(HALFTONE);
        ::SetBrushOrgEx(*imageDC, 0, 0, nullptr);  // HALFTONE needs the origin set after the mode
        imageDC->StretchBlt(0, 0, target.size.cx, target.size.cy, &copy, 0, 0, copied.cx, copied.cy, SRCCOPY);
    }
    m_nBitmapWidth = target.size.cx;
    m_nBitmapHeight = target.size.cy;
    m_dScaleX = target.scaleX;
    m_dScaleY = target.scaleY;
    return TRUE;
}

void Cthumbnail::ReleaseImage()
{
    m_pImageDC.reset();  // puts the DC's own bitmap back, so the image can go
    m_bmpCapture.DeleteObject();
}

void Cthumbnail::RemoveSourceTab()
{
    CTaskBarControl* taskBar = CTaskBarControl::GetInstance();
    // While the service's switch is off it removes nothing: no need to ask whether the source is still there.
    if (!taskBar || !taskBar->m_bEnableDeleteTab || !::IsWindow(m_hSource))
        return;
    if (!taskBar->DeleteTab(m_hSource))
        AfxMessageBox("タスクバーから削除でエラーが発生しました", MB_OK);
}

bool Cthumbnail::SourceOnThisThread()
{
    if (!m_dwSourceThread)
        m_dwSourceThread = ::GetWindowThreadProcessId(m_hSource, nullptr);
    return m_dwSourceThread == ::GetCurrentThreadId();
}

void Cthumbnail::RefreshThumbnail()
{
    HWND hwnd = m_hWnd;
    if (hwnd)
        ::SendMessageA(hwnd, WM_APP_THUMB_REFRESH, 0, 0);
}

LRESULT Cthumbnail::OnRefreshStep(WPARAM, LPARAM)
{
    // Calls to the source let sent messages in, and one of them may close this thumbnail: its window
    // is gone then (m_hWnd null), while the object lives on until this message returns.
    // The source's rectangle, when a capture of this step has read it.
    std::optional<RECT> source;
    // Nothing of a source whose park goes on: it is neither as it was nor parked yet.
    CheckPendingPark();
    if (m_pPark)
        return 0;
    const RefreshPath path =
        ChooseRefreshPath(m_nState, ::IsWindow(m_hSource), ::IsIconic(m_hSource), ::GetForegroundWindow() == m_hSource);
    switch (path) {
        case kRefreshNothing:
            return 0;
        case kRefreshPark:
            if (ParkMinimisedSource() && m_hWnd)
                CaptureParkedSource();
            return 0;
        case kRefreshParked:
            CheckParkedSource();
            if (!m_hWnd)
                return 0;
            // Put back because it was minimised again: parked again as a new minimise.
            if (m_nState == THUMB_PARKED || (ParkMinimisedSource() && m_hWnd))
                CaptureParkedSource();
            return 0;
        case kRefreshScreenCopy:
            CopySourceFromScreen(&source);
            if (!m_hWnd)
                return 0;
            if (!m_bComposition)
                ::InvalidateRect(m_hSource, nullptr, FALSE);
            break;
        case kRefreshPrintWindow: {
            // With composition the DWM draws the source: nothing to capture.
            if (m_bComposition)
                break;
            const BOOL captured = PrintSource(&source, true);
            if (!m_hWnd)
                return 0;
            if (!captured)
                break;  // a hung source would hold the redraw up
            {
                RefreshPartTimer timer(&RefreshStepParts::sourceRedraw);
                ::InvalidateRect(m_hSource, nullptr, FALSE);
                // A paint forced now would wait for the source's thread: another one paints when it gets to it.
                if (SourceOnThisThread())
                    ::RedrawWindow(m_hSource, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            }
            if (!m_hWnd)
                return 0;
            break;
        }
    }
    RefreshPartTimer timer(&RefreshStepParts::finish);
    if (source)
        TrackSourceRect(*source);
    else
        TrackSourceRect();
    if (m_hWnd)
        Invalidate(TRUE);
    return 0;
}

void Cthumbnail::CaptureParkedSource()
{
    if (::IsWindow(m_hSource))
        PrintSource(nullptr, true);
    if (m_hWnd)
        Invalidate(TRUE);
}

void Cthumbnail::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    const bool noImage =
        !m_bComposition && (m_nBitmapWidth == 0 || (m_nState != THUMB_NORMAL && m_nState != THUMB_PARKED));
    if (noImage) {
        dc.FillSolidRect(client, kThumbGrey);
        dc.SetBkColor(kThumbGrey);
        dc.DrawText(m_entry.title, m_entry.title.GetLength(), client, DT_SINGLELINE);
        return;
    }
    // An image without a size yet shows whole.
    const bool whole = (m_nZoomX == 100 && m_nZoomY == 100) || !ComputeView();
    if (m_bComposition) {
        // The live thumbnail shows; it only learns which part of the source to show.
        if (whole)
            ApplyFullViewToLive();
        else
            ApplyZoomViewToLive();
        return;
    }
    const CRect area = whole ? CRect(0, 0, m_nBitmapWidth, m_nBitmapHeight)
                             : CRect(m_nViewLeft, m_nViewTop, m_nViewLeft + m_nViewWidth, m_nViewTop + m_nViewHeight);
    CDC* image = m_pImageDC.get();
    if (!image)
        return;
    dc.SetStretchBltMode(HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    if (client.Size() == area.Size())
        dc.BitBlt(0, 0, area.Width(), area.Height(), image, area.left, area.top, SRCCOPY);
    else
        dc.StretchBlt(0, 0, client.Width(), client.Height(), image, area.left, area.top, area.Width(), area.Height(),
                      SRCCOPY);
}

BOOL Cthumbnail::OnEraseBkgnd(CDC* dc)
{
    if (m_bComposition) {
        CRect client;
        GetClientRect(&client);
        dc->FillSolidRect(client, m_crBackground);
    }
    return CWnd::OnEraseBkgnd(dc);
}
