#include "strip/IconCache.h"

#include <shellapi.h>

#include "framework/Trace.h"
#include "res/resource.h"

namespace {

HICON ShellFileIcon(const char* path)
{
    SHFILEINFOA info = {};
    // Under Wine a failed call can leave a stale handle in hIcon: only the result counts.
    if (!::SHGetFileInfoA(path, 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON))
        return nullptr;
    return info.hIcon;
}

HICON SystemErrorIcon()
{
    return ::LoadIconA(nullptr, IDI_ERROR);
}

HICON ProgramDesktopIcon()
{
    return ::LoadIconW(::GetModuleHandleA(nullptr), MAKEINTRESOURCEW(IDI_DESKTOP));
}

void DestroyShellIcon(HICON icon)
{
    ::DestroyIcon(icon);
}

int AddToList(CImageList& list, HICON icon)
{
    return list.Add(icon);
}

}  // namespace

const IconShell& SystemIconShell()
{
    static const IconShell shell = {&ShellFileIcon, &SystemErrorIcon, &ProgramDesktopIcon, &DestroyShellIcon,
                                    &AddToList};
    return shell;
}

CImageListCashSmoll::CImageListCashSmoll(const IconShell& shell) : m_shell(shell)
{
    m_imageList.Create(16, 16, ILC_COLORDDB, 0, 50);
    m_imageList.SetBkColor(RGB(255, 255, 255));
}

CImageListCashSmoll::~CImageListCashSmoll() {}

int CImageListCashSmoll::GetIconIndex(CString path)
{
    for (size_t i = 0; i < m_paths.size(); ++i) {
        if (m_paths[i] == path)
            return static_cast<int>(i);
    }
    HICON icon = nullptr;
    bool owned = false;
    if (path == "DESKTOP") {
        icon = m_shell.desktopIcon();
        if (!icon) {
            AfxTrace("ICON get fail(LoadIcon) path =%s\n", path.GetString());
            return -1;
        }
    } else {
        icon = m_shell.fileIcon(path);
        owned = icon != nullptr;
        if (!icon) {
            AfxTrace("ICON get fail path =%s\n", path.GetString());
            icon = m_shell.errorIcon();
        }
    }
    const int index = m_shell.addIcon(m_imageList, icon);
    if (owned)
        m_shell.destroyIcon(icon);
    const int position = static_cast<int>(m_paths.size());
    if (index != position) {
        // Images beyond the keys would pair every later key with the wrong icon.
        for (int count = m_imageList.GetImageCount(); count > position; --count)
            m_imageList.Remove(count - 1);
        return -1;
    }
    m_paths.push_back(path);
    return index;
}
