#pragma once
// CImageListCashSmoll: the small icon of each executable shown in the control page's thumbnail
// list, fetched from the shell once per path and found again by it. The cache owns its image list
// and destroys it once; the list control shares it (LVS_SHAREIMAGELISTS).
#include <windows.h>

#include <vector>

#include "framework/ImageList.h"
#include "framework/String.h"

// What the cache asks of the system, replaceable for tests.
struct IconShell {
    HICON (*fileIcon)(const char* path);  // the file's small icon, owned by the caller; null when none
    HICON (*errorIcon)();                 // shared: never destroyed
    HICON (*desktopIcon)();               // shared; null when the resource is missing
    void (*destroyIcon)(HICON icon);
    int (*addIcon)(CImageList& list, HICON icon);  // the new image's index, -1 when refused
};

const IconShell& SystemIconShell();

class CImageListCashSmoll {
public:
    explicit CImageListCashSmoll(const IconShell& shell = SystemIconShell());
    virtual ~CImageListCashSmoll();
    CImageListCashSmoll(const CImageListCashSmoll&) = delete;
    CImageListCashSmoll& operator=(const CImageListCashSmoll&) = delete;

    // The image index for path ("DESKTOP" is the program's desktop icon), adding the icon on first
    // use; -1 when there is no image for it. A path the shell has no icon for gets the error icon.
    int GetIconIndex(CString path);

    CImageList m_imageList;
    std::vector<CString> m_paths;  // m_paths[i] is the key of image i

private:
    IconShell m_shell;
};
