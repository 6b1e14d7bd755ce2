#pragma once
#include "framework/Dialog.h"

// The rule editor: whether the title and the process name are tested, whether the title must
// match whole, and the title substring. The caller presets the fields and copies them back on OK.
class CLimitSettingDlg : public CDialog {
public:
    explicit CLimitSettingDlg(CWnd* parent = nullptr);
    ~CLimitSettingDlg() override;

    int m_bFullNameMatch;
    int m_bUseProcessName;
    int m_bUseTitle;
    CString m_strTitlePattern;
    CString m_strTitle;  // the rule's full title, offered when the pattern is empty

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnClickedFullName();

    DECLARE_MESSAGE_MAP()
};
