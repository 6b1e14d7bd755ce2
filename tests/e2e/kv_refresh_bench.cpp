// The in-process half of the refresh benchmark, started by the harness's KV_BENCH(refresh_step)
// once the helper's sources are open:
//   kv_refresh_bench.exe SOURCES RESULT_FILE
// Puts a thumbnail of each source into a control page of exactly SOURCES slots (no idle step) and
// times the page's own refresh step with the paint it causes against its floor, on the same source
// in the same round: windows like thumbnails of the same size, at the bottom of the z-order as
// Kestrova's are, whose buffers are made once, and one step of exactly the calls a background
// source requires (idle wait, fill, answer check, PrintWindow, stretch, the source invalidated,
// rectangle read, invalidation, paint). Every PrintWindow call is counted, so the harness can
// check that both sides captured as often. The former floor, which allocates at every step, and a
// bare capture come as extras. The step's parts are timed inside the step. Then it counts GDI
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
#include "bench_floor.h"

namespace {

double WorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// Counts the PrintWindow calls of this program, Kestrova's and the floors' alike: the import
// table entry of user32's PrintWindow points here while the benchmark runs.
typedef BOOL(WINAPI* PrintWindowFn)(HWND, HDC, UINT);
PrintWindowFn g_printWindow = nullptr;
int g_prints = 0;

BOOL WINAPI CountingPrintWindow(HWND hwnd, HDC dc, UINT flags)
{
    ++g_prints;
    return g_printWindow(hwnd, dc, flags);
}

bool CountPrintWindowCalls()
{
    BYTE* base = reinterpret_cast<BYTE*>(::GetModuleHandleA(nullptr));
    const IMAGE_NT_HEADERS* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    g_printWindow = reinterpret_cast<PrintWindowFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("user32.dll"), "PrintWindow")));
    if (!imports.VirtualAddress || !g_printWindow)
        return false;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), "user32.dll"))
            continue;
        for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); thunk->u1.Function; ++thunk) {
            if (thunk->u1.Function != reinterpret_cast<ULONG_PTR>(g_printWindow))
                continue;
            DWORD protect = 0;
            ::VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), PAGE_READWRITE, &protect);
            thunk->u1.Function = reinterpret_cast<ULONG_PTR>(&CountingPrintWindow);
            ::VirtualProtect(&thunk->u1.Function, sizeof(thunk->u1.Function), protect, &protect);
            return true;
        }
    }
    return false;
}

