// The in-process half of the list benchmark, started by the harness's KV_BENCH(list_move) once the
// helper's 16 sources "list source 0".."list source 15" are open:
//   kv_list_bench.exe RESULT_FILE
// Puts a thumbnail of each source into a control page of 16 slots with a real list view, and
// beside it its floor: 16 windows like thumbnails and a list of the same style. Times, in
// interleaved rounds after a warm-up and with the repaints they cause:
// - a rebuild of the list, against one 16-row rebuild;
// - a move of the last thumbnail to the front, against the floor's 16 SetWindowPos calls in one
//   batch (each window one slot on) and one 16-row rebuild;
// and counts the rebuilds each move makes. Writes "key value" lines (medians); the exit code is 0
// when every source was found.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"
#include "strip/ThumbnailList.h"
#include "bench_clock.h"
#include "bench_floor.h"

namespace {

const int kSources = 16;
const int kWarmUp = 3;
const int kRounds = 30;

int g_rebuilds = 0;
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK CountingListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LVM_DELETEALLITEMS)
        ++g_rebuilds;
    return ::CallWindowProcA(g_listProc, hwnd, message, wParam, lParam);
}

const DWORD kListStyle = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS;

HWND MakeList(HWND host)
{
    return ::CreateWindowExA(0, WC_LISTVIEWA, "", kListStyle, 0, 0, 380, 280, host, nullptr, nullptr, nullptr);
}

void AddColumn(HWND list, int index, const char* title, int width)
{
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = width;
    column.pszText = const_cast<char*>(title);
    column.iSubItem = index;
    ::SendMessageA(list, LVM_INSERTCOLUMNA, index, reinterpret_cast<LPARAM>(&column));
}

void SetText(HWND list, int row, int column, const char* text)
{
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    ::SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
}

struct FloorList {
    HWND host = nullptr;
    HWND list = nullptr;
    int icon = 0;
    floorthumb::Thumb thumbs[kSources];
    RECT slots[kSources];
    int first = 0;  // the thumb in slot 0
};

