#include "strip/ControlDlg.h"

#include "res/resource.h"
#include "tracking/ExclusionStore.h"

BEGIN_MESSAGE_MAP(CControlDlg, CDialog)
END_MESSAGE_MAP()

CString SettingsFilePath(const char* fileName)
{
    char folder[261] = {};
    const DWORD length = ::GetCurrentDirectoryA(sizeof(folder), folder);
    if (length == 0 || length >= sizeof(folder))
        return CString();
    CString path(folder);
    path += "\\";
    path += fileName;
    return path;
}

CControlDlg::CControlDlg(CWnd* parent) : CDialog(IDD_CONTROL_DIALOG, parent), m_pLimitDlg(nullptr)
{
    m_strIniPath = SettingsFilePath("Kestrova.ini");
}

CControlDlg::~CControlDlg() {}

void CControlDlg::AddThumbnail(WindowEntry) {}

void CControlDlg::RemoveThumbnail(WindowEntry) {}

void CControlDlg::SaveExclusionData()
{
    ExclusionStore::GetInstance()->Save();
}