// The former floor, one step as the behaviour's text reads, allocating as it goes: a bitmap of the
// source's size, DCs and a brush at every step, and a new image of the thumbnail's size.
bool LiteralStep(floorthumb::Thumb& f)
{
    HWND source = f.source;
    if (!::IsWindow(source) || ::IsIconic(source) || ::GetForegroundWindow() == source)
        return false;
    if (!floorthumb::SourceIdle(f.processId))
        return false;
    bool captured = false;
    if (::IsWindow(source)) {
        HDC dc = ::GetDC(f.hwnd);
        RECT window;
        ::GetWindowRect(source, &window);
        const int sw = window.right - window.left, sh = window.bottom - window.top;
        HBITMAP copy = ::CreateCompatibleBitmap(dc, sw, sh);
        HDC copyDC = ::CreateCompatibleDC(dc);
        HGDIOBJ oldCopy = ::SelectObject(copyDC, copy);
        HBRUSH grey = ::CreateSolidBrush(floorthumb::kGrey);
        const RECT all = {0, 0, sw, sh};
        ::FillRect(copyDC, &all, grey);
        DWORD_PTR result = 0;
        if (::SendMessageTimeoutA(source, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result)) {
            ::PrintWindow(source, copyDC, 0);
            captured = true;
        }
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
        if (f.literalImage)
            ::DeleteObject(f.literalImage);
        f.literalImage = image;
        ::ReleaseDC(f.hwnd, dc);
    }
    ::InvalidateRect(source, nullptr, FALSE);
    ::RedrawWindow(source, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT now;
    ::GetWindowRect(source, &now);
    ::InvalidateRect(f.hwnd, nullptr, TRUE);
    return captured;
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

// Slot i of one side's band along the bottom: Kestrova's band lowest, the floor's above it, both
// beneath the sources; 64 sources take smaller slots to stay on the screen.
RECT SlotRect(int i, int sources, int band)
{
    const int w = sources > 16 ? 80 : 160, h = sources > 16 ? 60 : 120;
    const int perRow = 1280 / w;
    const int top = 1004 - (band + 1) * h * ((sources + perRow - 1) / perRow);
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
    if (!CountPrintWindowCalls())
        return 3;
    // As the control page keeps it: the service never removes a taskbar button.
    if (CTaskBarControl* taskBar = CTaskBarControl::GetInstance())
        taskBar->m_bEnableDeleteTab = 0;

    // A window of our own in front, so that every source is captured as one behind it.
    HWND front = ::CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "bench front", WS_POPUP | WS_VISIBLE, 1180, 40, 80, 40,
                                   nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    ::SetForegroundWindow(front);

    CControlDlg page;  // no window: the grid, the index and the step are all the benchmark needs
    std::vector<floorthumb::Thumb> floors(sourceCount);
    SIZE largest = {0, 0};
    for (int i = 0; i < sourceCount; ++i) {
        ThumbSlot slot;
        slot.rect = SlotRect(i, sourceCount, 0);
        slot.entry.hwnd = sources[i];
        ::GetWindowThreadProcessId(sources[i], &slot.entry.processId);
        slot.entry.title = ("bench source " + std::to_string(i)).c_str();
        slot.entry.processName = "kv_helper.exe";
        slot.used = 1;
        slot.thumbnail = new Cthumbnail(slot.entry, slot.rect, 255, &page);
        page.m_slots.push_back(slot);

        // The floor's thumbnail: the size Kestrova fitted, in the band above.
        RECT thumb;
        ::GetClientRect(slot.thumbnail->m_hWnd, &thumb);
        const RECT place = SlotRect(i, sourceCount, 1);
        floorthumb::Thumb& f = floors[i];
        f.source = sources[i];
        f.processId = slot.entry.processId;
        f.title = "bench source " + std::to_string(i);
        floorthumb::Open(f, {place.left, place.top, place.left + thumb.right, place.top + thumb.bottom});
        floorthumb::PrepareImage(f);
        RECT window;
        ::GetWindowRect(sources[i], &window);
        largest.cx = std::max<LONG>(largest.cx, window.right - window.left);
        largest.cy = std::max<LONG>(largest.cy, window.bottom - window.top);
    }
    floorthumb::CopyBuffer copy;
    copy.Prepare(floors[0].hwnd, largest);
    ::SetForegroundWindow(front);
    Pump();

    // One step: the page picks the next thumbnail, which captures and stretches; then it paints.
    auto step = [&]() -> int {
        const int slot = page.m_nRefreshIndex;
        page.RefreshNextThumbnail();
        ::UpdateWindow(page.m_slots[slot].thumbnail->m_hWnd);
        return slot;
    };
    auto sourceSize = [&](int i) {
        RECT window;
        ::GetWindowRect(sources[i], &window);
        return SIZE{window.right - window.left, window.bottom - window.top};
    };
    for (int i = 0; i < sourceCount; ++i) {
        step();  // warm-up
        floorthumb::Step(floors[i], copy);
        ::UpdateWindow(floors[i].hwnd);
    }

    RECT client;
    ::GetClientRect(page.m_slots[0].thumbnail->m_hWnd, &client);
    const SIZE first = sourceSize(0);
    BareCapture bare(first, {client.right, client.bottom});
    RefreshStepParts parts;
    double paintMs = 0, floorPaintMs = 0;
    std::vector<double> stepMs, floorMs, literalMs, bareMs;
    int kestrovaCaptures = 0, floorCaptures = 0, literalCaptures = 0, outOfTurn = 0;
    const int kRounds = std::max(3, 160 / sourceCount);
    for (int round = 0; round < kRounds; ++round) {
        for (int i = 0; i < sourceCount; ++i) {
            // Alternating which goes first, so that neither always finds the source freshly drawn.
            // The literal recipe comes third, and the bare capture last.
            const bool stepFirst = (round + i) % 2 == 0;
            for (int part = 0; part < 2; ++part) {
                const int prints = g_prints;
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
                    kestrovaCaptures += g_prints - prints;
                    outOfTurn += slot == i ? 0 : 1;
                } else {
                    const double t0 = NowMs();
                    floorthumb::Step(floors[i], copy);
                    const double t1 = NowMs();
                    ::UpdateWindow(floors[i].hwnd);
                    const double t2 = NowMs();
                    floorPaintMs += t2 - t1;
                    floorMs.push_back(t2 - t0);
                    floorCaptures += g_prints - prints;
                }
            }
            const int prints = g_prints;
            double t0 = NowMs();
            LiteralStep(floors[i]);
            ::UpdateWindow(floors[i].hwnd);
            literalMs.push_back(NowMs() - t0);
            literalCaptures += g_prints - prints;
            // The floor's window shows the floor's image again from its next step.
            ::DeleteObject(floors[i].literalImage);
            floors[i].literalImage = nullptr;
            t0 = NowMs();
            bare.Run(sources[i]);
            bareMs.push_back(NowMs() - t0);
        }
        Pump();
    }
    const double steps = static_cast<double>(stepMs.size());
    fprintf(out, "measured_steps %.0f\n", steps);
    fprintf(out, "kestrova_captures %d\n", kestrovaCaptures);
    fprintf(out, "floor_captures %d\n", floorCaptures);
    fprintf(out, "literal_captures %d\n", literalCaptures);
    fprintf(out, "steps_out_of_turn %d\n", outOfTurn);
    fprintf(out, "step_median_ms %.4f\n", Median(stepMs));
    fprintf(out, "floor_median_ms %.4f\n", Median(floorMs));
    fprintf(out, "literal_median_ms %.4f\n", Median(literalMs));
    fprintf(out, "bare_median_ms %.4f\n", Median(bareMs));
    fprintf(out, "part_idle_wait_ms %.4f\n", parts.idleWait / steps);
    fprintf(out, "part_answer_check_ms %.4f\n", parts.answerCheck / steps);
    fprintf(out, "part_capture_without_answer_check_ms %.4f\n", (parts.capture - parts.answerCheck) / steps);
    fprintf(out, "part_source_redraw_ms %.4f\n", parts.sourceRedraw / steps);
    fprintf(out, "part_refit_check_and_invalidate_ms %.4f\n", parts.finish / steps);
    fprintf(out, "part_paint_ms %.4f\n", paintMs / steps);
    fprintf(out, "floor_paint_ms %.4f\n", floorPaintMs / steps);

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
    for (floorthumb::Thumb& f : floors)
        floorthumb::Close(f);
    ::DestroyWindow(front);
    return 0;
}
