// The in-process half of the refresh benchmark, started by the harness's KV_BENCH(refresh_step)
// once the helper's sources are open:
//   kv_refresh_bench.exe SOURCES RESULT_FILE
// Puts a thumbnail of each source into a control page of exactly SOURCES slots (no idle step) and
// times the page's own refresh step with the paint it causes against its floor: the flat sequence
// of the calls that one step of a background source requires (idle wait, answer check, a bitmap
// of the source's size filled grey, PrintWindow, a new image of the thumbnail's size with the
// HALFTONE stretch, the source redrawn, its rectangle read, the thumbnail painted), on the same
// source in the same round. The step's parts are timed inside the step. Then it counts GDI
// objects and working set after 10 and 1000 steps.
// Writes "key value" lines to RESULT_FILE (medians of the rounds, except the parts: means); the
// exit code is 0 when every source was found.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "desktop/TaskBarControl.h"
#include "strip/ControlDlg.h"
#include "strip/RefreshProbe.h"
#include "strip/Thumbnail.h"
#include "bench_clock.h"

namespace {

double WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// The floor's thumbnail: a layered popup like a thumbnail, painting its image with one BitBlt.
struct FloorThumb {
    HWND hwnd = nullptr;
    HBITMAP image = nullptr;
    HWND source = nullptr;
    DWORD processId = 0;
};

LRESULT CALLBACK FloorProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        FloorThumb* f = reinterpret_cast<FloorThumb*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        if (f && f->image) {
            RECT client;
            ::GetClientRect(hwnd, &client);
            HDC image = ::CreateCompatibleDC(dc);
            HGDIOBJ old = ::SelectObject(image, f->image);
            ::SetStretchBltMode(dc, HALFTONE);
            ::SetBrushOrgEx(dc, 0, 0, nullptr);
            ::BitBlt(dc, 0, 0, client.right, client.bottom, image, 0, 0, SRCCOPY);
            ::SelectObject(image, old);
            ::DeleteDC(image);
        }
        ::EndPaint(hwnd, &ps);
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

// One refresh step of a background source as the behaviour asks for it, call by call.
void FloorStep(FloorThumb& f)
{
    HWND source = f.source;
    if (!::IsWindow(source) || ::IsIconic(source) || ::GetForegroundWindow() == source)
        return;
    HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, f.processId);
    if (!process)
        return;
    const DWORD idle = ::WaitForInputIdle(process, 100);
    ::CloseHandle(process);
    if (idle != 0)
        return;
    if (::IsWindow(source)) {
        HDC dc = ::GetDC(f.hwnd);
        RECT window;
        ::GetWindowRect(source, &window);
        const int sw = window.right - window.left, sh = window.bottom - window.top;
        HBITMAP copy = ::CreateCompatibleBitmap(dc, sw, sh);
        HDC copyDC = ::CreateCompatibleDC(dc);
        HGDIOBJ oldCopy = ::SelectObject(copyDC, copy);
        HBRUSH grey = ::CreateSolidBrush(kThumbGrey);
        const RECT all = {0, 0, sw, sh};
        ::FillRect(copyDC, &all, grey);
        DWORD_PTR result = 0;
        ::SendMessageTimeoutA(source, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result);
        ::PrintWindow(source, copyDC, 0);
        RECT client;
        ::GetClientRect(f.hwnd, &client);
        HBITMAP image = ::CreateCompatibleBitmap(dc, client.right, client.bottom);
        HDC imageDC = ::CreateCompatibleDC(dc);
        HGDIOBJ oldImage = ::SelectObject(imageDC, image);
        ::SetStretchBltMode(imageDC, HALFTONE);
        ::SetBrushOrgEx(imageDC, 0, 0, nullptr);
        ::StretchBlt(imageDC, 0, 0, client.right, client.bottom, copyDC, 0, 0, sw, sh, SRCCOPY);
        ::SelectObject(imageDC, oldImage);
        ::SelectObject(copyDC, oldCopy);
        ::DeleteDC(imageDC);
        ::DeleteDC(copyDC);
        ::DeleteObject(copy);
        ::DeleteObject(grey);
        if (f.image)
            ::DeleteObject(f.image);
        f.image = image;
        ::ReleaseDC(f.hwnd, dc);
    }
    ::InvalidateRect(source, nullptr, FALSE);
    ::RedrawWindow(source, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT now;
    ::GetWindowRect(source, &now);
    ::InvalidateRect(f.hwnd, nullptr, TRUE);
}

// The former baseline: PrintWindow into a ready bitmap of the source's size, then the stretch.
class BareCapture {
public:
    BareCapture(SIZE source, SIZE target) : m_source(source), m_target(target)
    {
        m_screen = ::GetDC(nullptr);
        m_sourceDC = ::CreateCompatibleDC(m_screen);
        m_targetDC = ::CreateCompatibleDC(m_screen);
        m_sourceBitmap = ::CreateCompatibleBitmap(m_screen, source.cx, source.cy);
        m_targetBitmap = ::CreateCompatibleBitmap(m_screen, target.cx, target.cy);
        m_oldSource = ::SelectObject(m_sourceDC, m_sourceBitmap);
        m_oldTarget = ::SelectObject(m_targetDC, m_targetBitmap);
        ::SetStretchBltMode(m_targetDC, HALFTONE);
        ::SetBrushOrgEx(m_targetDC, 0, 0, nullptr);
    }
    ~BareCapture()
    {
        ::SelectObject(m_sourceDC, m_oldSource);
        ::SelectObject(m_targetDC, m_oldTarget);
        ::DeleteObject(m_sourceBitmap);
        ::DeleteObject(m_targetBitmap);
        ::DeleteDC(m_sourceDC);
        ::DeleteDC(m_targetDC);
        ::ReleaseDC(nullptr, m_screen);
    }
    BareCapture(const BareCapture&) = delete;
    BareCapture& operator=(const BareCapture&) = delete;

