#pragma once
// CLocationSettingDlg: the modal dialog "プロパティ設定" in which the user edits eleven of the
// control page's settings. It edits copies; the control page applies them on OK.
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "strip/HotKeyExCtrl.h"
#include "strip/PropertyValues.h"

// The id under which a combination is tried for a moment on the dialog's own window.
const int IDHK_TEST = 111;

class CLocationSettingDlg : public CDialog {
public:
    explicit CLocationSettingDlg(CWnd* parent = nullptr);
    ~CLocationSettingDlg() override;

    // The eleven fields as one record, for the caller.
    void SetValues(const PropertyValues& values);
    PropertyValues GetValues() const;

    // Registers the combination on the dialog's window for an instant; nonzero when no other
    // application holds it.
    BOOL TestHotKey(WORD modifiers, WORD vk);

    CSpinButtonCtrl m_spinInterval;
    CSpinButtonCtrl m_spinLimit;
    CSpinButtonCtrl m_spinBottomMargin;
    CSpinButtonCtrl m_spinLeftMargin;
    CSpinButtonCtrl m_spinRightMargin;
    CSpinButtonCtrl m_spinTopMargin;
    int m_nLocation;
    int m_nSize;
    int m_bFrame;
    int m_nTopMargin;
    int m_nLeftMargin;
    int m_nRightMargin;
    int m_nBottomMargin;
    int m_nLimit;
    int m_nInterval;
    int m_nHoverHotKey;
    int m_nHoverModifiers;
    CHotKeyExCtrl m_hotKey;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCheckHotKey();

    DECLARE_MESSAGE_MAP()

private:
    // A box owned by the dialog, so that the dialog waits for it.
    void ShowMessage(const char* text);
};
