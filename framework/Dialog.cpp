#include "framework/Dialog.h"

#include "framework/App.h"
#include "framework/Guard.h"
#include "framework/ModalStack.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOKCommand)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancelCommand)
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_nIDTemplate(templateId), m_pParentWnd(parent), m_bInModal(false), m_bContinueModal(false), m_nModalResult(-1)
{}

CDialog::~CDialog() {}

// The window procedure (our subclass) sees every message first; the dialog procedure only turns
// WM_INITDIALOG into OnInitDialog, whose result tells the dialog manager whether to set the focus.
INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* dlg = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(hwnd));
    if (!dlg)
        return TRUE;
    return AfxCallGuarded("OnInitDialog", INT_PTR(TRUE), [&] { return static_cast<INT_PTR>(dlg->OnInitDialog()); });
}

BOOL CDialog::CreateFromTemplate(HWND owner)
{
    AfxHookWindowCreate(this);
    HWND hwnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner, &DialogProc,
                                     reinterpret_cast<LPARAM>(this));
    AfxUnhookWindowCreate();
    return hwnd != nullptr;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    return CreateFromTemplate(parent ? parent->m_hWnd : nullptr);
}

INT_PTR CDialog::DoModal()
{
    // Without a parent, the main window owns the dialog (unless it is the main window itself).
    HWND owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main != this && ::IsWindow(main->m_hWnd))
            owner = main->m_hWnd;
    }
    if (owner)
        owner = ::GetAncestor(owner, GA_ROOT);
    const bool disabledOwner = owner && ::IsWindowEnabled(owner);
    if (disabledOwner)
        ::EnableWindow(owner, FALSE);

    m_nModalResult = -1;
    m_bInModal = true;
    m_bContinueModal = true;
    // On the stack before WM_INITDIALOG: a box shown during initialisation is inside this dialog.
    afx::PushModalDialog(this);
    if (!CreateFromTemplate(owner)) {
        afx::PopModalDialog(this);
        m_bInModal = false;
        if (disabledOwner)
            ::EnableWindow(owner, TRUE);
        return -1;
    }
    HWND self = m_hWnd;
    if (m_bContinueModal) {
        // Modal dialogs show whatever their template says, as DialogBox does.
        ::ShowWindow(self, SW_SHOWNORMAL);
        ::UpdateWindow(self);
    }

    MSG msg;
    while (m_bContinueModal && ::IsWindow(self)) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        AfxPumpMessage(msg, self);
        AfxPurgeTemporaryObjects();
    }

    afx::PopModalDialog(this);
    // Enable the owner before the dialog goes, so activation returns to it.
    if (disabledOwner)
        ::EnableWindow(owner, TRUE);
    if (owner && ::GetActiveWindow() == self)
        ::SetActiveWindow(owner);
    if (::IsWindow(self))
        ::DestroyWindow(self);
    m_bInModal = false;
    return m_nModalResult;
}

void CDialog::EndDialog(int result)
{
    m_nModalResult = result;
    if (m_bInModal) {
        // Dialogs and boxes opened inside this one end with it, or its loop could never return.
        afx::EndModalsInside(this);
        m_bContinueModal = false;
        if (m_hWnd) {
            ::ShowWindow(m_hWnd, SW_HIDE);
            ::PostMessageA(m_hWnd, WM_NULL, 0, 0);  // wake the modal loop
        }
    } else if (m_hWnd) {
        ::EndDialog(m_hWnd, result);
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
        return FALSE;  // the failing field has told the user and has the focus
    }
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    // A modeless top-level dialog handles its own keyboard navigation; the modal loop does it
    // for the dialog it runs.
    if (!m_bInModal && m_hWnd && !(GetStyle() & WS_CHILD) && msg->message >= WM_KEYFIRST &&
        msg->message <= WM_KEYLAST && (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd)))
        return ::IsDialogMessageA(m_hWnd, msg);
    return FALSE;
}
