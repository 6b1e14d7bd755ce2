#pragma once
// CWnd: a window object bound to its HWND. Windows created through the framework are subclassed
// from their first message on (a creation hook), so WindowProc sees WM_NCCREATE, WM_CREATE and
// WM_INITDIALOG. Foreign windows get temporary objects through FromHandle.
#include <windows.h>
#include <commctrl.h>

#include "framework/Gdi.h"
#include "framework/Menu.h"
#include "framework/MessageMap.h"
#include "framework/String.h"
#include "framework/Types.h"

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd;
    operator HWND() const { return m_hWnd; }

    // The permanent object of a framework window, else a temporary one that lives until the
    // program is idle again. Null for a null handle.
    static CWnd* FromHandle(HWND hwnd);
    static CWnd* FromHandlePermanent(HWND hwnd);

    BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                  UINT id, LPVOID param = nullptr);
    virtual BOOL DestroyWindow();
    // Binds an existing window to this object and routes its messages through WindowProc.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // A scroll notice the parent got from this control, seen before the parent handles it; TRUE
    // ends its handling with *result.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual BOOL PreTranslateMessage(MSG* msg);
    // Runs after WM_NCDESTROY once no message of this window is still being handled.
    virtual void PostNcDestroy();
    // Default processing of the message being handled now.
    LRESULT Default();

    // Thin wrappers.
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL SetWindowPos(const CWnd* after, int x, int y, int cx, int cy, UINT flags);
    BOOL MoveWindow(int x, int y, int cx, int cy, BOOL repaint = TRUE)
    {
        return ::MoveWindow(m_hWnd, x, y, cx, cy, repaint);
    }
    BOOL MoveWindow(LPCRECT r, BOOL repaint = TRUE)
    {
        return MoveWindow(r->left, r->top, r->right - r->left, r->bottom - r->top, repaint);
    }
    void GetWindowRect(LPRECT r) const { ::GetWindowRect(m_hWnd, r); }
    void GetClientRect(LPRECT r) const { ::GetClientRect(m_hWnd, r); }
    void ScreenToClient(LPPOINT p) const { ::ScreenToClient(m_hWnd, p); }
    void ClientToScreen(LPPOINT p) const { ::ClientToScreen(m_hWnd, p); }
    void SetWindowText(LPCSTR text) { ::SetWindowTextA(m_hWnd, text); }
    void GetWindowText(CString& text) const;
    CWnd* GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
    void SetDlgItemText(int id, LPCSTR text) { ::SetDlgItemTextA(m_hWnd, id, text); }
    void GetDlgItemText(int id, CString& text) const;
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    // Without a window these do nothing: a null window would make or kill a thread timer instead.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr)
    {
        return m_hWnd ? ::SetTimer(m_hWnd, id, elapse, proc) : 0;
    }
    BOOL KillTimer(UINT_PTR id) { return m_hWnd ? ::KillTimer(m_hWnd, id) : FALSE; }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    HICON SetIcon(HICON icon, BOOL big);
    CMenu GetSystemMenu(BOOL revert) const;
    // A box owned by this window (the application's name as the default caption). It ends with
    // the modal dialog it was opened in.
    int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);
    void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
    UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }

    // Handlers reached through message maps; each base version does the default processing.
    int OnCreate(LPCREATESTRUCTA cs);
    void OnDestroy();
    void OnClose();
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* dc);
    void OnTimer(UINT_PTR id);
    void OnSysCommand(UINT id, LPARAM lParam);
    HCURSOR OnQueryDragIcon();
    void OnWindowPosChanging(WINDOWPOS* pos);
    void OnWindowPosChanged(WINDOWPOS* pos);
    void OnMove(int x, int y);
    void OnSize(UINT type, int cx, int cy);
    void OnSizing(UINT side, LPRECT rect);
    void OnGetMinMaxInfo(MINMAXINFO* info);
    void OnShowWindow(BOOL show, UINT status);
    HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
    void OnHotKey(UINT id, UINT modifiers, UINT vk);
    void OnMouseMove(UINT flags, CPoint point);
    void OnLButtonDown(UINT flags, CPoint point);
    void OnLButtonUp(UINT flags, CPoint point);
    void OnLButtonDblClk(UINT flags, CPoint point);
    void OnRButtonDown(UINT flags, CPoint point);
    void OnRButtonUp(UINT flags, CPoint point);
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
    void OnKeyDown(UINT vk, UINT repeat, UINT flags);
    void OnKeyUp(UINT vk, UINT repeat, UINT flags);
    void OnSetFocus(CWnd* oldWnd);
    void OnKillFocus(CWnd* newWnd);
    void OnContextMenu(CWnd* wnd, CPoint point);
    LRESULT OnNcHitTest(CPoint point);
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);

