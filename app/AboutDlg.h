#pragma once
#include "framework/Dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
    ~CAboutDlg() override;

    CString m_strVersion;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnClickHomePageLink(NMHDR* hdr, LRESULT* result);

    DECLARE_MESSAGE_MAP()
};
