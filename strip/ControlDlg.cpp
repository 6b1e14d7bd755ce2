#include "strip/ControlDlg.h"

#include "desktop/DwmApi.h"
#include "desktop/Globals.h"
#include "desktop/MultiDisplay.h"
#include "desktop/PageColours.h"
#include "desktop/TaskBarControl.h"
#include "desktop/WholeFileWrite.h"
#include "framework/App.h"
#include "framework/Trace.h"
#include "res/resource.h"
#include "strip/ParkedWindow.h"
#include "strip/ProcessImagePath.h"
#include "strip/Thumbnail.h"
#include "tracking/ExclusionStore.h"
#include "tracking/LimitDlg.h"

#include <algorithm>

CControlDlg* ControlDialog = nullptr;

namespace {

const char kSection[] = "SYSTEM";
const DWORD kExitPutBackDeadline = 1500;  // what the exit waits for parked sources to take their put-backs

}  // namespace

void CloseThumbnail(Cthumbnail* thumbnail, int closeState)
{
    if (!thumbnail)
        return;
    thumbnail->m_nPrevState = thumbnail->m_nState;
    thumbnail->m_nState = closeState;
    thumbnail->DestroyWindow();
}

BEGIN_MESSAGE_MAP(CControlDlg, CDialog)
    ON_BN_CLICKED(IDC_CHANGE_PROPERTIES, &CControlDlg::OnChangeProperties)
    ON_WM_CTLCOLOR()
    ON_BN_CLICKED(IDC_CHANGE_TRANSPARENCY, &CControlDlg::OnTransparencyChange)
    ON_BN_CLICKED(IDC_ARRANGE, &CControlDlg::OnArrange)
    ON_BN_CLICKED(IDC_EXCLUDE, &CControlDlg::OnExclude)
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_MOVE_UP, &CControlDlg::OnMoveUp)
    ON_BN_CLICKED(IDC_MOVE_DOWN, &CControlDlg::OnMoveDown)
    ON_BN_CLICKED(IDC_MOVE_FIRST, &CControlDlg::OnMoveFirst)
    ON_BN_CLICKED(IDC_MOVE_LAST, &CControlDlg::OnMoveLast)
END_MESSAGE_MAP()

CControlDlg::CControlDlg(CWnd* parent)
    : CDialog(IDD_CONTROL_DIALOG, parent),
      m_nLocation(1),
      m_nSize(1),
      m_nTopMargin(10),
      m_nLeftMargin(20),
      m_nRightMargin(10),
      m_nBottomMargin(30),
      m_nTransparent(60),
      m_nLimit(6),
      m_nInterval(5),
      m_bEnableDeleteTab(0),
      m_bFrame(0),
      m_nHoverHotKey('W'),
      m_nHoverModifiers(MOD_WIN),
      m_nThumbWidth(0),
      m_nThumbHeight(0),
      m_pLimitDlg(nullptr),
      m_nRefreshIndex(0),
      m_nHoverCountdown(0),
      m_imagePaths(&ReadProcessImagePath)
{
    ControlDialog = this;
    m_strIniPath = SettingsFilePath("Kestrova.ini");
    m_brYellow.CreateSolidBrush(kFieldYellow);
    m_brGray.CreateSolidBrush(kFieldGray);
}

CControlDlg::~CControlDlg()
{
    if (ControlDialog == this)
        ControlDialog = nullptr;
}

// ---- settings

int CControlDlg::ReadSetting(const char* key, int defaultValue) const
{
    if (m_strIniPath.IsEmpty())
        return defaultValue;  // no known folder: no file is used
    return static_cast<int>(::GetPrivateProfileIntA(kSection, key, defaultValue, m_strIniPath));
}

