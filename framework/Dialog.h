#pragma once
// CDialog: a window built from a dialog template, modeless (Create) or modal (DoModal). DoModal
// runs the framework's own loop: the owner is disabled for its duration, and PreTranslateMessage
// of the target window and its parents up to the dialog sees every message before
// IsDialogMessage. Modal dialogs nest, with the message boxes shown through the framework.
#include "framework/DDX.h"
#include "framework/Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId = 0, CWnd* parent = nullptr);
    ~CDialog() override;

    virtual INT_PTR DoModal();
    virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
    // Ends the dialog and every dialog and message box opened inside its modal loop.
    void EndDialog(int result);
    bool IsModalLoopRunning() const { return m_bInModal && m_bContinueModal; }

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* dx);
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    BOOL PreTranslateMessage(MSG* msg) override;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    BOOL CreateFromTemplate(HWND owner);
    void OnOKCommand() { OnOK(); }
    void OnCancelCommand() { OnCancel(); }

    bool m_bInModal;
    bool m_bContinueModal;
    int m_nModalResult;

    DECLARE_MESSAGE_MAP()

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};