protected:
    WNDPROC m_pfnSuper;  // the procedure the window had before subclassing

private:
    friend struct WndAccess;
    bool m_bTemporary;
    bool m_bFinalPending;
    int m_nMsgDepth;  // messages of this window being handled right now
};

// The whole text of a window; empty for a null handle.
void AfxGetWindowText(HWND hwnd, CString& text);

// Deletes temporary objects; the framework's message loops call it while no message is handled.
void AfxPurgeTemporaryObjects();
// Number of window messages being handled at this moment, over all windows.
int AfxDispatchDepth();

// Sets the creation hook so that the next window created on this thread is bound to wnd.
void AfxHookWindowCreate(CWnd* wnd);
// Removes the hook; FALSE when no window was bound.
BOOL AfxUnhookWindowCreate();

namespace afx {

template <class T, class Crack>
MessageEntry Msg(UINT message, Crack crack)
{
    return {MessageEntry::Message, message, 0, 0,
            [crack](CCmdTarget* t, UINT, WPARAM w, LPARAM l) -> LRESULT { return crack(static_cast<T*>(t), w, l); }};
}

template <class T>
MessageEntry Command(UINT id, UINT code, void (T::*fn)())
{
    return {MessageEntry::Command, WM_COMMAND, id, code, [fn](CCmdTarget* t, UINT, WPARAM, LPARAM) -> LRESULT {
                (static_cast<T*>(t)->*fn)();
                return 0;
            }};
}

template <class T>
MessageEntry Notify(UINT code, UINT id, void (T::*fn)(NMHDR*, LRESULT*))
{
    return {MessageEntry::Notify, WM_NOTIFY, id, code, [fn](CCmdTarget* t, UINT, WPARAM, LPARAM l) -> LRESULT {
                LRESULT result = 0;
                (static_cast<T*>(t)->*fn)(reinterpret_cast<NMHDR*>(l), &result);
                return result;
            }};
}

template <class T>
MessageEntry Message(UINT message, LRESULT (T::*fn)(WPARAM, LPARAM))
{
    return Msg<T>(message, [fn](T* t, WPARAM w, LPARAM l) { return (t->*fn)(w, l); });
}

template <class T>
MessageEntry RegisteredMessage(const UINT* message, LRESULT (T::*fn)(WPARAM, LPARAM))
{
    MessageEntry e = Message<T>(0, fn);
    e.kind = MessageEntry::Registered;
    e.registered = message;
    return e;
}

MessageEntry CtlColorEntry(std::function<HBRUSH(CCmdTarget*, CDC*, CWnd*, UINT)> fn);

}  // namespace afx

#define KV_MSG(msg, body)                                                        \
    ::afx::Msg<ThisClass>(msg, [](ThisClass* t, WPARAM w, LPARAM l) -> LRESULT { \
        (void)t;                                                                 \
        (void)w;                                                                 \
        (void)l;                                                                 \
        body                                                                     \
    }),

#define ON_WM_CREATE() KV_MSG(WM_CREATE, return t->OnCreate(reinterpret_cast<LPCREATESTRUCTA>(l));)
#define ON_WM_DESTROY() KV_MSG(WM_DESTROY, t->OnDestroy(); return 0;)
#define ON_WM_CLOSE() KV_MSG(WM_CLOSE, t->OnClose(); return 0;)
#define ON_WM_PAINT() KV_MSG(WM_PAINT, t->OnPaint(); return 0;)
#define ON_WM_ERASEBKGND() KV_MSG(WM_ERASEBKGND, CDC dc(reinterpret_cast<HDC>(w)); return t->OnEraseBkgnd(&dc);)
#define ON_WM_TIMER() KV_MSG(WM_TIMER, t->OnTimer(w); return 0;)
#define ON_WM_SYSCOMMAND() KV_MSG(WM_SYSCOMMAND, t->OnSysCommand(static_cast<UINT>(w), l); return 0;)
#define ON_WM_QUERYDRAGICON() KV_MSG(WM_QUERYDRAGICON, return reinterpret_cast<LRESULT>(t->OnQueryDragIcon());)
#define ON_WM_WINDOWPOSCHANGING() \
    KV_MSG(WM_WINDOWPOSCHANGING, t->OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(l)); return 0;)
#define ON_WM_WINDOWPOSCHANGED() \
    KV_MSG(WM_WINDOWPOSCHANGED, t->OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(l)); return 0;)