void CControlDlg::LoadSettings()
{
    m_nLocation = ReadSetting("LOCATION", 1);
    m_nSize = ReadSetting("SIZE", 1);
    CalcThumbnailSize();
    m_nLeftMargin = ReadSetting("LEFTMARGIN", 20);
    m_nTopMargin = ReadSetting("TOPMARGIN", 10);
    m_nRightMargin = ReadSetting("RIGHTMARGIN", 10);
    m_nBottomMargin = ReadSetting("BOTTOMMARGIN", 30);
    m_nTransparent = ReadSetting("TRANSPARENT", 60);
    m_nLimit = ReadSetting("LIMIT", 16);
    m_nInterval = ReadSetting("INTERVAL", 5);
    // Parked windows keep their taskbar buttons: the service never removes one.
    m_bEnableDeleteTab = 0;
    if (CTaskBarControl* taskBar = CTaskBarControl::GetInstance())
        taskBar->m_bEnableDeleteTab = m_bEnableDeleteTab;
    m_bFrame = ReadSetting("FRAME", 0);
    m_nHoverHotKey = ReadSetting("HVHOTKEY", m_nHoverHotKey);
    m_nHoverModifiers = ReadSetting("HVMODIFIERS", m_nHoverModifiers);
}

BOOL CControlDlg::WriteSettings() const
{
    const struct {
        const char* key;
        int value;
    } keys[] = {
        {"LOCATION", m_nLocation},       {"SIZE", m_nSize},
        {"LEFTMARGIN", m_nLeftMargin},   {"TOPMARGIN", m_nTopMargin},
        {"RIGHTMARGIN", m_nRightMargin}, {"BOTTOMMARGIN", m_nBottomMargin},
        {"TRANSPARENT", m_nTransparent}, {"LIMIT", m_nLimit},
        {"INTERVAL", m_nInterval},       {"FRAME", m_bFrame},
        {"HVHOTKEY", m_nHoverHotKey},    {"HVMODIFIERS", m_nHoverModifiers},
    };
    std::vector<ProfileValue> values;
    for (const auto& k : keys) {
        CString text;
        text.Format("%d", k.value);
        values.push_back(ProfileValue(k.key, text));
    }
    return WriteProfileWhole(m_strIniPath, kSection, values);
}

void CControlDlg::SaveSettings()
{
    if (WriteSettings())
        return;
    AfxTrace("SaveSettings(%s) Error=%d\n", m_strIniPath.GetString(), static_cast<int>(::GetLastError()));
    AfxMessageBox("設定をKestrova.iniに保存できませんでした。", MB_OK | MB_ICONEXCLAMATION);
}

void CControlDlg::CalcThumbnailSize()
{
    SIZE size;
    if (ThumbnailSizeFor(m_nSize, &size)) {
        m_nThumbWidth = size.cx;
        m_nThumbHeight = size.cy;
    }
}

void CControlDlg::UpdateStatusLabels()
{
    SetDlgItemText(IDC_LOCATION_TEXT, LocationText(m_nLocation));
    SetDlgItemText(IDC_SIZE_TEXT, SizeText(m_nSize));
    const struct {
        int id;
        int value;
    } numbers[] = {
        {IDC_TOPMARGIN_TEXT, m_nTopMargin},
        {IDC_LEFTMARGIN_TEXT, m_nLeftMargin},
        {IDC_RIGHTMARGIN_TEXT, m_nRightMargin},
        {IDC_BOTTOMMARGIN_TEXT, m_nBottomMargin},
        {IDC_LIMIT_TEXT, m_nLimit},
        {IDC_INTERVAL_TEXT, m_nInterval},
    };
    for (const auto& n : numbers) {
        CString text;
        text.Format("%d", n.value);
        SetDlgItemText(n.id, text);
    }
    CMultiDisplay* displays = CMultiDisplay::GetInstance();
    // The registry is read only from Windows Vista on.
    const BOOL aero = IsOsVersionAtLeast(6, 0, 0) && IsAeroEnabled();
    SetDlgItemText(IDC_MODE_TEXT, ModeLetters(displays ? displays->m_nMonitorCount : 0, LayeredMode, aero, m_bFrame));
}

void CControlDlg::ShowTransparency()
{
    CString text;
    text.Format("%d", m_nTransparent);
    SetDlgItemText(IDC_TRANSPARENT_TEXT, text);
}