    void Run(HWND source)
    {
        ::PrintWindow(source, m_sourceDC, 0);
        ::StretchBlt(m_targetDC, 0, 0, m_target.cx, m_target.cy, m_sourceDC, 0, 0, m_source.cx, m_source.cy, SRCCOPY);
    }

private:
    SIZE m_source, m_target;
    HDC m_screen, m_sourceDC, m_targetDC;
    HBITMAP m_sourceBitmap, m_targetBitmap;
    HGDIOBJ m_oldSource, m_oldTarget;
};

RECT SlotRect(int i, int sources)
{
    // Up to 8 a row along the bottom; 64 sources take smaller slots to stay on the screen.
    const int w = sources > 16 ? 80 : 160, h = sources > 16 ? 60 : 120;
    const int perRow = 1280 / w;
    const int top = 1004 - h * ((sources + perRow - 1) / perRow);
    return {w * (i % perRow), top + h * (i / perRow), w * (i % perRow) + w, top + h * (i / perRow) + h};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: kv_refresh_bench.exe SOURCES RESULT_FILE\n");
        return 2;
    }
    const int sourceCount = std::max(1, atoi(argv[1]));
    const std::vector<HWND> sources = FindNumberedWindows("bench source ", sourceCount);
    if (sources.empty())
        return 1;
    FILE* out = fopen(argv[2], "w");
    if (!out)
        return 2;
    // As the control page keeps it: the service never removes a taskbar button.
    if (CTaskBarControl* taskBar = CTaskBarControl::GetInstance())
        taskBar->m_bEnableDeleteTab = 0;

    // A window of our own in front, so that every source is captured as one behind it.
    HWND front = ::CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "bench front", WS_POPUP | WS_VISIBLE, 1180, 40, 80, 40,
                                   nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SetForegroundWindow(front);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KvFloorThumb";
    ::RegisterClassA(&wc);

