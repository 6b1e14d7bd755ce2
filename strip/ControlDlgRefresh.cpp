// The control page's refresh cycle and hover-key mode, applying the decisions of RefreshCycle.
#include "framework/Trace.h"
#include "strip/ControlDlg.h"
#include "strip/RefreshCycle.h"
#include "strip/Thumbnail.h"

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