void CControlDlg::SaveExclusionData()
{
    ExclusionStore::GetInstance()->Save();
}

// ---- the page's window

void CControlDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_THUMB_LIST, m_list);
}

BOOL CControlDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    LoadSettings();
    m_list.SetExtendedStyle(IsVistaOrLater() ? (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES) : LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, "Title", LVCFMT_LEFT, 220);
    m_list.InsertColumn(1, "ProcessName", LVCFMT_LEFT, 100);
    m_list.InsertColumn(2, "WinHandle", LVCFMT_LEFT, 100);
    m_list.SetImageList(m_iconCache.m_imageList, LVSIL_SMALL);
    ArrangeThumbnails();
    UpdateStatusLabels();
    ShowTransparency();
    SetTimer(IDT_REFRESH, RefreshPeriodMs(m_nInterval));
    RegisterHoverKey(HoverKeyCallsFor("HOVERキーの登録が重複しています.他のキーに変更してください."),
                     HoverKey{m_nHoverHotKey, m_nHoverModifiers});
    SetTimer(IDT_HOVER, 100);
    return TRUE;
}

HoverKeyCalls CControlDlg::HoverKeyCallsFor(const char* failureText)
{
    HWND page = m_hWnd;
    CHotKeyRegistration* hoverKey = &m_hoverKey;
    HoverKeyCalls calls;
    calls.registerKey = [page, hoverKey](const HoverKey& key) {
        return hoverKey->Register(page, IDHK_HOVER, static_cast<UINT>(key.modifiers), static_cast<UINT>(key.key));
    };
    calls.unregisterKey = [hoverKey] { hoverKey->Unregister(); };
    calls.reportFailure = [page, failureText](DWORD error) {
        AfxTrace("RegisterHotKey() Error=%d\n", static_cast<int>(error));
        AfxMessageBox(failureText, MB_OK);
        return ::IsWindow(page);
    };
    return calls;
}

BOOL CControlDlg::DestroyWindow()
{
    m_hoverKey.Unregister();
    return CDialog::DestroyWindow();
}

void CControlDlg::PostNcDestroy()
{
    // The grid leaves the page first, so nothing a closing thumbnail sets off can reach it.
    std::vector<ThumbSlot> slots;
    slots.swap(m_slots);
    {
        // Every parked source at once, none waited for on its own: a slow one holds up no other.
        PutBackTogether together(kExitPutBackDeadline);
        for (ThumbSlot& slot : slots) {
            if (slot.used == 1)
                CloseThumbnail(slot.thumbnail, THUMB_CLOSE);
        }
    }
    CDialog::PostNcDestroy();
}

LRESULT CControlDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HOTKEY && wParam == IDHK_HOVER)
        OnHoverHotKey();
    else if (message == WM_APP_REFRESH_NEXT)
        RefreshNextThumbnail();
    return CDialog::WindowProc(message, wParam, lParam);
}

void CControlDlg::OnTimer(UINT_PTR id)
{
    if (id == IDT_REFRESH) {
        KillTimer(IDT_REFRESH);
        // Posted, so that the refresh comes behind the messages already queued.
        PostMessage(WM_APP_REFRESH_NEXT);
        SetTimer(IDT_REFRESH, RefreshPeriodMs(m_nInterval));
    } else if (id == IDT_HOVER) {
        OnHoverTimer();
    }
    CDialog::OnTimer(id);
}

