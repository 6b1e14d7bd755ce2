// The control page's thumbnail list, the moves that reorder the strip and the exclusion of a window.
#include "strip/ControlDlg.h"

#include <algorithm>

#include "framework/App.h"
#include "framework/Trace.h"
#include "strip/Thumbnail.h"
#include "tracking/LimitDlg.h"

namespace {

struct ListRow {
    CString title;
    CString processName;
    HWND hwnd;
    DWORD processId;
};

}  // namespace

void CControlDlg::RefreshWindowList()
{
    if (!m_list.m_hWnd)
        return;
    const int mark = m_list.GetSelectionMark();
    CString selected;
    if (mark >= 0)
        selected = m_list.GetItemText(mark, 2);

    // Copies of the used slots: nothing below reads the grid again.
    std::vector<ListRow> rows;
    for (const ThumbSlot& slot : m_slots) {
        if (slot.used == 1)
            rows.push_back({slot.entry.title, slot.entry.processName, slot.entry.hwnd, slot.entry.processId});
    }

    m_imagePaths.BeginScan();
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    m_list.DeleteAllItems();
    int found = -1;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        CString path;
        GetProcessImagePath(rows[r].processId, path);
        const int item = m_list.InsertItem(r, rows[r].title, m_iconCache.GetIconIndex(path));
        m_list.SetItemText(item, 1, rows[r].processName);
        const CString handle = HandleText(rows[r].hwnd);
        m_list.SetItemText(item, 2, handle);
        if (found < 0 && mark >= 0 && handle == selected)
            found = item;
    }
    if (found >= 0) {
        m_list.SetSelectionMark(found);
        m_list.SetItemState(found, LVIS_SELECTED, LVIS_SELECTED);
        m_list.SetHotItem(found);
        m_list.EnsureVisible(found, FALSE);
    } else {
        m_list.SetSelectionMark(-1);
    }
    m_list.SendMessage(WM_SETREDRAW, TRUE);
}

void CControlDlg::GetProcessImagePath(DWORD processId, CString& path)
{
    path = m_imagePaths.Lookup(processId);
}

HWND CControlDlg::RowHandle(int row) const
{
    if (!m_list.m_hWnd || row < 0 || row >= m_list.GetItemCount())
        return nullptr;
    return ParseHandleText(m_list.GetItemText(row, 2));
}

BOOL CControlDlg::ExchangeSlots(int i, int j)
{
    const int count = static_cast<int>(m_slots.size());
    if (i < 0 || j < 0 || i >= count || j >= count || m_slots[i].used != 1 || m_slots[j].used != 1)
        return FALSE;
    std::swap(m_slots[i].thumbnail, m_slots[j].thumbnail);
    std::swap(m_slots[i].entry, m_slots[j].entry);
    return TRUE;
}

namespace {

struct WindowMove {
    HWND hwnd;
    RECT rect;
};

// At the bottom of the z-order, as every thumbnail at rest; one batch, so the strip is redrawn once.
void PlaceAtBottom(const std::vector<WindowMove>& moves)
{
    const UINT flags = SWP_NOACTIVATE;
    HDWP batch = ::BeginDeferWindowPos(static_cast<int>(moves.size()));
    for (const WindowMove& m : moves) {
        if (!batch)
            break;
        batch = ::DeferWindowPos(batch, m.hwnd, HWND_BOTTOM, m.rect.left, m.rect.top, m.rect.right - m.rect.left,
                                 m.rect.bottom - m.rect.top, flags);
    }
    if (batch && ::EndDeferWindowPos(batch))
        return;
    // A failed batch is dropped whole: each window is moved on its own.
    for (const WindowMove& m : moves)
        ::SetWindowPos(m.hwnd, HWND_BOTTOM, m.rect.left, m.rect.top, m.rect.right - m.rect.left,
                       m.rect.bottom - m.rect.top, flags);
}

}  // namespace

void CControlDlg::PlaceThumbnails(const std::vector<int>& slots)
{
    std::vector<WindowMove> moves;
    for (int index : slots) {
        if (index < 0 || index >= static_cast<int>(m_slots.size()) || m_slots[index].used != 1)
            continue;
        Cthumbnail* thumbnail = m_slots[index].thumbnail;
        RECT window;
        if (thumbnail && thumbnail->TakeSlot(m_slots[index].rect, &window) && thumbnail->m_hWnd)
            moves.push_back({thumbnail->m_hWnd, window});
    }
    if (!moves.empty())
        PlaceAtBottom(moves);
}

