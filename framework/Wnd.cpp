#include "framework/Wnd.h"

#include "framework/App.h"
#include "framework/Guard.h"
#include "framework/ModalStack.h"

#include <memory>
#include <unordered_map>

// One record per window message being handled, innermost first. A CWnd deleted inside a handler
// clears its records, so the frames below it never touch the object again.
struct DispatchFrame {
    CWnd* wnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DispatchFrame* outer;
};

struct WndAccess {
    static bool& FinalPending(CWnd* w) { return w->m_bFinalPending; }
    static int& MsgDepth(CWnd* w) { return w->m_nMsgDepth; }
    static WNDPROC& Super(CWnd* w) { return w->m_pfnSuper; }
};

namespace {

// The framework runs on the user-interface thread only.
std::unordered_map<HWND, CWnd*> g_permanent;
std::unordered_map<HWND, std::unique_ptr<CWnd>> g_temporary;
DispatchFrame* g_innermost = nullptr;
int g_dispatchDepth = 0;
CWnd* g_pWndInit = nullptr;
HHOOK g_hCreateHook = nullptr;

LRESULT CALLBACK StdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void Bind(CWnd* wnd, HWND hwnd)
{
    wnd->m_hWnd = hwnd;
    g_permanent[hwnd] = wnd;
    WndAccess::Super(wnd) =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StdWndProc)));
}

void Unbind(CWnd* wnd)
{
    auto it = g_permanent.find(wnd->m_hWnd);
    if (it != g_permanent.end() && it->second == wnd)
        g_permanent.erase(it);
    wnd->m_hWnd = nullptr;
}

LRESULT CALLBACK CreateHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && g_pWndInit) {
        CWnd* wnd = g_pWndInit;
        g_pWndInit = nullptr;
        const bool bound = AfxCallGuarded("creation hook", false, [&] {
            Bind(wnd, reinterpret_cast<HWND>(wParam));
            return true;
        });
        if (!bound) {
            wnd->m_hWnd = nullptr;
            return 1;  // refuse a window that no object would see the messages of
        }
    }
    return ::CallNextHookEx(g_hCreateHook, code, wParam, lParam);
}

LRESULT CALLBACK StdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto it = g_permanent.find(hwnd);
    if (it == g_permanent.end())
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    CWnd* wnd = it->second;

    DispatchFrame frame{wnd, message, wParam, lParam, g_innermost};
    g_innermost = &frame;
    ++g_dispatchDepth;
    ++WndAccess::MsgDepth(wnd);

    const LRESULT result =
        AfxCallGuarded("window procedure", LRESULT(0), [&] { return wnd->WindowProc(message, wParam, lParam); });

    g_innermost = frame.outer;
    --g_dispatchDepth;
    if (!frame.wnd)
        return result;  // the object was deleted while its message was handled

    --WndAccess::MsgDepth(wnd);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WndAccess::Super(wnd)));
        Unbind(wnd);
        WndAccess::FinalPending(wnd) = true;
    }
    if (WndAccess::FinalPending(wnd) && WndAccess::MsgDepth(wnd) == 0) {
        WndAccess::FinalPending(wnd) = false;
        AfxCallGuarded("PostNcDestroy", 0, [&] {
            wnd->PostNcDestroy();
            return 0;
        });
    }
    return result;
}

}  // namespace

void AfxHookWindowCreate(CWnd* wnd)
{
    if (!g_hCreateHook)
        g_hCreateHook = ::SetWindowsHookExA(WH_CBT, &CreateHookProc, nullptr, ::GetCurrentThreadId());
    g_pWndInit = wnd;
}

BOOL AfxUnhookWindowCreate()
{
    if (g_hCreateHook) {
        ::UnhookWindowsHookEx(g_hCreateHook);
        g_hCreateHook = nullptr;
    }
    const BOOL bound = g_pWndInit == nullptr;
    g_pWndInit = nullptr;
    return bound;
}

void AfxPurgeTemporaryObjects()
{
    if (g_dispatchDepth == 0)
        g_temporary.clear();
}

int AfxDispatchDepth()
{
    return g_dispatchDepth;
}

