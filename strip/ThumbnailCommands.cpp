// What the user does to one thumbnail besides hovering and zooming: the context menu, the double
// click that brings the source back, web reload and the clipboard copy. Every nested loop here (the
// menu, a message box, the interval dialog) may close the thumbnail: after one, only the window
// handle kept in a local is trusted, and the object is touched only while that window still exists.
#include "strip/Thumbnail.h"

#include "framework/App.h"
#include "framework/Clipboard.h"
#include "framework/Trace.h"
#include "res/resource.h"
#include "strip/SettingDialogs.h"
#include "strip/WebReload.h"

// ---- the context menu

void Cthumbnail::OnRButtonUp(UINT flags, CPoint point)
{
    HWND self = m_hWnd;
    ::SetForegroundWindow(self);
    POINT cursor = {0, 0};
    ::GetCursorPos(&cursor);
    CMenu menu;
    if (menu.LoadMenu(IDR_THUMB_POPUP)) {
        CMenu popup = menu.GetSubMenu(0);
        const ReloadMenuStates states = ReloadMenuFor(m_entry.processName, m_bWebReload);
        popup.EnableMenuItem(ID_THUMB_RELOAD_ON, MF_BYCOMMAND | states.on);
        popup.EnableMenuItem(ID_THUMB_RELOAD_OFF, MF_BYCOMMAND | states.off);
        popup.EnableMenuItem(ID_THUMB_RELOAD_INTERVAL, MF_BYCOMMAND | states.interval);
        // The chosen command comes back posted, as a message of its own.
        ::TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, self, nullptr);
    }
    if (StillThere(this, self))
        CWnd::OnRButtonUp(flags, point);
}

void Cthumbnail::PassToListener(void (CthumbnailListener::*command)(HWND))
{
    // The listener may close this thumbnail: nothing of it is used afterwards.
    if (m_pListener && ::IsWindow(m_hSource))
        (m_pListener->*command)(m_hSource);
}

void Cthumbnail::OnMenuArrange()
{
    if (m_pListener)
        m_pListener->arrange();
}

void Cthumbnail::OnMenuMoveToTop()
{
    PassToListener(&CthumbnailListener::moveToTop);
}

void Cthumbnail::OnMenuMoveForward()
{
    PassToListener(&CthumbnailListener::moveForward);
}

void Cthumbnail::OnMenuMoveBackward()
{
    PassToListener(&CthumbnailListener::moveBackward);
}

void Cthumbnail::OnMenuMoveToEnd()
{
    PassToListener(&CthumbnailListener::moveToEnd);
}

void Cthumbnail::OnMenuExclude()
{
    PassToListener(&CthumbnailListener::exclude);
}

// ---- activation

void Cthumbnail::OnLButtonDblClk(UINT flags, CPoint point)
{
    HWND self = m_hWnd;
    HWND source = m_hSource;
    if (!::IsWindow(source)) {
        CWnd::OnLButtonDblClk(flags, point);
        return;
    }
    // A park whose writes go on has it invisible and disabled: it is busy until they end.
    CheckPendingPark();
    if (!StillThere(this, self))
        return;
    // Asked afresh: a source that was busy a moment ago may answer now.
    if (m_pPark || !SourceAnswersNow()) {
        AfxMessageBox("対象のウィンドが現在ビジー状態です。操作をSkipしました", MB_OK);
        return;
    }
    if (m_nState == THUMB_PARKED) {
        // Put back, restored with a time-out, moved home; a taskbar error box may close us meanwhile.
        ReturnParkedSource();
        if (!StillThere(this, self))
            return;
    }
    ::SetForegroundWindow(source);
    if (StillThere(this, self))
        CWnd::OnLButtonDblClk(flags, point);
}

// ---- web reload

void Cthumbnail::OnMenuWebReloadOn()
{
    m_bWebReload = 1;
    SetTimer(IDT_WEB_RELOAD, kFirstReloadMs);
}

