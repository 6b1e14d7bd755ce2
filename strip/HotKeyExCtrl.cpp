#include "strip/HotKeyExCtrl.h"

#include "framework/App.h"
#include "framework/Guard.h"

HHOOK g_hKeyboardHook = nullptr;
HWND g_hHotKeyTarget = nullptr;

namespace {

bool IsKeyMessage(WPARAM message)
{
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN || message == WM_SYSKEYUP;
}

// The hook only ever posts to a live field of the thread that installed it.
bool IsOwnWindow(HWND hwnd)
{
    return hwnd && ::IsWindow(hwnd) && ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId();
}

}  // namespace

BEGIN_MESSAGE_MAP(CHotKeyExCtrl, CHotKeyCtrl)
    ON_WM_SETFOCUS()
    ON_WM_KILLFOCUS()
    ON_WM_PAINT()
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CHotKeyExCtrl::CHotKeyExCtrl()
    : m_wVirtualKey(0),
      m_wFlags(0),
      m_wHeldKey(0),
      m_wHeldModifiers(0),
      m_bComplete(0),
      m_wInvalidCombinations(0),
      m_wReplacementFlags(0)
{}

CHotKeyExCtrl::~CHotKeyExCtrl()
{
    ReleaseHook();
}

bool CHotKeyExCtrl::HasHook() const
{
    return g_hKeyboardHook && m_hWnd && g_hHotKeyTarget == m_hWnd;
}

void CHotKeyExCtrl::ReleaseHook()
{
    if (!HasHook())
        return;
    ::UnhookWindowsHookEx(g_hKeyboardHook);
    g_hKeyboardHook = nullptr;
    g_hHotKeyTarget = nullptr;
}

WORD CHotKeyExCtrl::ModToHotKeyFlags(WORD modifiers)
{
    return ::ModToHotKeyFlags(modifiers);
}

WORD CHotKeyExCtrl::HotKeyFlagsToMod(WORD flags)
{
    return ::HotKeyFlagsToMod(flags);
}

void CHotKeyExCtrl::SetHotKey(WORD vk, WORD modifiers)
{
    SetHotKeyRaw(vk, ModToHotKeyFlags(modifiers));
}

void CHotKeyExCtrl::GetHotKey(WORD& vk, WORD& modifiers) const
{
    vk = m_wVirtualKey;
    modifiers = HotKeyFlagsToMod(m_wFlags);
}

void CHotKeyExCtrl::SetHotKeyRaw(WORD vk, WORD flags)
{
    m_wVirtualKey = vk;
    m_wFlags = flags;
    m_bComplete = 1;
    Repaint();
}

void CHotKeyExCtrl::GetHotKeyRaw(WORD& vk, WORD& flags) const
{
    vk = m_wVirtualKey;
    flags = m_wFlags;
}

CString CHotKeyExCtrl::GetKeyName(UINT vk, BOOL extended)
{
    const UINT scanCode = ::MapVirtualKeyA(vk, 0);
    const LONG lParam = static_cast<LONG>((scanCode << 16) | (extended ? (1u << 24) : 0u));
    return KeyNameText(lParam, &::GetKeyNameTextA);
}

CString CHotKeyExCtrl::GetHotKeyName() const
{
    return HotKeyText(m_wVirtualKey, m_wFlags, &CHotKeyExCtrl::GetKeyName);
}

void CHotKeyExCtrl::Repaint()
{
    if (m_hWnd)
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CALLBACK CHotKeyExCtrl::LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam)
{
    const bool swallowed = AfxCallGuarded("keyboard hook", false, [&] {
        if (code != HC_ACTION || !IsKeyMessage(wParam))
            return false;
        HWND target = g_hHotKeyTarget;
        if (!IsOwnWindow(target))
            return false;  // the field is gone: every key goes on as usual
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        ::PostMessageA(target, static_cast<UINT>((wParam & 0xFFFB) + 0x400), key->vkCode, 0);
        return true;
    });
    if (swallowed)
        return 1;
    return ::CallNextHookEx(g_hKeyboardHook, code, wParam, lParam);
}

BOOL CHotKeyExCtrl::PreTranslateMessage(MSG* msg)
{
    if (msg->hwnd == m_hWnd && (msg->message == WM_HOTKEYEX_KEYDOWN || msg->message == WM_HOTKEYEX_KEYUP)) {
        HotKeyFieldState s;
        s.virtualKey = m_wVirtualKey;
        s.flags = m_wFlags;
        s.heldKey = m_wHeldKey;
        s.heldModifiers = m_wHeldModifiers;
        s.complete = m_bComplete;
        s.invalidCombinations = m_wInvalidCombinations;
        s.replacementFlags = m_wReplacementFlags;
        s = StepHotKeyField(s, msg->message == WM_HOTKEYEX_KEYDOWN, static_cast<WORD>(msg->wParam));
        m_wVirtualKey = s.virtualKey;
        m_wFlags = s.flags;
        m_wHeldKey = s.heldKey;
        m_wHeldModifiers = s.heldModifiers;
        m_bComplete = s.complete;
        Repaint();
    }
    return CHotKeyCtrl::PreTranslateMessage(msg);
}

void CHotKeyExCtrl::OnSetFocus(CWnd* oldWnd)
{
    CHotKeyCtrl::OnSetFocus(oldWnd);  // the system control shows its caret
    if (g_hKeyboardHook)
        return;
    m_wHeldKey = 0;
    m_wHeldModifiers = 0;
    g_hHotKeyTarget = m_hWnd;
    g_hKeyboardHook =
        ::SetWindowsHookExA(WH_KEYBOARD_LL, &CHotKeyExCtrl::LowLevelKeyboardProc, AfxGetInstanceHandle(), 0);
    if (!g_hKeyboardHook)
        g_hHotKeyTarget = nullptr;
}

void CHotKeyExCtrl::OnKillFocus(CWnd* newWnd)
{
    CHotKeyCtrl::OnKillFocus(newWnd);
    ReleaseHook();
}

void CHotKeyExCtrl::OnDestroy()
{
    ReleaseHook();
    CHotKeyCtrl::OnDestroy();
}

void CHotKeyExCtrl::OnPaint()
{
    CPaintDC dc(this);
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
    if (font)
        dc.SelectObject(font);
    const CString text = GetHotKeyName();
    dc.SetBkMode(TRANSPARENT);
    dc.TextOut(1, 1, text, text.GetLength());
    SIZE extent = {0, 0};
    ::GetTextExtentPoint32A(dc, text, text.GetLength(), &extent);
    ::SetCaretPos(extent.cx + 1, 1);
    dc.SetBkMode(OPAQUE);
}
