#pragma once
// Cthumbnail: one borderless layered tool popup that shows one source window in one slot of the
// strip. The control page creates it with new and ends it through the close protocol: it writes
// m_nPrevState := m_nState, then m_nState := THUMB_CLOSE or THUMB_CLOSE_ANIMATED, calls
// DestroyWindow and never touches the pointer again. The thumbnail deletes itself.
#include <windows.h>
#include <dwmapi.h>

#include <memory>
#include <optional>

#include "framework/Gdi.h"
#include "framework/Wnd.h"
#include "strip/ParkedWindow.h"
#include "strip/PrintInBackground.h"
#include "strip/ThumbnailState.h"
#include "strip/ThumbnailListener.h"
#include "tracking/WindowEntry.h"

const UINT_PTR IDT_THUMB_POLL = 104;
const UINT_PTR IDT_WEB_RELOAD = 110;

// The refresh step runs inside a message of the thumbnail's own, so that a close let in by the
// step's calls to the source waits until the step is over.
const UINT WM_APP_THUMB_REFRESH = WM_APP + 2;
// A print of the source on a thread of its own has ended.
const UINT WM_APP_THUMB_PRINTED = WM_APP + 4;

// How long a refresh step waits for a print on a thread of its own before it goes on without it:
// one that answers at once shows in its step, a busy one later.
const DWORD kPrintStall = 100;

struct CaptureTarget;
class CWindowDCOnDemand;

// Grey of the opening and closing animations and of a thumbnail without an image.
const COLORREF kThumbGrey = 0xC8C8C8;

// After a nested loop (menu, message box, dialog, send to a window) that may have closed wnd: its
// window is still the one it had before.
inline bool StillThere(const CWnd* wnd, HWND self)
{
    return self && wnd->m_hWnd == self && ::IsWindow(self);
}

class Cthumbnail : public CWnd {
public:
    Cthumbnail(WindowEntry entry, RECT slot, BYTE alpha, CthumbnailListener* listener);
    ~Cthumbnail() override;

    // The second half of the close protocol: the object is gone when this returns. Safe on a
    // thumbnail whose window could not be created or has gone already.
    BOOL DestroyWindow() override;

    // Placement, opacity, z-order and frame.
    void SetSlot(RECT slot);
    // SetSlot without the move, for a caller that places several thumbnails at once: the whole
    // view, and in *window where the thumbnail goes; FALSE when it stays as it is.
    BOOL TakeSlot(RECT slot, RECT* window);
    void FitToSlot(RECT source, BOOL move);
    // The refresh step calls it: refits when the source's rectangle changed since the last refit;
    // given the rectangle, when the step has read it already.
    void TrackSourceRect();
    void TrackSourceRect(const RECT& source);
    void RefitToSource();
    void ApplyAlpha();
    void SetAlpha(BYTE alpha);
    // Topmost with the frame while m_bHover or m_bHoverKey is set, else at the bottom. The hover
    // hot key writes m_bHoverKey on every thumbnail, then calls this.
    void SetZOrder();
    void SetFrame(BOOL on);
    void ApplyFrameSetting();

    // Zoom and pan.
    void ResetZoom();
    void ZoomBy(int dx, int dy);
    void PanBy(int dx, int dy);
    // The view for this paint, the pan clamped to the image; FALSE when the image has no size
    // yet, and the whole view shows.
    BOOL ComputeView();

    // Parking of a minimised source.
    void SaveSourceState();
    // TRUE when the source is parked; FALSE, with only its state saved, when it is not minimised
    // or does not answer (the refresh cycle tries again).
    BOOL ParkSourceWindow();
    bool ParkGoesOn() const { return m_pPark != nullptr; }
    // A park whose writes outlasted the wait for them is taken up once they have ended: TRUE when
    // that parked the source.
    BOOL CheckPendingPark();
    // restored: left restored at its normal position instead (honoured while put back together).
    // A source that does not answer within answerMs is put back without a wait for it.
    void UnparkSourceWindow(bool restored = false, DWORD answerMs = 1000);
    void RestoreSourcePosition();
    // Reads the source's rectangle afresh.
    BOOL IsSourceOnScreen();
    // The refresh step's parking work. In THUMB_NORMAL with a minimised source: waits 200 ms, once
    // per minimise, then parks it if it is still minimised and answers (m_nState := THUMB_PARKED);
    // TRUE when parked.
    BOOL ParkMinimisedSource();
    // In THUMB_PARKED, from the poll and the refresh step: a source the user brought to the front
    // (a change to the foreground, not one that stayed there while minimised) comes back as a double
    // click brings it; one minimised again is put back (THUMB_NORMAL, so the
    // refresh cycle parks it again); an off-screen parked source back on the screen gets its own
    // styles back and the thumbnail returns to THUMB_NORMAL.
    void CheckParkedSource();
    // What the double click does to a parked source: put back, restored, at its normal position.
    void ReturnParkedSource();

