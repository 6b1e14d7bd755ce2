#include "tracking/LimitDlg.h"

#include "desktop/DwmApi.h"
#include "desktop/PageColours.h"
#include "framework/App.h"
#include "framework/Mbcs.h"
#include "res/resource.h"
#include "tracking/ExclusionStore.h"
#include "tracking/LimitSettingDlg.h"

namespace {

const char kSelectRuleText[] = "除外条件を一覧で選択してください";
const char kRulesNotSavedText[] =
    "除外条件をExclusionData.iniに保存できませんでした。次の変更時と終了時にもう一度保存します。";

}  // namespace

BEGIN_MESSAGE_MAP(CLimitDlg, CDialog)
    ON_NOTIFY(NM_CLICK, IDC_RULE_LIST, &CLimitDlg::OnClickRuleList)
    ON_NOTIFY(LVN_ITEMCHANGED, IDC_RULE_LIST, &CLimitDlg::OnRuleSelectionChanged)
    ON_BN_CLICKED(IDC_EDIT_RULE, &CLimitDlg::OnEditRule)
    ON_BN_CLICKED(IDC_DELETE_RULE, &CLimitDlg::OnDeleteRule)
    ON_WM_CTLCOLOR()
    ON_MESSAGE(WM_APP_RULES_NOT_SAVED, &CLimitDlg::OnRulesNotSaved)
END_MESSAGE_MAP()

CLimitDlg::CLimitDlg(CWnd* parent) : CDialog(IDD_LIMIT_DIALOG, parent)
{
    m_brushYellow.CreateSolidBrush(kFieldYellow);
    m_brushGreen.CreateSolidBrush(RGB(0, 255, 0));
    m_brushRed.CreateSolidBrush(RGB(255, 0, 0));
    m_brushGray.CreateSolidBrush(kFieldGray);
}

CLimitDlg::~CLimitDlg() {}

void CLimitDlg::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_RULE_LIST, m_list);
}

BOOL CLimitDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_list.SetExtendedStyle(IsVistaOrLater() ? (LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES) : LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, "ProcessName", LVCFMT_LEFT, 100);
    m_list.InsertColumn(1, "Title", LVCFMT_LEFT, 150);
    return TRUE;
}

void CLimitDlg::SetIniPath(CString path)
{
    m_strIniPath = path;
    LoadExclusionRules();
}

void CLimitDlg::LoadExclusionRules()
{
    m_rules = ExclusionStore::GetInstance()->rules;
    RefreshRuleList();
}

// Written at once, so that a crash, End Task or power loss loses no change.
void CLimitDlg::SaveExclusionRules()
{
    ExclusionStore* store = ExclusionStore::GetInstance();
    store->rules = m_rules;
    store->Save();
    // A file that could not be read at start-up is merged in at the first save: show what is in force.
    if (!SameRules(store->rules, m_rules)) {
        m_rules = store->rules;
        RefreshRuleList();
    }
    // Callers go on after this (a thumbnail closes), so the box waits for a message of its own.
    if (store->TakeFailureNotice() && m_hWnd)
        PostMessage(WM_APP_RULES_NOT_SAVED);
}

LRESULT CLimitDlg::OnRulesNotSaved(WPARAM, LPARAM)
{
    AfxMessageBox(kRulesNotSavedText, MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

BOOL CLimitDlg::MatchesExclusionRule(ExclusionRule rule, CString title, CString processName)
{
    return ::MatchesExclusionRule(rule, title, processName);
}

BOOL CLimitDlg::IsWindowAllowed(CString title, CString processName)
{
    return ::IsWindowAllowed(m_rules, title, processName);
}

void CLimitDlg::AddExclusionRule(CString title, CString processName)
{
    if (HasRuleForWindow(m_rules, title, processName))
        return;
    m_rules.insert(m_rules.begin(), RuleForWindow(title, processName));
    RefreshRuleList();
    SaveExclusionRules();
}

void CLimitDlg::RefreshRuleList()
{
    const int mark = m_list.GetSelectionMark();
    m_list.SendMessage(WM_SETREDRAW, FALSE);
    m_list.DeleteAllItems();
    for (int i = 0; i < static_cast<int>(m_rules.size()); ++i) {
        const ExclusionRule& rule = m_rules[i];
        m_list.InsertItem(i, rule.useProcessName ? rule.processName.GetString() : "");
        m_list.SetItemText(i, 1, rule.useTitle ? rule.title.GetString() : "");
    }
    if (mark >= 0) {
        ListView_SetSelectionMark(m_list.m_hWnd, mark);
        m_list.SetItemState(mark, LVIS_SELECTED, LVIS_SELECTED);
        ListView_SetHotItem(m_list.m_hWnd, mark);
        m_list.EnsureVisible(mark, FALSE);
    }
    m_list.SendMessage(WM_SETREDRAW, TRUE);
    ShowRuleDetails(mark);
}

void CLimitDlg::ShowRuleDetails(int index)
{
    if (index < 0 || index >= static_cast<int>(m_rules.size())) {
        SetDlgItemText(IDC_TITLE_STATE, "");
        SetDlgItemText(IDC_PNAME_STATE, "");
        SetDlgItemText(IDC_MATCH_KIND, "");
        SetDlgItemText(IDC_TITLE_PATTERN, "");
        return;
    }
    const ExclusionRule& rule = m_rules[index];
    SetDlgItemText(IDC_TITLE_STATE, rule.useTitle ? "タイトル有効" : "タイトル無効");
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_MATCH_KIND), rule.useTitle ? TRUE : FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_TITLE_PATTERN), rule.useTitle ? TRUE : FALSE);
    SetDlgItemText(IDC_PNAME_STATE, rule.useProcessName ? "プロセス名有効" : "プロセス名無効");
    SetDlgItemText(IDC_MATCH_KIND, rule.fullNameMatch ? "フルネーム一致" : "部分文字列一致");
    SetDlgItemText(IDC_TITLE_PATTERN, rule.titlePattern);
}