void Cthumbnail::OnMenuWebReloadOff()
{
    m_bWebReload = 0;
    m_bDisableAfterReload = false;
    KillTimer(IDT_WEB_RELOAD);
    // A style write waits for the source's thread: a hung source is left as it is.
    if (m_nState == THUMB_PARKED && ::IsWindow(m_hSource) && (::GetWindowLongA(m_hSource, GWL_STYLE) & WS_DISABLED) &&
        SourceAnswers()) {
        const DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hSource, GWL_STYLE));
        ::SetWindowLongA(m_hSource, GWL_STYLE, static_cast<LONG>(style & ~WS_DISABLED));
    }
}

void Cthumbnail::OnWebReloadTimer()
{
    HWND self = m_hWnd;
    KillTimer(IDT_WEB_RELOAD);
    DWORD owner = 0;
    const bool isWindow = ::IsWindow(m_hSource) != FALSE;
    if (isWindow)
        ::GetWindowThreadProcessId(m_hSource, &owner);
    if (ShouldPostReload(m_bWebReload, isWindow, owner, m_entry.processId))
        PostReloadKey();
    if (StillThere(this, self))
        SetTimer(IDT_WEB_RELOAD, ReloadPeriodMs(m_nReloadInterval));
}

void Cthumbnail::PostReloadKey()
{
    switch (BrowserOf(m_entry.processName)) {
        case kInternetExplorer:
            ReloadInternetExplorer();
            break;
        case kFirefox:
            if (HWND child = ::FindWindowExA(m_hSource, nullptr, nullptr, nullptr))
                ::PostMessageA(child, WM_KEYDOWN, VK_F5, 0);
            else
                AfxTrace("FindWindowEx Error\n");
            break;
        case kChrome: {
            HWND container = ::FindWindowExA(m_hSource, nullptr, "Chrome_ContainerWin_0", nullptr);
            if (!container) {
                AfxTrace("FindWindowEx Error\n");
                break;
            }
            if (HWND page = ::FindWindowExA(container, nullptr, "Chrome_RenderWidgetHostHWND", nullptr))
                ::PostMessageA(page, WM_KEYDOWN, VK_F5, 0);
            else
                AfxTrace("FindWindowEx Error2\n");
            break;
        }
        case kNotBrowser:
            break;
    }
}

void Cthumbnail::ReloadInternetExplorer()
{
    // While its park's writes go on the style is theirs: the next reload comes soon enough.
    if (m_pPark)
        return;
    // A parked window is disabled and would ignore the key: enabled for the moment around it.
    DisableAgainAfterReload();
    const DWORD before = static_cast<DWORD>(::GetWindowLongA(m_hSource, GWL_STYLE));
    const bool disabled = (before & WS_DISABLED) != 0;
    if (disabled) {
        if (!SourceAnswers())
            return;  // the style write would wait for a hung source
        ::SetWindowLongA(m_hSource, GWL_STYLE, static_cast<LONG>(before & ~WS_DISABLED));
    }
    ::PostMessageA(m_hSource, WM_KEYDOWN, VK_F5, 0);
    ::Sleep(100);
    // Only the bit cleared above goes back. A source that stopped answering meanwhile would hold up
    // the write: it is disabled again at the next check that gets an answer.
    if (disabled && ::IsWindow(m_hSource)) {
        if (SourceAnswers()) {
            const DWORD now = static_cast<DWORD>(::GetWindowLongA(m_hSource, GWL_STYLE));
            ::SetWindowLongA(m_hSource, GWL_STYLE, static_cast<LONG>(StyleAfterReload(before, now)));
        } else {
            m_bDisableAfterReload = true;
        }
    }
    AfxTrace("KEY SEND EVENT\n");
}

