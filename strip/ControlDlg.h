#pragma once
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/HotKey.h"
#include "strip/HoverHotKey.h"
#include "strip/IconCache.h"
#include "strip/SlotGrid.h"
#include "strip/StripSettings.h"
#include "strip/ThumbnailList.h"
#include "strip/ThumbnailListener.h"
#include "tracking/ProcessNameCache.h"
#include "tracking/WindowEntry.h"

#include <vector>

class CLimitDlg;

const UINT_PTR IDT_REFRESH = 105;
const UINT_PTR IDT_HOVER = 107;
const int IDHK_HOVER = 1000;
const UINT WM_APP_REFRESH_NEXT = WM_APP + 1;

// The control page: owns the thumbnails, the slot grid and the strip's settings.
class CControlDlg : public CDialog, public CthumbnailListener {
public:
    explicit CControlDlg(CWnd* parent = nullptr);
    ~CControlDlg() override;
    BOOL DestroyWindow() override;

    // Settings of section "SYSTEM" in "Kestrova.ini".
    void LoadSettings();
    // Writes the twelve keys whole or not at all; a failure is traced and shown to the user.
    void SaveSettings();
    // The write alone: FALSE, with GetLastError set, when the file keeps its old bytes.
    BOOL WriteSettings() const;
    void CalcThumbnailSize();
    void UpdateStatusLabels();
    void ShowTransparency();
    void SaveExclusionData();

    // The slot grid.
    void BuildSlotsTop(std::vector<ThumbSlot>& slots);
    void BuildSlotsLeft(std::vector<ThumbSlot>& slots);
    void BuildSlotsRight(std::vector<ThumbSlot>& slots);
    void BuildSlotsBottom(std::vector<ThumbSlot>& slots);
    void ArrangeThumbnails();

    // Tracked windows coming and going.
    // A window that has a thumbnail, or one being made, gets no second one.
    void AddThumbnail(WindowEntry entry);
    void RemoveThumbnail(WindowEntry entry);
    bool HasThumbnail(HWND source) const;
    // Its thumbnail's park has not ended.
    bool ParkGoesOn(HWND source) const;
    // Frees the slot showing source, then closes its thumbnail; nothing when no slot shows it.
    void CloseSlotOf(HWND source, int closeState);

    // The thumbnail list (ControlDlgList.cpp): one row per used slot, in slot order.
    void RefreshWindowList();
    void GetProcessImagePath(DWORD processId, CString& path);
    void SwapSlots(int i, int j);
    int MoveUpByHandle(HWND hwnd);
    int MoveDownByHandle(HWND hwnd);
    // A whole move, then one rebuild of the list; the thumbnail's new slot, or -1 when none moved.
    int MoveByHandle(HWND hwnd, MoveKind kind);
    void ExcludeListItem(int row);
    // The source handle a row stands for; null when its third column names none.
    HWND RowHandle(int row) const;

    // The refresh cycle.
    void RefreshNextThumbnail();

    // CthumbnailListener
    void arrange() override;
    void moveToTop(HWND source) override;
    void moveForward(HWND source) override;
    void moveBackward(HWND source) override;
    void moveToEnd(HWND source) override;
    void exclude(HWND source) override;

    CListCtrl m_list;
    CString m_strIniPath;
    std::vector<ThumbSlot> m_slots;
    int m_nLocation;
    int m_nSize;
    int m_nTopMargin;
    int m_nLeftMargin;
    int m_nRightMargin;
    int m_nBottomMargin;
    int m_nTransparent;
    int m_nLimit;
    int m_nInterval;
    int m_bEnableDeleteTab;
    int m_bFrame;
    int m_nHoverHotKey;
    int m_nHoverModifiers;
    int m_nThumbWidth;
    int m_nThumbHeight;
    CBrush m_brYellow;
    CBrush m_brGray;
    CLimitDlg* m_pLimitDlg;
    int m_nRefreshIndex;
    int m_nHoverCountdown;
    CImageListCashSmoll m_iconCache;
    ProcessNameCache m_imagePaths;  // executable paths by process id and creation time

protected:
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;
    BOOL OnInitDialog() override;

    void OnChangeProperties();
    HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
    void OnTransparencyChange();
    void OnArrange();
    void OnExclude();
    void OnTimer(UINT_PTR id);
    void OnMoveUp();
    void OnMoveDown();
    void OnMoveFirst();
    void OnMoveLast();

    DECLARE_MESSAGE_MAP()

private:
    // An admission whose thumbnail is being made; overtaken while the window's last report says gone.
    struct PendingAdmission {
        HWND source;
        bool overtaken;
    };
    std::vector<PendingAdmission*> m_admissions;

    void FillGrid(int edge, std::vector<ThumbSlot>& slots);
    int ReadSetting(const char* key, int defaultValue) const;
    // The system calls on the hover hot key; failureText is the box shown when a key is taken.
    HoverKeyCalls HoverKeyCallsFor(const char* failureText);
    CHotKeyRegistration m_hoverKey;

    // Exchanges what two used slots hold; FALSE when either is not a used slot of the grid.
    BOOL ExchangeSlots(int i, int j);
    // Re-places the thumbnails of these slots, reading the grid afresh for each.
    void PlaceThumbnails(const std::vector<int>& slots);
    void OnMoveButton(MoveKind kind);

    // Hover-key mode (RefreshCycle.cpp).
    void OnHoverHotKey();
    void OnHoverTimer();
    void SetHoverKeyOnAll(int on);
};

// The one control page, set by its constructor; the thumbnails read FRAME through it.
extern CControlDlg* ControlDialog;

// The control page's part of the close protocol. The pointer is dead when this returns.
void CloseThumbnail(Cthumbnail* thumbnail, int closeState);