    CControlDlg page;  // no window: the grid, the index and the step are all the benchmark needs
    std::vector<FloorThumb> floors(sourceCount);
    for (int i = 0; i < sourceCount; ++i) {
        ThumbSlot slot;
        slot.rect = SlotRect(i, sourceCount);
        slot.entry.hwnd = sources[i];
        ::GetWindowThreadProcessId(sources[i], &slot.entry.processId);
        slot.entry.title = ("bench source " + std::to_string(i)).c_str();
        slot.entry.processName = "kv_helper.exe";
        slot.used = 1;
        slot.thumbnail = new Cthumbnail(slot.entry, slot.rect, 255, &page);
        page.m_slots.push_back(slot);

        RECT thumb;
        ::GetWindowRect(slot.thumbnail->m_hWnd, &thumb);
        FloorThumb& f = floors[i];
        f.source = sources[i];
        f.processId = slot.entry.processId;
        f.hwnd = ::CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW, "KvFloorThumb", "", WS_POPUP | WS_VISIBLE,
                                   thumb.left, thumb.top - 300, thumb.right - thumb.left, thumb.bottom - thumb.top,
                                   nullptr, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrA(f.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&f));
        ::SetLayeredWindowAttributes(f.hwnd, 0, 255, LWA_ALPHA);
    }
    ::SetForegroundWindow(front);
    Pump();

    // One step: the page picks the next thumbnail, which captures and stretches; then it paints.
    auto step = [&]() -> int {
        const int slot = page.m_nRefreshIndex;
        page.RefreshNextThumbnail();
        ::UpdateWindow(page.m_slots[slot].thumbnail->m_hWnd);
        return slot;
    };
    for (int i = 0; i < sourceCount; ++i) {
        step();  // warm-up
        FloorStep(floors[i]);
        ::UpdateWindow(floors[i].hwnd);
    }

    RECT client;
    ::GetClientRect(page.m_slots[0].thumbnail->m_hWnd, &client);
    RECT window;
    ::GetWindowRect(sources[0], &window);
    BareCapture bare({window.right - window.left, window.bottom - window.top}, {client.right, client.bottom});
    RefreshStepParts parts;
    double paintMs = 0;
    std::vector<double> stepMs, floorMs, bareMs;
    const int kRounds = std::max(3, 160 / sourceCount);
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < sourceCount; ++i) {
            // Alternating which goes first, so that neither always finds the source freshly drawn.
            const bool stepFirst = (round + i) % 2 == 0;
            for (int part = 0; part < 2; ++part) {
                if ((part == 0) == stepFirst) {
                    g_pRefreshStepParts = &parts;
                    const double t0 = NowMs();
                    const int slot = page.m_nRefreshIndex;
                    page.RefreshNextThumbnail();
                    const double t1 = NowMs();
                    ::UpdateWindow(page.m_slots[slot].thumbnail->m_hWnd);
                    const double t2 = NowMs();
                    g_pRefreshStepParts = nullptr;
                    paintMs += t2 - t1;
                    stepMs.push_back(t2 - t0);
                } else {
                    const double t0 = NowMs();
                    FloorStep(floors[i]);
                    ::UpdateWindow(floors[i].hwnd);
                    floorMs.push_back(NowMs() - t0);
                }
            }
            const double t0 = NowMs();
            bare.Run(sources[i]);
            bareMs.push_back(NowMs() - t0);
        }
        Pump();
    }
    const double steps = static_cast<double>(stepMs.size());
    fprintf(out, "measured_steps %.0f\n", steps);
    fprintf(out, "step_median_ms %.4f\n", Median(stepMs));
    fprintf(out, "floor_median_ms %.4f\n", Median(floorMs));
    fprintf(out, "bare_median_ms %.4f\n", Median(bareMs));
    fprintf(out, "part_idle_wait_ms %.4f\n", parts.idleWait / steps);
    fprintf(out, "part_answer_check_ms %.4f\n", parts.answerCheck / steps);
    fprintf(out, "part_capture_without_answer_check_ms %.4f\n", (parts.capture - parts.answerCheck) / steps);
    fprintf(out, "part_source_redraw_ms %.4f\n", parts.sourceRedraw / steps);
    fprintf(out, "part_refit_check_and_invalidate_ms %.4f\n", parts.finish / steps);
    fprintf(out, "part_paint_ms %.4f\n", paintMs / steps);

    for (int done = 1; done <= 1000; ++done) {
        step();
        if (done == 10) {
            fprintf(out, "gdi_after_10 %ld\n", AfxGdiLiveCount());
            fprintf(out, "working_set_mb_after_10 %.2f\n", WorkingSetMb());
        }
        if (done % 16 == 0)
            Pump();
    }
    fprintf(out, "gdi_after_1000 %ld\n", AfxGdiLiveCount());
    fprintf(out, "working_set_mb_after_1000 %.2f\n", WorkingSetMb());
    fclose(out);

    std::vector<ThumbSlot> slots;
    slots.swap(page.m_slots);
    for (ThumbSlot& slot : slots)
        CloseThumbnail(slot.thumbnail, THUMB_CLOSE);
    for (FloorThumb& f : floors) {
        ::DestroyWindow(f.hwnd);
        if (f.image)
            ::DeleteObject(f.image);
    }
    ::DestroyWindow(front);
    return 0;
}