    // The live DWM thumbnail.
    void RegisterLiveThumbnail();
    void UnregisterLiveThumbnail();
    void AdjustToSourceAspect();
    void SetSourceRect(RECT r);
    void ApplyFullViewToLive();
    void ApplyZoomViewToLive();

    // The captured image and the refresh step. A capture is TRUE when it took a new image; one that
    // finds the source hung, or nothing of it to take, keeps the image there is.
    BOOL WaitSourceIdle(DWORD processId, DWORD milliseconds);
    BOOL CaptureByPrintWindow();
    BOOL CaptureByScreenCopy();
    // One refresh step; the thumbnail may be gone when it returns.
    void RefreshThumbnail();

    // The thumbnail's commands (ThumbnailCommands.cpp). The picture the user sees goes to the
    // clipboard as CF_BITMAP; nothing when the thumbnail has no area.
    void CopyToClipboard();
    // The picture of the client area as the user sees it, client-sized; FALSE when there is none.
    BOOL CapturePicture(CBitmap& bitmap);

    CthumbnailListener* m_pListener;
    WindowEntry m_entry;
    RECT m_rcSlot;
    int m_nFitWidth;
    int m_nFitHeight;
    BYTE m_byAlpha;
    int m_bWebReload;
    int m_nReloadInterval;
    DWORD m_dwSavedStyle;
    DWORD m_dwSavedExStyle;
    HWND m_hSource;
    RECT m_rcLastSource;
    int m_nBitmapWidth;
    int m_nBitmapHeight;
    CBitmap m_bmpCapture;
    // A memory DC with m_bmpCapture selected, kept with the image: the captures draw into it and
    // painting copies from it. After m_bmpCapture, so that it lets go of the image first.
    std::unique_ptr<CDC> m_pImageDC;
    double m_dScaleX;
    double m_dScaleY;
    int m_bHover;
    int m_bHoverKey;
    RECT m_rcSourceWindow;
    RECT m_rcDesktop;
    int m_nState;
    int m_nPrevState;
    WINDOWPLACEMENT m_wpSaved;
    int m_nZoomX, m_nZoomY;
    int m_nViewWidth, m_nViewHeight, m_nViewLeft, m_nViewTop;
    int m_nPanX, m_nPanY;
    int m_bDragging;
    POINT m_ptDragLast;
    double m_dDragRemX, m_dDragRemY;
    HTHUMBNAIL m_hThumbnail;
    BOOL m_bComposition;
    RECT m_rcLiveSource;
    COLORREF m_crBackground;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

