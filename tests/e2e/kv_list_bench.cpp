// The in-process half of the list benchmark, started by the harness's KV_BENCH(list_move) once the
// helper's 16 sources "list source 0".."list source 15" are open:
//   kv_list_bench.exe RESULT_FILE
// Puts a thumbnail of each source into a control page of 16 slots with a real list view, then
// times one rebuild of the list and one move of the last thumbnail to the front, counting the
// rebuilds each move makes. Writes "key value" lines; the exit code is 0 when every source was found.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"
#include "bench_clock.h"

namespace {

const int kSources = 16;
const int kRounds = 20;

int g_rebuilds = 0;
WNDPROC g_listProc = nullptr;

LRESULT CALLBACK CountingListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == LVM_DELETEALLITEMS)
        ++g_rebuilds;
    return ::CallWindowProcA(g_listProc, hwnd, message, wParam, lParam);
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
    HWND host = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    HWND list = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL |
                                  LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, 0, 0, 380, 280, host, nullptr, nullptr, nullptr);
    g_listProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingListProc)));

    CControlDlg page;  // no window of its own: the list and the grid are what the benchmark needs
    page.m_list.SubclassWindow(list);
    page.m_list.InsertColumn(0, "Title", LVCFMT_LEFT, 220);
    page.m_list.InsertColumn(1, "ProcessName", LVCFMT_LEFT, 100);
    page.m_list.InsertColumn(2, "WinHandle", LVCFMT_LEFT, 100);
    page.m_list.SetImageList(page.m_iconCache.m_imageList, LVSIL_SMALL);
    for (int i = 0; i < kSources; ++i) {
        ThumbSlot slot;
        slot.rect = {160 * (i % 8), 764 + 120 * (i / 8), 160 * (i % 8) + 160, 884 + 120 * (i / 8)};
        slot.entry.hwnd = sources[i];
        ::GetWindowThreadProcessId(sources[i], &slot.entry.processId);
        slot.entry.title = ("list source " + std::to_string(i)).c_str();
        slot.entry.processName = "kv_helper.exe";
        slot.used = 1;
        slot.thumbnail = new Cthumbnail(slot.entry, slot.rect, 255, &page);
        page.m_slots.push_back(slot);
    }
    Pump();
    page.RefreshWindowList();  // warm: the icon and the path are cached from here on

    double rebuildMs = 0;
    for (int round = 0; round < kRounds; ++round) {
        const double t0 = NowMs();
        page.RefreshWindowList();
        rebuildMs += NowMs() - t0;
        Pump();
    }
    double moveMs = 0;
    g_rebuilds = 0;
    int moved = 0;
    for (int round = 0; round < kRounds; ++round) {
        HWND last = page.m_slots[kSources - 1].entry.hwnd;
        const double t0 = NowMs();
        page.moveToTop(last);
        moveMs += NowMs() - t0;
        moved += page.m_slots[0].entry.hwnd == last ? 1 : 0;
        Pump();
    }
    fprintf(out, "rebuild_mean_ms %.4f\n", rebuildMs / kRounds);
    fprintf(out, "move_last_to_first_mean_ms %.4f\n", moveMs / kRounds);
    fprintf(out, "rebuilds_per_move %.2f\n", static_cast<double>(g_rebuilds) / kRounds);
    fprintf(out, "moves_that_reached_the_front %d\n", moved);
    fclose(out);

    std::vector<ThumbSlot> slots;
    slots.swap(page.m_slots);
    for (ThumbSlot& slot : slots)
        CloseThumbnail(slot.thumbnail, THUMB_CLOSE);
    page.m_list.UnsubclassWindow();
    ::DestroyWindow(host);
    return 0;
}
