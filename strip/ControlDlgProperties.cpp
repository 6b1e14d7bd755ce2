// The control page's settings dialogs: the property dialog and the transparency dialog.
#include "strip/ControlDlg.h"

#include "desktop/TaskBarControl.h"
#include "strip/PropertyApply.h"
#include "strip/PropertyDlg.h"
#include "strip/SettingDialogs.h"
#include "strip/StripSettings.h"
#include "strip/Thumbnail.h"

// The IDC_CHANGE_PROPERTIES button: the property dialog, then its values applied in order.
void CControlDlg::OnChangeProperties()
{
    HWND page = m_hWnd;
    const PropertyValues preset = {m_nLocation,    m_nSize,          m_nTopMargin,
                                   m_nLeftMargin,  m_nRightMargin,   m_nBottomMargin,
                                   m_nLimit,       m_nInterval,      FrameBoxPreset(m_bFrame),
                                   m_nHoverHotKey, m_nHoverModifiers};
    PropertyValues result;
    {
        CLocationSettingDlg dlg(nullptr);
        dlg.SetValues(preset);
        if (dlg.DoModal() != IDOK)
            return;
        result = dlg.GetValues();
    }
    // The program may have ended while the dialog ran.
    if (!::IsWindow(page) || m_hWnd != page)
        return;

    PropertyApplyCalls calls;
    calls.takeLayout = [this](const PropertyValues& v) {
        m_nLocation = v.location;
        m_nSize = v.size;
        CalcThumbnailSize();
    };
    calls.takeNumbers = [this](const PropertyValues& v) {
        m_nTopMargin = v.topMargin;
        m_nLeftMargin = v.leftMargin;
        m_nRightMargin = v.rightMargin;
        m_nBottomMargin = v.bottomMargin;
        m_nLimit = v.limit;
        m_nInterval = v.interval;  // the refresh timer takes it at its next tick
    };
    calls.takeFrame = [this](int frame) {
        m_bFrame = frame;
        for (size_t i = 0; i < m_slots.size(); ++i) {
            if (m_slots[i].used == 1 && m_slots[i].thumbnail)
                m_slots[i].thumbnail->ApplyFrameSetting();
        }
    };
    calls.updateTaskBar = [this] {
        if (CTaskBarControl* taskBar = CTaskBarControl::GetInstance())
            taskBar->m_bEnableDeleteTab = m_bEnableDeleteTab;
    };
    calls.updateLabels = [this] { UpdateStatusLabels(); };
    calls.arrange = [this] { ArrangeThumbnails(); };
    calls.pageAlive = [page] { return ::IsWindow(page) != FALSE; };
    calls.hoverKey = HoverKeyCallsFor("ホットキーの登録が重複しています.他のキーに変更してください ");
    calls.takeHoverKey = [this](const HoverKey& kept) {
        m_nHoverHotKey = kept.key;
        m_nHoverModifiers = kept.modifiers;
    };
    calls.save = [this] { SaveSettings(); };
    ApplyPropertyValues(preset, result, calls);
}

void CControlDlg::OnTransparencyChange()
{
    HWND page = m_hWnd;
    CAlphaSettingDlg dlg(nullptr);
    dlg.m_nAlpha = m_nTransparent;
    if (dlg.DoModal() != IDOK || !::IsWindow(page))
        return;
    if (dlg.m_nAlpha == m_nTransparent)
        return;
    m_nTransparent = dlg.m_nAlpha;
    const BYTE alpha = AlphaFromTransparency(m_nTransparent);
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].used == 1 && m_slots[i].thumbnail)
            m_slots[i].thumbnail->SetAlpha(alpha);
    }
    ShowTransparency();
    SaveSettings();
}
