#pragma once
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "tracking/WindowEntry.h"

class CLimitDlg;

// The control page: owns the thumbnails, the slot grid and the strip's settings.
class CControlDlg : public CDialog {
public:
    explicit CControlDlg(CWnd* parent = nullptr);
    ~CControlDlg() override;

    void AddThumbnail(WindowEntry entry);
    void RemoveThumbnail(WindowEntry entry);
    void SaveExclusionData();

    CString m_strIniPath;
    CLimitDlg* m_pLimitDlg;

protected:
    DECLARE_MESSAGE_MAP()
};

// The settings file's path: the current folder, a backslash and the name. Empty when the current
// folder cannot be read whole, so a file never lands at a drive root.
CString SettingsFilePath(const char* fileName);