void CControlDlg::SwapSlots(int i, int j)
{
    if (ExchangeSlots(i, j))
        PlaceThumbnails({i, j});
}

int CControlDlg::MoveByHandle(HWND hwnd, MoveKind kind)
{
    if (!hwnd)
        return -1;
    int from = -1;
    for (size_t i = 0; i < m_slots.size() && from < 0; ++i) {
        if (m_slots[i].used == 1 && m_slots[i].entry.hwnd == hwnd)
            from = static_cast<int>(i);
    }
    const std::vector<std::pair<int, int>> swaps = PlanMove(UsedFlags(m_slots), from, kind);
    if (swaps.empty())
        return -1;
    // All the swaps first, then each moved thumbnail placed once and the list rebuilt once.
    std::vector<int> moved;
    for (const auto& swap : swaps) {
        ExchangeSlots(swap.first, swap.second);
        moved.push_back(swap.first);
    }
    const int to = swaps.back().second;
    moved.push_back(to);
    PlaceThumbnails(moved);
    RefreshWindowList();
    return to;
}

int CControlDlg::MoveUpByHandle(HWND hwnd)
{
    return MoveByHandle(hwnd, kMoveUp);
}

int CControlDlg::MoveDownByHandle(HWND hwnd)
{
    return MoveByHandle(hwnd, kMoveDown);
}

void CControlDlg::moveToTop(HWND source)
{
    MoveByHandle(source, kMoveFirst);
}

void CControlDlg::moveForward(HWND source)
{
    MoveByHandle(source, kMoveUp);
}

void CControlDlg::moveBackward(HWND source)
{
    MoveByHandle(source, kMoveDown);
}

void CControlDlg::moveToEnd(HWND source)
{
    MoveByHandle(source, kMoveLast);
}

void CControlDlg::OnMoveButton(MoveKind kind)
{
    const int mark = m_list.GetSelectionMark();
    if (mark < 0) {
        AfxMessageBox("移動するウィンドウを選択してください。", MB_OK);
        return;
    }
    const bool forward = kind == kMoveFirst || kind == kMoveUp;
    if (forward ? mark == 0 : mark == static_cast<int>(m_slots.size()) - 1)
        return;
    if (HWND hwnd = RowHandle(mark))
        MoveByHandle(hwnd, kind);
}

void CControlDlg::OnMoveFirst()
{
    OnMoveButton(kMoveFirst);
}

void CControlDlg::OnMoveUp()
{
    OnMoveButton(kMoveUp);
}

void CControlDlg::OnMoveDown()
{
    OnMoveButton(kMoveDown);
}

void CControlDlg::OnMoveLast()
{
    OnMoveButton(kMoveLast);
}

void CControlDlg::OnExclude()
{
    const int mark = m_list.GetSelectionMark();
    if (mark < 0) {
        AfxMessageBox("除外するウィンドウを選択してください。", MB_OK);
        return;
    }
    ExcludeListItem(mark);
}

void CControlDlg::exclude(HWND source)
{
    if (!source || !m_list.m_hWnd)
        return;
    const int rows = m_list.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (RowHandle(row) == source) {
            ExcludeListItem(row);
            return;
        }
    }
}

void CControlDlg::ExcludeListItem(int row)
{
    if (!m_list.m_hWnd)
        return;
    const CString title = m_list.GetItemText(row, 0);
    const CString processName = m_list.GetItemText(row, 1);
    const CString handleText = m_list.GetItemText(row, 2);
    HWND hwnd = ParseHandleText(handleText);
    if (!hwnd) {
        AfxTrace("★★ERROR★★hWnd=%s\n", handleText.GetString());
        return;
    }
    if (!m_pLimitDlg) {
        // Closing the thumbnail without a rule would look like an exclusion that never happened.
        AfxTrace("★★ERROR★★no exclusion page: hWnd=%s\n", handleText.GetString());
        AfxMessageBox("除外条件を追加できませんでした。", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_pLimitDlg->AddExclusionRule(title, processName);
    CloseSlotOf(hwnd, THUMB_CLOSE);
    RefreshWindowList();
}