void Cthumbnail::DisableAgainAfterReload()
{
    if (!m_bDisableAfterReload)
        return;
    // Put back meanwhile, it has its own style again.
    if (m_nState != THUMB_PARKED || !::IsWindow(m_hSource)) {
        m_bDisableAfterReload = false;
        return;
    }
    if (!SourceAnswers())
        return;
    m_bDisableAfterReload = false;
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(m_hSource, GWL_STYLE));
    ::SetWindowLongA(m_hSource, GWL_STYLE, static_cast<LONG>(style | WS_DISABLED));
}

void Cthumbnail::OnMenuReloadInterval()
{
    HWND self = m_hWnd;
    CUpdateIntervalDlg dlg(nullptr);
    dlg.m_nSeconds = ClampReloadInterval(m_nReloadInterval);
    const INT_PTR result = dlg.DoModal();
    // The thumbnail may have been closed while the dialog was open.
    if (result != IDOK || !StillThere(this, self))
        return;
    m_nReloadInterval = ClampReloadInterval(dlg.m_nSeconds);
    if (m_bWebReload == 1) {
        KillTimer(IDT_WEB_RELOAD);
        SetTimer(IDT_WEB_RELOAD, kFirstReloadMs);
    }
}

// ---- the clipboard

BOOL Cthumbnail::CapturePicture(CBitmap& bitmap)
{
    CRect client;
    GetClientRect(&client);
    const int width = client.Width(), height = client.Height();
    if (!m_hWnd || width <= 0 || height <= 0)
        return FALSE;
    CClientDC windowDC(this);
    CDC memory;
    if (!memory.CreateCompatibleDC(&windowDC) || !bitmap.CreateCompatibleBitmap(&windowDC, width, height))
        return FALSE;
    memory.SelectObject(bitmap);
    if (!m_bComposition || !m_hThumbnail) {
        const BOOL copied = memory.BitBlt(0, 0, width, height, &windowDC, 0, 0, SRCCOPY);
        memory.RestoreSelections();
        return copied;
    }
    // The DWM draws a live thumbnail outside the window's own surface: the source is captured
    // instead, in the part the thumbnail shows.
    CRect window;
    if (!::IsWindow(m_hSource) || !::GetWindowRect(m_hSource, &window) || window.Width() <= 0 || window.Height() <= 0) {
        memory.RestoreSelections();
        return FALSE;
    }
    CBitmap whole;  // before the DC that selects it
    CDC sourceDC;
    if (!sourceDC.CreateCompatibleDC(&windowDC) ||
        !whole.CreateCompatibleBitmap(&windowDC, window.Width(), window.Height())) {
        memory.RestoreSelections();
        return FALSE;
    }
    sourceDC.SelectObject(whole);
    sourceDC.FillSolidRect(CRect(0, 0, window.Width(), window.Height()), kThumbGrey);
    // PrintWindow waits for the source's thread without a time-out: asked first, as late as can be.
    if (!SourceAnswersNow() || !m_hWnd) {
        sourceDC.RestoreSelections();
        memory.RestoreSelections();
        return FALSE;
    }
    ::PrintWindow(m_hSource, sourceDC, 0);
    RECT view = m_rcLiveSource;
    if (view.right <= view.left || view.bottom <= view.top)
        view = {0, 0, window.Width(), window.Height()};
    memory.SetStretchBltMode(HALFTONE);
    ::SetBrushOrgEx(memory, 0, 0, nullptr);
    const BOOL copied = memory.StretchBlt(0, 0, width, height, &sourceDC, view.left, view.top, view.right - view.left,
                                          view.bottom - view.top, SRCCOPY);
    sourceDC.RestoreSelections();
    memory.RestoreSelections();
    return copied;
}

void Cthumbnail::CopyToClipboard()
{
    CBitmap bitmap;
    if (!CapturePicture(bitmap))
        return;
    // A bitmap the clipboard does not take is freed with the local object.
    if (!AfxSetClipboardBitmap(m_hWnd, bitmap))
        AfxTrace("CopyToClipboard Error=%d\n", static_cast<int>(::GetLastError()));
}

void Cthumbnail::OnMenuCopy()
{
    CopyToClipboard();
}