    void OnPaint();
    void OnSize(UINT type, int cx, int cy);
    LRESULT OnNcHitTest(CPoint point);
    void OnMouseMove(UINT flags, CPoint point);
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    BOOL OnEraseBkgnd(CDC* dc);
    LRESULT OnCompositionChanged(WPARAM wParam, LPARAM lParam);
    LRESULT OnRefreshStep(WPARAM wParam, LPARAM lParam);
    LRESULT OnPrinted(WPARAM wParam, LPARAM lParam);
    void OnRButtonUp(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnMenuArrange();
    void OnMenuMoveToTop();
    void OnMenuMoveForward();
    void OnMenuMoveBackward();
    void OnMenuMoveToEnd();
    void OnMenuCopy();
    void OnMenuExclude();
    void OnMenuWebReloadOn();
    void OnMenuWebReloadOff();
    void OnMenuReloadInterval();

    DECLARE_MESSAGE_MAP()

private:
    void OnCreateWindow();
    void KeepZOrderPlace(WINDOWPOS* pos);
    void NoteZOrderChange(UINT message, LPARAM lParam);
    BOOL MoveWholeThumbnail(LPARAM point);
    void FillForAnimation(HDC dc);
    // Web reload (ThumbnailCommands.cpp).
    void OnWebReloadTimer();
    void PostReloadKey();
    void ReloadInternetExplorer();
    // A parked source left enabled by a reload it stopped answering in is disabled once it answers.
    void DisableAgainAfterReload();
    // The strip command for the source, when there is a listener and the source is still a window.
    void PassToListener(void (CthumbnailListener::*command)(HWND));
    void PutBackSource();
    void SaveStylesAndPlacement();
    void PollSource();
    bool AboveOrdinaryWindow() const;
    void WriteBackSourceStyles();
    // Takes up the ended park: TRUE, in THUMB_PARKED, when the source is parked.
    BOOL EndPark();
    // Asks the source, 1000 ms at most; a source that did not answer a moment ago is not asked again
    // for a while, so a hung one costs one wait, not one per step.
    BOOL SourceAnswers() const;
    // It did not answer within the pause before it is asked again.
    bool NoAnswerAMomentAgo() const;
    // What a user action asks: always afresh, 1000 ms at most.
    BOOL SourceAnswersNow() const;
    ParkedState SavedState() const;
    // The two captures of a source that the caller has just found to be a window; *source gets the
    // rectangle they read, when they could read it. idleFirst: only once the source's process is idle.
    // A source of another thread is printed on a thread of its own: FALSE while that goes on, and its
    // image shows once it has ended.
    BOOL PrintSource(std::optional<RECT>* source, bool idleFirst);
    BOOL PrintFromItsOwnThread(std::optional<RECT>* source, bool idleFirst);
    // Stores the image of the ended print: TRUE when there was one.
    BOOL TakeUpPrint(std::optional<RECT>* source);
    BOOL CopySourceFromScreen(std::optional<RECT>* source);
    // The image's size and scale for a copy of `copied` at this client size and zoom; false when
    // there is nothing to show.
    bool TargetFor(SIZE copied, CaptureTarget* target);
    BOOL StoreCapture(CWindowDCOnDemand& window, CDC& copy, SIZE copied, const CaptureTarget& target,
                      bool traceFailure);
    // The image and its DC go together.
    void ReleaseImage();
    void RemoveSourceTab();
    // The redraw after a capture is forced only for a source of this thread.
    bool SourceOnThisThread();
    void CaptureParkedSource();
    void DragStep(UINT flags, CPoint point);
    void EndDrag();

    RECT m_rcSeenRestored = {0, 0, 0, 0};  // the source on the last poll that found it not minimised
    BOOL m_bSeenRestored = FALSE;
    BOOL m_bSeenMaximised = FALSE;                // maximised on the last poll that found it not minimised
    BOOL m_bNormalUnknown = FALSE;                // m_wpSaved's normal position waits for the restored rectangle
    bool m_bParkWaited = false;                   // this minimise has had its one wait before parking
    std::shared_ptr<ParkInBackground> m_pPark;    // the park whose writes go on
    std::shared_ptr<PrintInBackground> m_pPrint;  // the print not yet taken up
    bool m_bParkedForeground = false;             // the parked source was the foreground window at the last look
    bool m_bDisableAfterReload = false;           // a reload left the parked source enabled: it did not answer
    mutable bool m_bNoAnswer = false;             // the source did not answer at m_dwNoAnswerTick
    mutable DWORD m_dwNoAnswerTick = 0;
    COLORREF m_crSavedKey = 0;  // the source's own layered attributes, put back with its styles
    BYTE m_bySavedAlpha = 255;
    DWORD m_dwSavedLayeredFlags = LWA_ALPHA;
    bool m_bAdjustingAspect = false;  // the aspect's own move must not adjust again from WM_SIZE
    int m_nZOrderChecks = 0;          // poll ticks left that look beneath the thumbnail
    DWORD m_dwSourceThread = 0;       // the source's thread, once asked (a window keeps its thread)

    bool m_bConstructing;    // a window that fails during CreateEx must not delete the object under new
    bool m_bCloseRequested;  // DestroyWindow ran: the object may delete itself
    bool m_bSourcePutBack;   // the parked source has been put back already
};