#define ON_WM_MOVE() KV_MSG(WM_MOVE, t->OnMove(static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))); return 0;)
#define ON_WM_SIZE()                                                                                               \
    KV_MSG(WM_SIZE, t->OnSize(static_cast<UINT>(w), static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))); \
           return 0;)
#define ON_WM_SIZING() KV_MSG(WM_SIZING, t->OnSizing(static_cast<UINT>(w), reinterpret_cast<LPRECT>(l)); return TRUE;)
#define ON_WM_GETMINMAXINFO() KV_MSG(WM_GETMINMAXINFO, t->OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(l)); return 0;)
#define ON_WM_SHOWWINDOW() KV_MSG(WM_SHOWWINDOW, t->OnShowWindow(static_cast<BOOL>(w), static_cast<UINT>(l)); return 0;)
#define ON_WM_HOTKEY() KV_MSG(WM_HOTKEY, t->OnHotKey(static_cast<UINT>(w), LOWORD(l), HIWORD(l)); return 0;)
#define ON_WM_MOUSEMOVE() KV_MSG(WM_MOUSEMOVE, t->OnMouseMove(static_cast<UINT>(w), CPoint::FromLParam(l)); return 0;)
#define ON_WM_LBUTTONDOWN() \
    KV_MSG(WM_LBUTTONDOWN, t->OnLButtonDown(static_cast<UINT>(w), CPoint::FromLParam(l)); return 0;)
#define ON_WM_LBUTTONUP() KV_MSG(WM_LBUTTONUP, t->OnLButtonUp(static_cast<UINT>(w), CPoint::FromLParam(l)); return 0;)
#define ON_WM_LBUTTONDBLCLK() \
    KV_MSG(WM_LBUTTONDBLCLK, t->OnLButtonDblClk(static_cast<UINT>(w), CPoint::FromLParam(l)); return 0;)
#define ON_WM_RBUTTONDOWN() \
    KV_MSG(WM_RBUTTONDOWN, t->OnRButtonDown(static_cast<UINT>(w), CPoint::FromLParam(l)); return 0;)
#define ON_WM_RBUTTONUP() KV_MSG(WM_RBUTTONUP, t->OnRButtonUp(static_cast<UINT>(w), CPoint::FromLParam(l)); return 0;)
#define ON_WM_MOUSEWHEEL() \
    KV_MSG(WM_MOUSEWHEEL, return t->OnMouseWheel(LOWORD(w), static_cast<short>(HIWORD(w)), CPoint::FromLParam(l));)
#define ON_WM_KEYDOWN() KV_MSG(WM_KEYDOWN, t->OnKeyDown(static_cast<UINT>(w), LOWORD(l), HIWORD(l)); return 0;)
#define ON_WM_KEYUP() KV_MSG(WM_KEYUP, t->OnKeyUp(static_cast<UINT>(w), LOWORD(l), HIWORD(l)); return 0;)
#define ON_WM_SETFOCUS() KV_MSG(WM_SETFOCUS, t->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(w))); return 0;)
#define ON_WM_KILLFOCUS() KV_MSG(WM_KILLFOCUS, t->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(w))); return 0;)
#define ON_WM_CONTEXTMENU()                                                                                      \
    KV_MSG(WM_CONTEXTMENU, t->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(w)), CPoint::FromLParam(l)); \
           return 0;)
#define ON_WM_NCHITTEST() KV_MSG(WM_NCHITTEST, return t->OnNcHitTest(CPoint::FromLParam(l));)
#define ON_WM_SETCURSOR() \
    KV_MSG(WM_SETCURSOR, return t->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(w)), LOWORD(l), HIWORD(l));)
#define ON_WM_CTLCOLOR()  \
    ::afx::CtlColorEntry( \
        [](CCmdTarget* t, CDC* dc, CWnd* wnd, UINT c) { return static_cast<ThisClass*>(t)->OnCtlColor(dc, wnd, c); }),

#define ON_MESSAGE(message, memberFxn) ::afx::Message<ThisClass>(message, memberFxn),
// The message's number is known only at run time: the row reads the variable at each message.
#define ON_REGISTERED_MESSAGE(messageVariable, memberFxn) \
    ::afx::RegisteredMessage<ThisClass>(&(messageVariable), memberFxn),
#define ON_COMMAND(id, memberFxn) ::afx::Command<ThisClass>(id, 0, memberFxn),
#define ON_CONTROL(code, id, memberFxn) ::afx::Command<ThisClass>(id, code, memberFxn),
#define ON_BN_CLICKED(id, memberFxn) ::afx::Command<ThisClass>(id, BN_CLICKED, memberFxn),
#define ON_NOTIFY(code, id, memberFxn) ::afx::Notify<ThisClass>(code, id, memberFxn),
