// The in-process half of the refresh benchmark, started by the harness's KV_BENCH(refresh_step)
// once the helper's 16 sources are open:
//   kv_refresh_bench.exe RESULT_FILE
// Puts a thumbnail of each source into a control page of exactly 16 slots (no idle step), times
// the page's own refresh step with the paint it causes against the bare PrintWindow and HALFTONE
// StretchBlt of the same source (with and without making its bitmap), times the step's parts one
// by one, then counts GDI objects and working set after 10 and 1000 steps.
// Writes "key value" lines to RESULT_FILE; the exit code is 0 when every source was found.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "desktop/TaskBarControl.h"
#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"

namespace {

const int kSources = 16;

double NowMs()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

void Pump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageA(&msg);
}

// PrintWindow into a ready bitmap of the source's size, then a HALFTONE stretch to the thumbnail's.
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

    // The same with a source-sized bitmap made, filled and dropped each time, as a capture must.
    void RunWithBuffer(HWND source)
    {
        HDC dc = ::CreateCompatibleDC(m_screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(m_screen, m_source.cx, m_source.cy);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        const RECT all = {0, 0, m_source.cx, m_source.cy};
        ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH)));
        ::PrintWindow(source, dc, 0);
        ::StretchBlt(m_targetDC, 0, 0, m_target.cx, m_target.cy, dc, 0, 0, m_source.cx, m_source.cy, SRCCOPY);
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
    }

private:
    SIZE m_source, m_target;
    HDC m_screen, m_sourceDC, m_targetDC;
    HBITMAP m_sourceBitmap, m_targetBitmap;
    HGDIOBJ m_oldSource, m_oldTarget;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: kv_refresh_bench.exe RESULT_FILE\n");
        return 2;
    }
    std::vector<HWND> sources;
    for (int i = 0; i < kSources; ++i) {
        const std::string title = "bench source " + std::to_string(i);
        HWND hwnd = ::FindWindowA(nullptr, title.c_str());
        if (!hwnd)
            return 1;
        sources.push_back(hwnd);
    }
    FILE* out = fopen(argv[1], "w");
    if (!out)
        return 2;
    // As the control page keeps it: the service never removes a taskbar button.
    if (CTaskBarControl* taskBar = CTaskBarControl::GetInstance())
        taskBar->m_bEnableDeleteTab = 0;

    // A window of our own in front, so that every source is captured as one behind it.
    HWND front = ::CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "bench front", WS_POPUP | WS_VISIBLE, 1180, 40, 80, 40,
                                   nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SetForegroundWindow(front);

    CControlDlg page;  // no window: the grid, the index and the step are all the benchmark needs
    for (int i = 0; i < kSources; ++i) {
        ThumbSlot slot;
        slot.rect = {160 * (i % 8), 764 + 120 * (i / 8), 160 * (i % 8) + 160, 884 + 120 * (i / 8)};
        slot.entry.hwnd = sources[i];
        ::GetWindowThreadProcessId(sources[i], &slot.entry.processId);
        slot.entry.title = ("bench source " + std::to_string(i)).c_str();
        slot.entry.processName = "kv_helper.exe";
        slot.used = 1;
        slot.thumbnail = new Cthumbnail(slot.entry, slot.rect, 255, &page);
        page.m_slots.push_back(slot);
    }
    Pump();

    // One step: the page picks the next thumbnail, which captures and stretches; then it paints.
    auto step = [&]() -> HWND {
        const int slot = page.m_nRefreshIndex;
        page.RefreshNextThumbnail();
        HWND thumb = page.m_slots[slot].thumbnail->m_hWnd;
        ::UpdateWindow(thumb);
        return page.m_slots[slot].entry.hwnd;
    };
    for (int i = 0; i < kSources; ++i)
        step();  // warm-up

    RECT client;
    ::GetClientRect(page.m_slots[0].thumbnail->m_hWnd, &client);
    RECT window;
    ::GetWindowRect(sources[0], &window);
    BareCapture bare({window.right - window.left, window.bottom - window.top}, {client.right, client.bottom});
    double stepMs = 0, bareMs = 0, bufferedMs = 0;
    const int kRounds = 10;
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < kSources; ++i) {
            double t0 = NowMs();
            HWND source = step();
            stepMs += NowMs() - t0;
            t0 = NowMs();
            bare.Run(source);
            bareMs += NowMs() - t0;
            t0 = NowMs();
            bare.RunWithBuffer(source);
            bufferedMs += NowMs() - t0;
        }
        Pump();
    }
    const double steps = kRounds * kSources;
    fprintf(out, "measured_steps %.0f\n", steps);
    fprintf(out, "step_mean_ms %.4f\n", stepMs / steps);
    fprintf(out, "bare_mean_ms %.4f\n", bareMs / steps);
    fprintf(out, "bare_with_buffer_mean_ms %.4f\n", bufferedMs / steps);

    // Where a step's time goes: its parts one by one, through the thumbnail's own operations.
    double idleMs = 0, answerMs = 0, captureMs = 0, redrawMs = 0, paintMs = 0;
    for (int round = 0; round < kRounds; ++round) {
        for (const ThumbSlot& slot : page.m_slots) {
            Cthumbnail* thumb = slot.thumbnail;
            const HWND source = slot.entry.hwnd;
            double t0 = NowMs();
            thumb->WaitSourceIdle(slot.entry.processId, 100);
            double t1 = NowMs();
            idleMs += t1 - t0;
            DWORD_PTR result = 0;
            ::SendMessageTimeoutA(source, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result);
            t0 = NowMs();
            answerMs += t0 - t1;
            thumb->CaptureByPrintWindow();
            t1 = NowMs();
            captureMs += t1 - t0;
            ::InvalidateRect(source, nullptr, FALSE);
            ::RedrawWindow(source, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            t0 = NowMs();
            redrawMs += t0 - t1;
            ::InvalidateRect(thumb->m_hWnd, nullptr, TRUE);
            ::UpdateWindow(thumb->m_hWnd);
            paintMs += NowMs() - t0;
        }
        Pump();
    }
    fprintf(out, "part_idle_wait_ms %.4f\n", idleMs / steps);
    fprintf(out, "part_answer_check_ms %.4f\n", answerMs / steps);
    fprintf(out, "part_capture_ms %.4f\n", captureMs / steps);
    fprintf(out, "part_source_redraw_ms %.4f\n", redrawMs / steps);
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
    ::DestroyWindow(front);
    return 0;
}
