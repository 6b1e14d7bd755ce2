#pragma once
// The two one-number dialogs: the thumbnails' opacity and one thumbnail's web-reload interval.
// The caller writes the value field, runs DoModal and reads the field back on IDOK.
#include "framework/Controls.h"
#include "framework/Dialog.h"

const int kMinTransparency = 20;
const int kMaxTransparency = 100;

class CAlphaSettingDlg : public CDialog {
public:
    explicit CAlphaSettingDlg(CWnd* parent = nullptr);

    CSpinButtonCtrl m_spinAlpha;
    int m_nAlpha;  // percent

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};

class CUpdateIntervalDlg : public CDialog {
public:
    explicit CUpdateIntervalDlg(CWnd* parent = nullptr);

    CSpinButtonCtrl m_spinSeconds;
    int m_nSeconds;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};
