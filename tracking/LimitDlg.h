#pragma once
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "tracking/ExclusionRule.h"
#include "tracking/RuleSearch.h"

#include <vector>

// Posted to the page by a save that did not reach the rules file, so the box opens on a stack of its own.
const UINT WM_APP_RULES_NOT_SAVED = WM_APP + 3;

// The exclusion list page: the rules that keep windows out of the strip, with the details of the
// selected rule and the change and delete buttons.
class CLimitDlg : public CDialog {
public:
    explicit CLimitDlg(CWnd* parent = nullptr);
    ~CLimitDlg() override;

    void SetIniPath(CString path);
    void LoadExclusionRules();
    void SaveExclusionRules();
    BOOL MatchesExclusionRule(ExclusionRule rule, CString title, CString processName);
    BOOL IsWindowAllowed(CString title, CString processName);
    void AddExclusionRule(CString title, CString processName);

    CListCtrl m_list;
    std::vector<ExclusionRule> m_rules;
    CString m_strIniPath;
    CBrush m_brushYellow;
    CBrush m_brushGreen;
    CBrush m_brushRed;
    CBrush m_brushGray;

protected:
    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void RefreshRuleList();
    void ShowRuleDetails(int index);
    void OnClickRuleList(NMHDR* hdr, LRESULT* result);
    void OnRuleSelectionChanged(NMHDR* hdr, LRESULT* result);
    void OnEditRule();
    void OnDeleteRule();
    HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
    LRESULT OnRulesNotSaved(WPARAM, LPARAM);

    DECLARE_MESSAGE_MAP()
};