// One 16-row rebuild: the rows in slot order, each with its icon, process name and handle.
void FloorRebuild(FloorList& f)
{
    ::SendMessageA(f.list, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(f.list, LVM_DELETEALLITEMS, 0, 0);
    for (int r = 0; r < kSources; ++r) {
        floorthumb::Thumb& t = f.thumbs[(f.first + r) % kSources];
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = r;
        item.pszText = const_cast<char*>(t.title.c_str());
        item.iImage = f.icon;
        const int row = static_cast<int>(::SendMessageA(f.list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        SetText(f.list, row, 1, "kv_helper.exe");
        char handle[32];
        snprintf(handle, sizeof(handle), "%08lX", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(t.source)));
        SetText(f.list, row, 2, handle);
    }
    ::SendMessageA(f.list, WM_SETREDRAW, TRUE, 0);
}

// The last one to the front: every window one slot on, in one batch, then the rebuild.
void FloorMove(FloorList& f)
{
    f.first = (f.first + kSources - 1) % kSources;
    for (int s = 0; s < kSources; ++s) {
        const RECT& r = f.slots[s];
        ::SetWindowPos(f.thumbs[(f.first + s) % kSources].hwnd, HWND_BOTTOM, r.left, r.top, r.right - r.left,
                       r.bottom - r.top, SWP_NOACTIVATE);
    }
    FloorRebuild(f);
}

void Repaint(HWND host, const std::vector<HWND>& thumbs)
{
    ::UpdateWindow(host);
    for (HWND t : thumbs)
        ::UpdateWindow(t);
}

RECT SlotRect(int i, int top)
{
    return {160 * (i % 8), top + 120 * (i / 8), 160 * (i % 8) + 160, top + 120 * (i / 8) + 120};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: kv_list_bench.exe RESULT_FILE\n");
        return 2;
    }
    const std::vector<HWND> sources = FindNumberedWindows("list source ", kSources);
    if (sources.empty())
        return 1;
    FILE* out = fopen(argv[1], "w");
    if (!out)
        return 2;

    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
    // Both lists shown, above the sources; both sets of thumbnails at the bottom of the z-order,
    // in two bands beneath the sources, so that neither covers the other.
    HWND host = ::CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                  nullptr, nullptr, nullptr);
    HWND list = MakeList(host);
    g_listProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingListProc)));

    CControlDlg page;  // no window of its own: the list and the grid are what the benchmark needs
    page.m_list.SubclassWindow(list);
    page.m_list.InsertColumn(0, "Title", LVCFMT_LEFT, 220);
    page.m_list.InsertColumn(1, "ProcessName", LVCFMT_LEFT, 100);
    page.m_list.InsertColumn(2, "WinHandle", LVCFMT_LEFT, 100);
    page.m_list.SetImageList(page.m_iconCache.m_imageList, LVSIL_SMALL);
    std::vector<HWND> kestrovaWindows;
    for (int i = 0; i < kSources; ++i) {
        ThumbSlot slot;
        slot.rect = SlotRect(i, 764);
        slot.entry.hwnd = sources[i];
        ::GetWindowThreadProcessId(sources[i], &slot.entry.processId);
        slot.entry.title = ("list source " + std::to_string(i)).c_str();
        slot.entry.processName = "kv_helper.exe";
        slot.used = 1;
        slot.thumbnail = new Cthumbnail(slot.entry, slot.rect, 255, &page);
        page.m_slots.push_back(slot);
        kestrovaWindows.push_back(slot.thumbnail->m_hWnd);
    }
    Pump();
    page.RefreshWindowList();  // warm: the icon and the path are cached from here on

    FloorList floor;
    floor.host = ::CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE, 420, 0, 400, 300, nullptr,
                                   nullptr, nullptr, nullptr);
    floor.list = MakeList(floor.host);
    AddColumn(floor.list, 0, "Title", 220);
    AddColumn(floor.list, 1, "ProcessName", 100);
    AddColumn(floor.list, 2, "WinHandle", 100);
    ::SendMessageA(floor.list, LVM_SETIMAGELIST, LVSIL_SMALL,
                   reinterpret_cast<LPARAM>(page.m_iconCache.m_imageList.GetSafeHandle()));
    LVITEMA first = {};
    first.mask = LVIF_IMAGE;
    ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&first));
    floor.icon = first.iImage;  // the icon Kestrova's rows show
    std::vector<HWND> floorWindows;
    for (int i = 0; i < kSources; ++i) {
        floor.slots[i] = SlotRect(i, 524);
        floorthumb::Thumb& t = floor.thumbs[i];
        t.source = sources[i];
        t.title = "list source " + std::to_string(i);
        RECT fit;
        ::GetWindowRect(kestrovaWindows[i], &fit);  // the size Kestrova fitted the source to
        fit = {floor.slots[i].left, floor.slots[i].top, floor.slots[i].left + fit.right - fit.left,
               floor.slots[i].top + fit.bottom - fit.top};
        floorthumb::Open(t, fit);
        floorWindows.push_back(t.hwnd);
    }
    FloorRebuild(floor);
    Pump();

    std::vector<double> rebuildMs, floorRebuildMs;
    for (int round = 0; round < kWarmUp + kRounds; ++round) {
        // Alternating which goes first, so that neither always finds the other's work cached.
        for (int part = 0; part < 2; ++part) {
            const double t0 = NowMs();
            if ((part == 0) == (round % 2 == 0)) {
                page.RefreshWindowList();
                Repaint(host, {});
                if (round >= kWarmUp)
                    rebuildMs.push_back(NowMs() - t0);
            } else {
                FloorRebuild(floor);
                Repaint(floor.host, {});
                if (round >= kWarmUp)
                    floorRebuildMs.push_back(NowMs() - t0);
            }
        }
        Pump();
    }
    std::vector<double> moveMs, floorMoveMs;
    int moved = 0, rebuilds = 0;
    for (int round = 0; round < kWarmUp + kRounds; ++round) {
        for (int part = 0; part < 2; ++part) {
            if ((part == 0) == (round % 2 == 0)) {
                HWND last = page.m_slots[kSources - 1].entry.hwnd;
                g_rebuilds = 0;
                const double t0 = NowMs();
                page.moveToTop(last);
                Repaint(host, kestrovaWindows);
                const double t1 = NowMs();
                if (round < kWarmUp)
                    continue;
                moveMs.push_back(t1 - t0);
                rebuilds += g_rebuilds;
                moved += page.m_slots[0].entry.hwnd == last ? 1 : 0;
            } else {
                const double t0 = NowMs();
                FloorMove(floor);
                Repaint(floor.host, floorWindows);
                if (round >= kWarmUp)
                    floorMoveMs.push_back(NowMs() - t0);
            }
        }
        Pump();
    }
    fprintf(out, "rounds %d\n", kRounds);
    fprintf(out, "rebuild_median_ms %.4f\n", Median(rebuildMs));
    fprintf(out, "floor_rebuild_median_ms %.4f\n", Median(floorRebuildMs));
    fprintf(out, "move_median_ms %.4f\n", Median(moveMs));
    fprintf(out, "floor_move_median_ms %.4f\n", Median(floorMoveMs));
    fprintf(out, "rebuilds_per_move %.2f\n", static_cast<double>(rebuilds) / kRounds);
    fprintf(out, "moves_that_reached_the_front %d\n", moved);
    fclose(out);

    std::vector<ThumbSlot> slots;
    slots.swap(page.m_slots);
    for (ThumbSlot& slot : slots)
        CloseThumbnail(slot.thumbnail, THUMB_CLOSE);
    for (floorthumb::Thumb& t : floor.thumbs)
        floorthumb::Close(t);
    page.m_list.UnsubclassWindow();
    ::DestroyWindow(host);
    ::DestroyWindow(floor.host);
    return 0;
}
