#include "strip/RefreshCycle.h"

#include "framework/Trace.h"
#include "strip/ControlDlg.h"
#include "strip/Thumbnail.h"

RefreshStep NextRefreshStep(const std::vector<int>& used, int index)
{
    const int count = static_cast<int>(used.size());
    if (index < 0 || index >= count)
        return {-1, 0};
    for (int i = index; i < count; ++i) {
        if (used[i] == 1)
            return {i, i + 1 < count ? i + 1 : 0};
    }
    return {-1, 0};
}

bool HoverKeyPressed(int* countdown)
{
    const bool starts = *countdown <= 0;
    *countdown = kHoverCountdownStart;
    return starts;
}

bool HoverTimerTick(int* countdown)
{
    if (*countdown <= 0)
        return false;
    return --*countdown == 0;
}

void CControlDlg::RefreshNextThumbnail()
{
    const RefreshStep step = NextRefreshStep(UsedFlags(m_slots), m_nRefreshIndex);
    // The index moves first: the step may let other messages in, and they may change the grid.
    m_nRefreshIndex = step.nextIndex;
    if (step.slot >= 0 && m_slots[step.slot].thumbnail)
        m_slots[step.slot].thumbnail->RefreshThumbnail();
}

void CControlDlg::SetHoverKeyOnAll(int on)
{
    // By index, and each slot read afresh: a thumbnail's z-order change may let other messages in.
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].used != 1 || !m_slots[i].thumbnail)
            continue;
        m_slots[i].thumbnail->m_bHoverKey = on;
        m_slots[i].thumbnail->SetZOrder();
    }
}

void CControlDlg::OnHoverHotKey()
{
    if (HoverKeyPressed(&m_nHoverCountdown)) {
        SetHoverKeyOnAll(1);
        AfxTrace("HOTKEY ON! THUMBNAIL HOVER START\n");
    }
}

void CControlDlg::OnHoverTimer()
{
    if (HoverTimerTick(&m_nHoverCountdown)) {
        SetHoverKeyOnAll(0);
        AfxTrace("HOVER END\n");
    }
}