HBRUSH CControlDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor)
{
    HBRUSH brush = CDialog::OnCtlColor(dc, wnd, ctlColor);
    switch (ctlColor) {
        case CTLCOLOR_BTN:
        case CTLCOLOR_DLG:
            return m_brGray;
        case CTLCOLOR_STATIC:
            dc->SetBkMode(TRANSPARENT);
            switch (wnd ? wnd->GetDlgCtrlID() : 0) {
                case IDC_LOCATION_TEXT:
                case IDC_SIZE_TEXT:
                case IDC_TOPMARGIN_TEXT:
                case IDC_LEFTMARGIN_TEXT:
                case IDC_RIGHTMARGIN_TEXT:
                case IDC_BOTTOMMARGIN_TEXT:
                case IDC_TRANSPARENT_TEXT:
                case IDC_LIMIT_TEXT:
                case IDC_INTERVAL_TEXT:
                case IDC_MODE_TEXT:
                    return m_brYellow;
                case IDC_MARGIN_LABEL:
                case IDC_LIMIT_LABEL:
                    dc->SetTextColor(0x00FF0000);
                    return m_brGray;
                default:
                    return m_brGray;
            }
        default:
            return brush;
    }
}

// ---- the slot grid

void CControlDlg::FillGrid(int edge, std::vector<ThumbSlot>& slots)
{
    slots.clear();
    RECT screen;
    ::GetWindowRect(::GetDesktopWindow(), &screen);
    const SIZE slot = {m_nThumbWidth, m_nThumbHeight};
    const GridMargins margins = {m_nLeftMargin, m_nTopMargin, m_nRightMargin, m_nBottomMargin};
    for (const RECT& rect : BuildSlots(edge, slot, margins, screen)) {
        ThumbSlot cell;
        cell.rect = rect;
        slots.push_back(cell);
    }
}

void CControlDlg::BuildSlotsTop(std::vector<ThumbSlot>& slots)
{
    FillGrid(kEdgeTop, slots);
}
void CControlDlg::BuildSlotsLeft(std::vector<ThumbSlot>& slots)
{
    FillGrid(kEdgeLeft, slots);
}
void CControlDlg::BuildSlotsRight(std::vector<ThumbSlot>& slots)
{
    FillGrid(kEdgeRight, slots);
}
void CControlDlg::BuildSlotsBottom(std::vector<ThumbSlot>& slots)
{
    FillGrid(kEdgeBottom, slots);
}

void CControlDlg::ArrangeThumbnails()
{
    std::vector<ThumbSlot> fresh;
    switch (m_nLocation) {
        case kEdgeTop:
            BuildSlotsTop(fresh);
            break;
        case kEdgeLeft:
            BuildSlotsLeft(fresh);
            break;
        case kEdgeRight:
            BuildSlotsRight(fresh);
            break;
        case kEdgeBottom:
            BuildSlotsBottom(fresh);
            break;
        default:
            break;  // no edge, no grid
    }

    std::vector<ThumbSlot> old;
    old.swap(m_slots);
    const ArrangePlan plan = PlanArrangement(UsedFlags(old), m_nLimit, fresh.size());
    for (size_t j = 0; j < plan.kept.size(); ++j) {
        const ThumbSlot& from = old[plan.kept[j]];
        fresh[j].used = 1;
        fresh[j].thumbnail = from.thumbnail;
        fresh[j].entry = from.entry;
    }
    // The new grid stands before any thumbnail closes.
    m_slots.swap(fresh);
    for (int index : plan.closed) {
        AfxTrace("location変更によりWindowを破棄しました %s\n", old[index].entry.title.GetString());
        CloseThumbnail(old[index].thumbnail, THUMB_CLOSE);
    }
    std::vector<int> used;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (m_slots[i].used == 1)
            used.push_back(static_cast<int>(i));
    }
    PlaceThumbnails(used);
    // Rows of dropped thumbnails would leave moves and exclusions acting on windows without one.
    RefreshWindowList();
}

void CControlDlg::OnArrange()
{
    ArrangeThumbnails();
}

void CControlDlg::arrange()
{
    ArrangeThumbnails();
}

// ---- admitting and removing thumbnails

bool CControlDlg::ParkGoesOn(HWND source) const
{
    for (const ThumbSlot& slot : m_slots) {
        if (slot.used == 1 && slot.entry.hwnd == source && slot.thumbnail)
            return slot.thumbnail->ParkGoesOn();
    }
    return false;
}