CWnd::CWnd() : m_hWnd(nullptr), m_pfnSuper(nullptr), m_bTemporary(false), m_bFinalPending(false), m_nMsgDepth(0) {}

CWnd::~CWnd()
{
    for (DispatchFrame* f = g_innermost; f; f = f->outer) {
        if (f->wnd == this)
            f->wnd = nullptr;
    }
    if (m_bTemporary || !m_hWnd)
        return;
    // Deleted with its window still alive: hand the window back to its own procedure first, so
    // no message reaches this half-destroyed object.
    HWND hwnd = m_hWnd;
    UnsubclassWindow();
    if (::IsWindow(hwnd))
        ::DestroyWindow(hwnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    auto it = g_permanent.find(hwnd);
    return it == g_permanent.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    if (CWnd* wnd = FromHandlePermanent(hwnd))
        return wnd;
    auto& slot = g_temporary[hwnd];
    if (!slot) {
        slot.reset(new CWnd);
        slot->m_hWnd = hwnd;
        slot->m_bTemporary = true;
    }
    return slot.get();
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, LPVOID param)
{
    AfxHookWindowCreate(this);
    HWND hwnd = ::CreateWindowExA(exStyle, className, windowName, style, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, parent ? parent->m_hWnd : nullptr,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), AfxGetInstanceHandle(), param);
    AfxUnhookWindowCreate();
    // A CBT hook that refuses the window destroys it without WM_NCDESTROY: drop the dead binding.
    if (!hwnd && m_hWnd && !::IsWindow(m_hWnd))
        UnsubclassWindow();
    return hwnd != nullptr;
}

BOOL CWnd::DestroyWindow()
{
    if (!m_hWnd)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd))
        return FALSE;
    g_temporary.erase(hwnd);
    Bind(this, hwnd);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, id)) : FALSE;
}

HWND CWnd::UnsubclassWindow()
{
    HWND hwnd = m_hWnd;
    if (!hwnd)
        return nullptr;
    if (m_pfnSuper && ::IsWindow(hwnd))
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    Unbind(this);
    m_pfnSuper = nullptr;
    return hwnd;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result))
        result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *result = 0;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        LRESULT r = 0;
        if (!OnNotify(wParam, lParam, &r))
            return FALSE;
        *result = r;
        return TRUE;
    }
    if ((message == WM_VSCROLL || message == WM_HSCROLL) && lParam) {
        CWnd* child = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
        if (child && child != this && child->OnChildNotify(message, wParam, lParam, result))
            return TRUE;
    }
    return DispatchMapped(message, wParam, lParam, result);
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*)
{
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (DispatchMapped(WM_COMMAND, wParam, lParam, nullptr))
        return TRUE;
    // Commands nobody in the window handles go to the application (ID_HELP and the like).
    CWinApp* app = AfxGetApp();
    return app ? app->DispatchMapped(WM_COMMAND, wParam, lParam, nullptr) : FALSE;
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    return DispatchMapped(WM_NOTIFY, wParam, lParam, result);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    for (DispatchFrame* f = g_innermost; f; f = f->outer) {
        if (f->wnd == this)
            return DefWindowProc(f->message, f->wParam, f->lParam);
    }
    return 0;
}

BOOL CWnd::PreTranslateMessage(MSG*)
{
    return FALSE;
}

void CWnd::PostNcDestroy() {}

BOOL CWnd::SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags)
{
    return ::SetWindowPos(m_hWnd, after ? after->m_hWnd : nullptr, x, y, cx, cy, flags);
}

