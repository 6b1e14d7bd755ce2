#pragma once
// CImageList: owns one image list and destroys it once, in DeleteImageList or the destructor.
#include <windows.h>
#include <commctrl.h>

class CImageList {
public:
    CImageList() : m_hImageList(nullptr) {}
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    COLORREF SetBkColor(COLORREF color) { return ImageList_SetBkColor(m_hImageList, color); }
    // The index of the new image, -1 when the list refused the icon. The list keeps its own copy.
    int Add(HICON icon) { return m_hImageList ? ImageList_ReplaceIcon(m_hImageList, -1, icon) : -1; }
    BOOL Remove(int index) { return m_hImageList ? ImageList_Remove(m_hImageList, index) : FALSE; }
    int GetImageCount() const { return m_hImageList ? ImageList_GetImageCount(m_hImageList) : 0; }
    BOOL DeleteImageList();
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    operator HIMAGELIST() const { return m_hImageList; }

    HIMAGELIST m_hImageList;
};