void CLimitDlg::OnClickRuleList(NMHDR*, LRESULT* result)
{
    const int mark = m_list.GetSelectionMark();
    if (mark >= 0)
        ShowRuleDetails(mark);
    *result = 0;
}

// A selection moved with the keyboard shows its rule too, so change and delete act on what the
// user sees.
void CLimitDlg::OnRuleSelectionChanged(NMHDR* hdr, LRESULT* result)
{
    const NMLISTVIEW* change = reinterpret_cast<const NMLISTVIEW*>(hdr);
    if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
        ShowRuleDetails(change->iItem);
    *result = 0;
}

void CLimitDlg::OnEditRule()
{
    const int mark = m_list.GetSelectionMark();
    if (mark == -1) {
        AfxMessageBox(kSelectRuleText);
        return;
    }
    if (mark < 0 || mark >= static_cast<int>(m_rules.size()))
        return;
    const ExclusionRule picked = m_rules[mark];
    CLimitSettingDlg dlg;
    dlg.m_bUseTitle = picked.useTitle;
    dlg.m_bUseProcessName = picked.useProcessName;
    dlg.m_bFullNameMatch = picked.fullNameMatch;
    dlg.m_strTitlePattern = picked.titlePattern;
    dlg.m_strTitle = picked.title;
    if (dlg.DoModal() != IDOK)
        return;
    const int row = RelocateRule(m_rules, mark, picked);
    if (row < 0)
        return;
    ExclusionRule& rule = m_rules[row];
    rule.useTitle = dlg.m_bUseTitle;
    rule.useProcessName = dlg.m_bUseProcessName;
    rule.fullNameMatch = dlg.m_bFullNameMatch;
    rule.titlePattern = dlg.m_strTitlePattern;
    // A rule inserted meanwhile moved it: mark it where it is, so the list and details agree.
    if (row != mark)
        ListView_SetSelectionMark(m_list.m_hWnd, row);
    RefreshRuleList();
    ShowRuleDetails(row);
    SaveExclusionRules();
}

void CLimitDlg::OnDeleteRule()
{
    const int mark = m_list.GetSelectionMark();
    if (mark == -1) {
        AfxMessageBox(kSelectRuleText);
        return;
    }
    const bool valid = mark >= 0 && mark < static_cast<int>(m_rules.size());
    const ExclusionRule picked = valid ? m_rules[mark] : ExclusionRule();
    if (AfxMessageBox("除外条件を削除しますか？", MB_YESNO) == IDNO)
        return;
    if (!valid)
        return;
    const int row = RelocateRule(m_rules, mark, picked);
    if (row < 0)
        return;
    m_rules.erase(m_rules.begin() + row);
    RefreshRuleList();
    SaveExclusionRules();
}

HBRUSH CLimitDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor)
{
    HBRUSH brush = CDialog::OnCtlColor(dc, wnd, ctlColor);
    if (ctlColor == CTLCOLOR_BTN || ctlColor == CTLCOLOR_DLG)
        return m_brushGray;
    if (ctlColor != CTLCOLOR_STATIC)
        return brush;
    dc->SetBkMode(TRANSPARENT);
    switch (wnd ? wnd->GetDlgCtrlID() : 0) {
        case IDC_TITLE_STATE:
        case IDC_PNAME_STATE: {
            CString text;
            wnd->GetWindowText(text);
            if (text.IsEmpty())
                return m_brushYellow;
            return MbcsFindString(text, "有効") ? m_brushGreen : m_brushRed;
        }
        case IDC_TITLE_PATTERN:
        case IDC_MATCH_KIND:
            return m_brushYellow;
        default:
            return m_brushGray;
    }
}