void AfxGetWindowText(HWND hwnd, CString& text)
{
    if (!hwnd) {
        text.Empty();
        return;
    }
    const int length = ::GetWindowTextLengthA(hwnd);
    char* buffer = text.GetBufferSetLength(length + 1);
    const int copied = ::GetWindowTextA(hwnd, buffer, length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
}

void CWnd::GetWindowText(CString& text) const
{
    AfxGetWindowText(m_hWnd, text);
}

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type)
{
    return AfxRunMessageBox(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

void CWnd::GetDlgItemText(int id, CString& text) const
{
    AfxGetWindowText(::GetDlgItem(m_hWnd, id), text);
}

namespace {

BOOL ModifyStyleBits(HWND hwnd, int index, DWORD remove, DWORD add, UINT flags)
{
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(hwnd, index));
    const DWORD changed = (style & ~remove) | add;
    if (style == changed)
        return FALSE;
    ::SetWindowLongA(hwnd, index, static_cast<LONG>(changed));
    if (flags)
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | flags);
    return TRUE;
}

}  // namespace

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags)
{
    return ModifyStyleBits(m_hWnd, GWL_STYLE, remove, add, flags);
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags)
{
    return ModifyStyleBits(m_hWnd, GWL_EXSTYLE, remove, add, flags);
}

HICON CWnd::SetIcon(HICON icon, BOOL big)
{
    return reinterpret_cast<HICON>(
        SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
}

CMenu CWnd::GetSystemMenu(BOOL revert) const
{
    return CMenu::Borrow(::GetSystemMenu(m_hWnd, revert));
}

// Base handlers: the default processing of the message being handled.
int CWnd::OnCreate(LPCREATESTRUCTA)
{
    return static_cast<int>(Default());
}
void CWnd::OnDestroy()
{
    Default();
}
void CWnd::OnClose()
{
    Default();
}
void CWnd::OnPaint()
{
    Default();
}
BOOL CWnd::OnEraseBkgnd(CDC*)
{
    return static_cast<BOOL>(Default());
}
void CWnd::OnTimer(UINT_PTR)
{
    Default();
}
void CWnd::OnSysCommand(UINT, LPARAM)
{
    Default();
}
HCURSOR CWnd::OnQueryDragIcon()
{
    return reinterpret_cast<HCURSOR>(Default());
}
void CWnd::OnWindowPosChanging(WINDOWPOS*)
{
    Default();
}
void CWnd::OnWindowPosChanged(WINDOWPOS*)
{
    Default();
}
void CWnd::OnMove(int, int)
{
    Default();
}
void CWnd::OnSize(UINT, int, int)
{
    Default();
}
void CWnd::OnSizing(UINT, LPRECT)
{
    Default();
}
void CWnd::OnGetMinMaxInfo(MINMAXINFO*)
{
    Default();
}
void CWnd::OnShowWindow(BOOL, UINT)
{
    Default();
}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT)
{
    return reinterpret_cast<HBRUSH>(Default());
}
void CWnd::OnHotKey(UINT, UINT, UINT)
{
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint)
{
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint)
{
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint)
{
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint)
{
    Default();
}
void CWnd::OnRButtonDown(UINT, CPoint)
{
    Default();
}
void CWnd::OnRButtonUp(UINT, CPoint)
{
    Default();
}
BOOL CWnd::OnMouseWheel(UINT, short, CPoint)
{
    return static_cast<BOOL>(Default());
}
void CWnd::OnKeyDown(UINT, UINT, UINT)
{
    Default();
}
void CWnd::OnKeyUp(UINT, UINT, UINT)
{
    Default();
}
void CWnd::OnSetFocus(CWnd*)
{
    Default();
}
void CWnd::OnKillFocus(CWnd*)
{
    Default();
}
void CWnd::OnContextMenu(CWnd*, CPoint)
{
    Default();
}
LRESULT CWnd::OnNcHitTest(CPoint)
{
    return Default();
}
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT)
{
    return static_cast<BOOL>(Default());
}

namespace afx {

MessageEntry CtlColorEntry(std::function<HBRUSH(CCmdTarget*, CDC*, CWnd*, UINT)> fn)
{
    return {MessageEntry::CtlColor, 0, 0, 0, [fn](CCmdTarget* t, UINT message, WPARAM w, LPARAM l) -> LRESULT {
                // The message number tells the kind: CTLCOLOR_MSGBOX (0) to CTLCOLOR_STATIC (6).
                CDC dc(reinterpret_cast<HDC>(w));
                return reinterpret_cast<LRESULT>(
                    fn(t, &dc, CWnd::FromHandle(reinterpret_cast<HWND>(l)), message - WM_CTLCOLORMSGBOX));
            }};
}

}  // namespace afx
