#pragma once
#include "framework/Controls.h"
#include "framework/Dialog.h"

// The exclusion list page: the rules that keep windows out of the strip.
class CLimitDlg : public CDialog {
public:
    explicit CLimitDlg(CWnd* parent = nullptr);
    ~CLimitDlg() override;

    void SetIniPath(CString path);

    CString m_strIniPath;

protected:
    void LoadExclusionRules();

    DECLARE_MESSAGE_MAP()
};