bool CControlDlg::HasThumbnail(HWND source) const
{
    for (const ThumbSlot& slot : m_slots) {
        if (slot.used == 1 && slot.entry.hwnd == source)
            return true;
    }
    return false;
}

void CControlDlg::AddThumbnail(WindowEntry entry)
{
    // Delivered while its thumbnail is being made: that admission stands, also after a report of
    // the window gone in between. A second one would park the source a second time.
    for (PendingAdmission* pending : m_admissions) {
        if (pending->source == entry.hwnd) {
            pending->overtaken = false;
            return;
        }
    }
    // One window, one thumbnail, also when a report comes twice.
    if (HasThumbnail(entry.hwnd))
        return;
    // A window left parked by an earlier run is layered by that parking, not by itself.
    const DWORD exStyle = IsMarkedParked(entry.hwnd) ? StateToPutBack(entry.hwnd).exStyle
                                                     : static_cast<DWORD>(::GetWindowLongA(entry.hwnd, GWL_EXSTYLE));
    const bool layered = (exStyle & WS_EX_LAYERED) != 0;
    std::function<bool()> allowed;
    if (m_pLimitDlg)
        allowed = [&] { return m_pLimitDlg->IsWindowAllowed(entry.title, entry.processName) != 0; };
    const AdmitDecision decision = DecideAdmission(layered, UsedFlags(m_slots), m_nLimit, allowed);
    switch (decision.verdict) {
        case kIgnoreLayered:
        case kIgnoreAtLimit:
        case kIgnoreRefused:
            return;
        case kNoFreeSlot:
            break;
        case kAdmit: {
            const size_t index = static_cast<size_t>(decision.slot);
            const size_t gridSize = m_slots.size();
            const RECT rect = m_slots[index].rect;
            // Making the window may run a nested loop (the parking send), in which the window can be
            // reported gone: that report finds no slot yet, so it is noted here.
            PendingAdmission pending = {entry.hwnd, false};
            m_admissions.push_back(&pending);
            Cthumbnail* thumbnail = nullptr;
            try {
                thumbnail = new Cthumbnail(entry, rect, AlphaFromTransparency(m_nTransparent), this);
            } catch (...) {
                m_admissions.erase(std::find(m_admissions.begin(), m_admissions.end(), &pending));
                throw;
            }
            m_admissions.erase(std::find(m_admissions.begin(), m_admissions.end(), &pending));
            // Without a window, when the window went meanwhile, or when the grid changed while the
            // window was made, it is closed again.
            if (!thumbnail->m_hWnd || pending.overtaken || m_slots.size() != gridSize || m_slots[index].used == 1 ||
                !::EqualRect(&m_slots[index].rect, &rect)) {
                CloseThumbnail(thumbnail, THUMB_CLOSE);
                break;
            }
            ThumbSlot& slot = m_slots[index];
            slot.used = 1;
            slot.entry = entry;
            slot.thumbnail = thumbnail;
            m_nRefreshIndex = static_cast<int>(index);
            AfxTrace("Entry title=%s, handle=0x%08x\n", entry.title.GetString(),
                     static_cast<unsigned>(reinterpret_cast<UINT_PTR>(entry.hwnd)));
            break;
        }
    }
    RefreshWindowList();
}

void CControlDlg::RemoveThumbnail(WindowEntry entry)
{
    for (PendingAdmission* pending : m_admissions) {
        if (pending->source == entry.hwnd)
            pending->overtaken = true;
    }
    CloseSlotOf(entry.hwnd, THUMB_CLOSE_ANIMATED);
    RefreshWindowList();
}

void CControlDlg::CloseSlotOf(HWND source, int closeState)
{
    for (ThumbSlot& slot : m_slots) {
        if (slot.used == 1 && slot.entry.hwnd == source) {
            // Freed before the close, which may let other messages in; the slot is not touched again.
            Cthumbnail* thumbnail = slot.thumbnail;
            slot.used = 0;
            slot.thumbnail = nullptr;
            CloseThumbnail(thumbnail, closeState);
            return;
        }
    }
}
