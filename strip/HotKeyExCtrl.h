#pragma once
// CHotKeyExCtrl: a hot-key field that also takes the Windows key as a modifier. While it has the
// focus, a low-level keyboard hook swallows every key on the desktop and posts it to the field,
// which runs the key state machine (HotKeyField.h) and paints the combination as text.
#include "framework/Controls.h"
#include "strip/HotKeyField.h"

// Keys posted from the hook to the field: wParam is the virtual-key code, lParam 0.
const UINT WM_HOTKEYEX_KEYDOWN = WM_USER + 256;
const UINT WM_HOTKEYEX_KEYUP = WM_USER + 257;

class CHotKeyExCtrl : public CHotKeyCtrl {
public:
    CHotKeyExCtrl();
    ~CHotKeyExCtrl() override;

    // modifiers in RegisterHotKey's MOD_ bits.
    void SetHotKey(WORD vk, WORD modifiers);
    void GetHotKey(WORD& vk, WORD& modifiers) const;
    // flags in the field's own coding.
    void SetHotKeyRaw(WORD vk, WORD flags);
    void GetHotKeyRaw(WORD& vk, WORD& flags) const;
    static WORD ModToHotKeyFlags(WORD modifiers);
    static WORD HotKeyFlagsToMod(WORD flags);
    CString GetHotKeyName() const;
    static CString GetKeyName(UINT vk, BOOL extended);
    static LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam);
    BOOL PreTranslateMessage(MSG* msg) override;

    // True while this field's keyboard hook is installed.
    bool HasHook() const;

    WORD m_wVirtualKey;
    WORD m_wFlags;
    WORD m_wHeldKey;
    WORD m_wHeldModifiers;
    BYTE m_bComplete;
    WORD m_wInvalidCombinations;
    WORD m_wReplacementFlags;

protected:
    void OnSetFocus(CWnd* oldWnd);
    void OnKillFocus(CWnd* newWnd);
    void OnPaint();
    void OnDestroy();

    DECLARE_MESSAGE_MAP()

private:
    // Unhooks only when the hook is this field's; every road out of capture goes through here.
    void ReleaseHook();
    void Repaint();
};

// The process's one keyboard hook and the field it posts to; null when none.
extern HHOOK g_hKeyboardHook;
extern HWND g_hHotKeyTarget;
