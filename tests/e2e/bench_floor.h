#pragma once
// The floors' own thumbnails, shared by the in-process benches and the idle floor program: a
// window like a thumbnail (the same class styles, layered, at the bottom of the z-order) and one
// refresh step of a background source made of exactly the calls it requires, on buffers kept for
// the whole run. Nothing here comes from the program's code.
#include <windows.h>

#include <string>

namespace floorthumb {

const COLORREF kGrey = RGB(200, 200, 200);

struct Thumb {
    HWND hwnd = nullptr;
    HWND source = nullptr;
    DWORD processId = 0;
    std::string title;
    SIZE size = {0, 0};        // the client size
    SIZE sourceSize = {0, 0};  // the source's, as the last step read it
    HDC imageDC = nullptr;     // the image, selected here for the whole run; null until made
    HBITMAP image = nullptr;
    HGDIOBJ oldImage = nullptr;
    bool captured = false;
    HBITMAP literalImage = nullptr;  // the literal recipe's image of its last step, painted instead
};

inline HBRUSH GreyBrush()
{
    static const HBRUSH brush = ::CreateSolidBrush(kGrey);
    return brush;
}

// As a thumbnail paints: its image with one BitBlt, or the grey and the title before the first capture.
inline LRESULT CALLBACK ThumbProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        Thumb* t = reinterpret_cast<Thumb*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        if (t && t->literalImage) {
            HDC image = ::CreateCompatibleDC(dc);
            HGDIOBJ old = ::SelectObject(image, t->literalImage);
            ::SetStretchBltMode(dc, HALFTONE);
            ::SetBrushOrgEx(dc, 0, 0, nullptr);
            ::BitBlt(dc, 0, 0, t->size.cx, t->size.cy, image, 0, 0, SRCCOPY);
            ::SelectObject(image, old);
            ::DeleteDC(image);
        } else if (t && t->captured) {
            ::BitBlt(dc, 0, 0, t->size.cx, t->size.cy, t->imageDC, 0, 0, SRCCOPY);
        } else if (t) {
            RECT all = {0, 0, t->size.cx, t->size.cy};
            ::FillRect(dc, &all, GreyBrush());
            ::SetBkColor(dc, kGrey);
            ::DrawTextA(dc, t->title.c_str(), static_cast<int>(t->title.size()), &all, DT_SINGLELINE);
        }
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

// Opens t's window at rect, at the bottom of the z-order as a thumbnail at rest is.
inline void Open(Thumb& t, const RECT& rect)
{
    static const ATOM atom = [] {
        WNDCLASSA wc = {};
        wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = ThumbProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "KvFloorThumb";
        return ::RegisterClassA(&wc);
    }();
    (void)atom;
    t.size = {rect.right - rect.left, rect.bottom - rect.top};
    t.hwnd = ::CreateWindowExA(WS_EX_WINDOWEDGE | WS_EX_LAYERED | WS_EX_TOOLWINDOW, "KvFloorThumb", "",
                               WS_POPUP | WS_VISIBLE, rect.left, rect.top, t.size.cx, t.size.cy, nullptr, nullptr,
                               ::GetModuleHandleA(nullptr), nullptr);
    ::SetWindowLongPtrA(t.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&t));
    ::SetLayeredWindowAttributes(t.hwnd, 0, 255, LWA_ALPHA);
    ::SetWindowPos(t.hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

inline void Close(Thumb& t)
{
    if (t.hwnd)
        ::DestroyWindow(t.hwnd);
    if (t.imageDC) {
        ::SelectObject(t.imageDC, t.oldImage);
        ::DeleteDC(t.imageDC);
        ::DeleteObject(t.image);
    }
    if (t.literalImage)
        ::DeleteObject(t.literalImage);
    t = Thumb();
}

// The copy of a source, kept for the whole run at the largest source's size.
class CopyBuffer {
public:
    CopyBuffer() = default;
    ~CopyBuffer()
    {
        if (!m_dc)
            return;
        ::SelectObject(m_dc, m_old);
        ::DeleteDC(m_dc);
        ::DeleteObject(m_bitmap);
    }
    CopyBuffer(const CopyBuffer&) = delete;
    CopyBuffer& operator=(const CopyBuffer&) = delete;

    // Made once, before the measured steps, for sources of up to size.
    void Prepare(HWND compatible, SIZE size)
    {
        HDC dc = ::GetDC(compatible);
        m_dc = ::CreateCompatibleDC(dc);
        m_bitmap = ::CreateCompatibleBitmap(dc, size.cx, size.cy);
        m_old = ::SelectObject(m_dc, m_bitmap);
        ::ReleaseDC(compatible, dc);
    }
    HDC DC() const { return m_dc; }

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
};

// t's image at its client size, made once with its DC set for the HALFTONE stretch; the source's
// size read once.
inline void PrepareImage(Thumb& t)
{
    RECT source;
    ::GetWindowRect(t.source, &source);
    t.sourceSize = {source.right - source.left, source.bottom - source.top};
    HDC dc = ::GetDC(t.hwnd);
    t.imageDC = ::CreateCompatibleDC(dc);
    t.image = ::CreateCompatibleBitmap(dc, t.size.cx, t.size.cy);
    t.oldImage = ::SelectObject(t.imageDC, t.image);
    ::SetStretchBltMode(t.imageDC, HALFTONE);
    ::SetBrushOrgEx(t.imageDC, 0, 0, nullptr);
    ::ReleaseDC(t.hwnd, dc);
}

inline bool SourceIdle(DWORD processId)
{
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, processId);
    if (!process)
        return false;
    const DWORD idle = ::WaitForInputIdle(process, 100);
    ::CloseHandle(process);
    return idle == 0;
}

// The capture's own thread, kept for the run: a step hands it the source and waits for it, so that a
// source busy in its work would hold up that thread, not the program.
class CaptureThread {
public:
    CaptureThread() { m_thread = ::CreateThread(nullptr, 0, &Run, this, 0, nullptr); }
    CaptureThread(const CaptureThread&) = delete;
    CaptureThread& operator=(const CaptureThread&) = delete;

    // On the thread: the idle wait, the fill, the answer check and PrintWindow into copy.
    bool Capture(const Thumb& t, HDC copy, SIZE size)
    {
        m_thumb = &t;
        m_copy = copy;
        m_size = size;
        ::SetEvent(m_wake);
        ::WaitForSingleObject(m_done, INFINITE);
        return m_captured;
    }

private:
    static DWORD WINAPI Run(void* context)
    {
        CaptureThread* self = static_cast<CaptureThread*>(context);
        for (;;) {
            ::WaitForSingleObject(self->m_wake, INFINITE);
            self->m_captured = self->CaptureHere();
            ::SetEvent(self->m_done);
        }
    }
    bool CaptureHere() const
    {
        if (!SourceIdle(m_thumb->processId))
            return false;
        const RECT all = {0, 0, m_size.cx, m_size.cy};
        ::FillRect(m_copy, &all, GreyBrush());
        DWORD_PTR answer = 0;
        if (!::SendMessageTimeoutA(m_thumb->source, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &answer))
            return false;
        ::PrintWindow(m_thumb->source, m_copy, 0);
        return true;
    }

    HANDLE m_wake = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE m_done = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE m_thread = nullptr;
    const Thumb* m_thumb = nullptr;
    HDC m_copy = nullptr;
    SIZE m_size = {0, 0};
    bool m_captured = false;
};

// One refresh step of a background source, call by call: on the capture's thread the idle wait, the
// fill, the answer check and PrintWindow; then the stretch into the kept image, the source
// invalidated (it is another thread's, which paints when it gets to it), its rectangle read and the
// thumbnail invalidated. Its paint follows when the caller updates the window. The capture takes the
// source's size that the last step read (the copy buffer holds the largest). True when it captured.
inline bool Step(Thumb& t, CopyBuffer& copy)
{
    // Never destroyed: its thread waits for the next step until the program ends.
    static CaptureThread& thread = *new CaptureThread;
    const SIZE sourceSize = t.sourceSize;
    if (!thread.Capture(t, copy.DC(), sourceSize))
        return false;
    ::StretchBlt(t.imageDC, 0, 0, t.size.cx, t.size.cy, copy.DC(), 0, 0, sourceSize.cx, sourceSize.cy, SRCCOPY);
    t.captured = true;
    ::InvalidateRect(t.source, nullptr, FALSE);
    RECT now;
    ::GetWindowRect(t.source, &now);
    t.sourceSize = {now.right - now.left, now.bottom - now.top};
    ::InvalidateRect(t.hwnd, nullptr, TRUE);
    return true;
}

}  // namespace floorthumb
