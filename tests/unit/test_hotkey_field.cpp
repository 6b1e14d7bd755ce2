// The hot-key field: its key state machine, the modifier codings, the combination rules, the
// text of a combination, and the keyboard hook's lifetime on a real field.
#include "strip/HotKeyExCtrl.h"
#include "strip/HotKeyField.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Event {
    bool down;
    WORD vk;
};

const WORD W = 'W';

std::string Text(const HotKeyFieldState& s)
{
    char buf[128];
    snprintf(buf, sizeof(buf), "vk %u flags 0x%02x held %u/0x%02x complete %u", s.virtualKey, s.flags, s.heldKey,
             s.heldModifiers, s.complete);
    return buf;
}

HotKeyFieldState Feed(HotKeyFieldState s, const std::vector<Event>& events)
{
    for (const Event& e : events)
        s = StepHotKeyField(s, e.down, e.vk);
    return s;
}

HotKeyFieldState Preset(WORD vk, WORD flags)
{
    HotKeyFieldState s;
    s.virtualKey = vk;
    s.flags = flags;
    s.complete = 1;
    return s;
}

HotKeyFieldState Shown(WORD vk, WORD flags, WORD heldKey, WORD heldModifiers, BYTE complete)
{
    HotKeyFieldState s;
    s.virtualKey = vk;
    s.flags = flags;
    s.heldKey = heldKey;
    s.heldModifiers = heldModifiers;
    s.complete = complete;
    return s;
}

}  // namespace

TEST(HotKeyField, StateMachineOverKeyEvents)
{
    const HotKeyFieldState empty;
    struct Case {
        const char* name;
        HotKeyFieldState start;
        std::vector<Event> events;
        HotKeyFieldState expected;
    } cases[] = {
        {"Ctrl alone, pressed and released, leaves the field empty",
         empty,
         {{true, VK_CONTROL}, {false, VK_CONTROL}},
         Shown(0, 0, 0, 0, 1)},
        {"Ctrl held shows the modifier without a key",
         empty,
         {{true, VK_LCONTROL}},
         Shown(0, kFieldControl, 0, kFieldControl, 0)},
        {"Ctrl W, W up, Ctrl up gives Ctrl+W",
         empty,
         {{true, VK_CONTROL}, {true, W}, {false, W}, {false, VK_CONTROL}},
         Shown(W, kFieldControl, 0, 0, 1)},
        {"Ctrl W, Ctrl up, W up gives W alone",
         empty,
         {{true, VK_CONTROL}, {true, W}, {false, VK_CONTROL}, {false, W}},
         Shown(W, 0, 0, 0, 1)},
        {"a bare key may be chosen", empty, {{true, W}, {false, W}}, Shown(W, 0, 0, 0, 1)},
        {"the application key counts as Win",
         empty,
         {{true, VK_APPS}, {true, W}, {false, W}, {false, VK_APPS}},
         Shown(W, kFieldWin, 0, 0, 1)},
        {"left and right Win are one modifier",
         empty,
         {{true, VK_LWIN}, {true, VK_RWIN}, {true, W}},
         Shown(W, kFieldWin, W, kFieldWin, 0)},
        {"releasing one of both Shift keys clears Shift",
         empty,
         {{true, VK_LSHIFT}, {true, VK_RSHIFT}, {false, VK_LSHIFT}, {true, W}},
         Shown(W, 0, W, 0, 0)},
        {"Shift Ctrl Alt Win with a key",
         empty,
         {{true, VK_SHIFT}, {true, VK_RCONTROL}, {true, VK_LMENU}, {true, VK_RWIN}, {true, 'Q'}},
         Shown('Q', kFieldShift | kFieldControl | kFieldAlt | kFieldWin, 'Q', 0x17, 0)},
        {"Tab, Esc and Enter are keys like any other",
         empty,
         {{true, VK_TAB}, {false, VK_TAB}},
         Shown(VK_TAB, 0, 0, 0, 1)},
        {"the preset stays until the first event", Preset(W, kFieldWin), {}, Shown(W, kFieldWin, 0, 0, 1)},
        {"tabbing in: the Tab release empties a preset", Preset(W, kFieldWin), {{false, VK_TAB}}, Shown(0, 0, 0, 0, 1)},
        {"a new key after a finished combination starts afresh",
         Preset(W, kFieldWin),
         {{true, VK_MENU}, {true, 'A'}},
         Shown('A', kFieldAlt, 'A', kFieldAlt, 0)},
        {"the release of a key that is not held keeps the held one",
         empty,
         {{true, 'A'}, {false, 'B'}},
         Shown('A', 0, 'A', 0, 0)},
        {"a second key replaces the first",
         empty,
         {{true, VK_CONTROL}, {true, 'A'}, {true, 'B'}, {false, 'A'}},
         Shown('B', kFieldControl, 'B', kFieldControl, 0)},
        {"modifiers after the key keep the last combination with a key",
         empty,
         {{true, W}, {false, W}, {true, VK_SHIFT}},
         Shown(0, kFieldShift, 0, kFieldShift, 0)},
        {"releasing the key first keeps the combination while a modifier is down",
         empty,
         {{true, VK_SHIFT}, {true, W}, {false, W}},
         Shown(W, kFieldShift, 0, kFieldShift, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(c.expected), Text(Feed(c.start, c.events))) << c.name;
}

TEST(HotKeyField, NotAllowedCombinationsTakeTheReplacement)
{
    HotKeyFieldState s;
    s.invalidCombinations = HKCOMB_NONE | HKCOMB_S;
    s.replacementFlags = kFieldControl | kFieldAlt;
    s = Feed(s, {{true, VK_SHIFT}, {true, W}});
    EXPECT_EQ(Text(Shown(W, kFieldControl | kFieldAlt, W, kFieldShift, 0)), Text(s));
}

TEST(HotKeyField, CombinationBits)
{
    struct Case {
        WORD held;
        WORD bit;
    } cases[] = {
        {0, 0x0001},    {0x01, 0x0002}, {0x02, 0x0004}, {0x03, 0x0010}, {0x04, 0x0008}, {0x05, 0x0020}, {0x06, 0x0040},
        {0x07, 0x0080}, {0x10, 0x0100}, {0x11, 0x0200}, {0x12, 0x0400}, {0x13, 0x1000}, {0x14, 0x0800}, {0x15, 0x2000},
        {0x16, 0x4000}, {0x17, 0x8000}, {0x08, 0},      {0x20, 0},      {0x18, 0},      {0xFFFF, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.bit, CombinationBit(c.held)) << "held 0x" << std::hex << c.held;
        EXPECT_EQ(c.held, ApplyCombinationRules(c.held, 0, 0x07)) << "nothing forbidden, held 0x" << std::hex << c.held;
    }
}

TEST(HotKeyField, ModifierCodingsRoundTripForAllSixteenAndDropUnknownBits)
{
    // MOD_ALT 1 -> 0x04, MOD_CONTROL 2 -> 0x02, MOD_SHIFT 4 -> 0x01, MOD_WIN 8 -> 0x10.
    for (WORD mod = 0; mod < 16; ++mod) {
        const WORD expected = static_cast<WORD>(((mod & 1) ? 0x04 : 0) | ((mod & 2) ? 0x02 : 0) |
                                                ((mod & 4) ? 0x01 : 0) | ((mod & 8) ? 0x10 : 0));
        EXPECT_EQ(expected, ModToHotKeyFlags(mod)) << "MOD 0x" << std::hex << mod;
        EXPECT_EQ(mod, HotKeyFlagsToMod(expected)) << "flags 0x" << std::hex << expected;
        EXPECT_EQ(expected, CHotKeyExCtrl::ModToHotKeyFlags(mod)) << "the field's static, MOD 0x" << std::hex << mod;
    }
    struct Case {
        const char* name;
        WORD in;
        WORD toFlags;
        WORD toMod;
    } cases[] = {
        {"MOD_NOREPEAT is dropped", 0x4000 | MOD_WIN, 0x10, 0},
        {"every bit", 0xFFFF, 0x17, 0x0F},
        {"0x08: MOD_WIN one way, HOTKEYF_EXT (no modifier) the other", 0x08, 0x10, 0},
        {"bits above the field's", 0x20 | 0x40 | 0x80, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.toFlags, ModToHotKeyFlags(c.in)) << c.name;
        EXPECT_EQ(c.toMod, HotKeyFlagsToMod(c.in)) << c.name;
    }
}

TEST(HotKeyField, TextOfACombination)
{
    std::vector<std::string> asked;
    const KeyNameFunction name = [&](UINT vk, BOOL extended) {
        asked.push_back(std::to_string(vk) + (extended ? "e" : ""));
        return CString("<") + std::to_string(vk).c_str() + (extended ? "e>" : ">");
    };
    struct Case {
        const char* name;
        WORD vk;
        WORD flags;
        const char* text;
    } cases[] = {
        {"nothing", 0, 0, ""},
        {"Win+W", W, kFieldWin, "Win + <87>"},
        {"order Ctrl, Shift, Alt, Win", W, 0x17, "<17> + <16> + <18> + Win + <87>"},
        {"modifiers without a key end after the last +", 0, kFieldControl | kFieldShift, "<17> + <16> + <0>"},
        {"a bare key", VK_F5, 0, "<116>"},
        {"the extended flag names the key extended", VK_DELETE, kFieldExt, "<46e>"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.text, HotKeyText(c.vk, c.flags, name).GetString()) << c.name;
}

namespace {

std::string g_longName;
int g_calls = 0;
std::vector<int> g_sizes;

int WINAPI FakeKeyName(LONG, LPSTR buffer, int size)
{
    ++g_calls;
    g_sizes.push_back(size);
    const int length = std::min<int>(static_cast<int>(g_longName.size()), size - 1);
    memcpy(buffer, g_longName.data(), length);
    buffer[length] = '\0';
    return length;
}

}  // namespace

TEST(HotKeyField, KeyNameBufferGrowsWhileFullUpToItsCap)
{
    struct Case {
        const char* name;
        size_t length;
        std::vector<int> sizes;
        size_t kept;
    } cases[] = {
        {"short name: one call", 1, {128}, 1},
        {"127 fills 128: doubled once", 127, {128, 256}, 127},
        {"300 bytes", 300, {128, 256, 512}, 300},
        {"a name that never ends stops at the cap", 100000, {128, 256, 512, 1024, 2048, 4096}, 4095},
    };
    for (const Case& c : cases) {
        g_longName.assign(c.length, 'k');
        g_sizes.clear();
        const CString text = KeyNameText(0x00110000, &FakeKeyName);
        EXPECT_EQ(c.sizes, g_sizes) << c.name;
        EXPECT_EQ(c.kept, static_cast<size_t>(text.GetLength())) << c.name;
    }
}

// ---- the field on a real window: the hook is installed with the focus and never outlives it

namespace {

class FieldHost {
public:
    FieldHost()
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_HOTKEY_CLASS};
        InitCommonControlsEx(&icc);
        m_parent = CreateWindowExA(0, "STATIC", "host", WS_POPUP | WS_VISIBLE, 0, 0, 300, 100, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        m_other = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 0, 50, 100, 20, m_parent, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
        m_fieldWnd = CreateWindowExA(0, HOTKEY_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 0, 0, 100, 20, m_parent,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
        SetForegroundWindow(m_parent);
    }
    ~FieldHost() { DestroyWindow(m_parent); }
    HWND m_parent;
    HWND m_other;
    HWND m_fieldWnd;
};

// Above the field's own procedure: WM_KILLFOCUS stops here. A focused field's destruction sends it
// first on Windows and Wine alike, so the release at WM_DESTROY is reached only this way.
WNDPROC g_beforeField = nullptr;
LRESULT CALLBACK SwallowKillFocus(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KILLFOCUS)
        return 0;
    return CallWindowProcA(g_beforeField, hwnd, message, wParam, lParam);
}

}  // namespace

TEST(HotKeyFieldWindow, HookLivesFromFocusToKillFocusDestroyOrDestructor)
{
    struct Case {
        const char* name;
        int end;           // 0 focus moves on, 1 the window is destroyed, 2 the object is deleted
        bool noKillFocus;  // WM_KILLFOCUS never reaches the field, so only WM_DESTROY can release
    } cases[] = {
        {"kill focus", 0, false},
        {"the window destroyed", 1, false},
        {"the window destroyed without WM_KILLFOCUS", 1, true},
        {"destructor", 2, false},
    };
    for (const Case& c : cases) {
        FieldHost host;
        auto* field = new CHotKeyExCtrl;
        ASSERT_TRUE(field->SubclassWindow(host.m_fieldWnd)) << c.name;
        if (c.noKillFocus)
            g_beforeField = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrA(host.m_fieldWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SwallowKillFocus)));
        field->SetHotKey(W, MOD_WIN);
        field->m_wHeldKey = 'Q';
        SetFocus(host.m_fieldWnd);
        EXPECT_TRUE(field->HasHook()) << c.name;
        EXPECT_EQ(host.m_fieldWnd, g_hHotKeyTarget) << c.name;
        EXPECT_EQ(0, field->m_wHeldKey) << c.name << ": the held key is cleared with the new hook";
        switch (c.end) {
            case 0:
                SetFocus(host.m_other);
                EXPECT_FALSE(field->HasHook()) << c.name;
                delete field;
                break;
            case 1:
                DestroyWindow(host.m_fieldWnd);
                EXPECT_EQ(nullptr, g_hKeyboardHook) << c.name << ": the hook outlives the window";
                delete field;
                break;
            case 2:
                delete field;
                break;
        }
        EXPECT_EQ(nullptr, g_hKeyboardHook) << c.name;
        EXPECT_EQ(nullptr, g_hHotKeyTarget) << c.name;
    }
}

TEST(HotKeyFieldWindow, PresetComesBackInRegisterHotKeyBits)
{
    FieldHost host;
    CHotKeyExCtrl field;
    ASSERT_TRUE(field.SubclassWindow(host.m_fieldWnd));
    field.SetHotKey(W, MOD_WIN | MOD_CONTROL);
    WORD vk = 0, mods = 0, flags = 0;
    field.GetHotKey(vk, mods);
    EXPECT_EQ(W, vk);
    EXPECT_EQ(MOD_WIN | MOD_CONTROL, mods);
    field.GetHotKeyRaw(vk, flags);
    EXPECT_EQ(kFieldWin | kFieldControl, flags);
    EXPECT_EQ(1, field.m_bComplete);
    const std::string name = field.GetHotKeyName().GetString();
    EXPECT_EQ(0u, name.find(CHotKeyExCtrl::GetKeyName(VK_CONTROL, FALSE).GetString())) << name;
    EXPECT_NE(std::string::npos, name.find(" + Win + ")) << name;
}

TEST(HotKeyFieldWindow, HookPassesKeysOnWhenItsTargetIsGone)
{
    FieldHost host;
    HWND dead =
        CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    DestroyWindow(dead);
    KBDLLHOOKSTRUCT key = {};
    key.vkCode = W;
    struct Case {
        const char* name;
        HWND target;
        int code;
        WPARAM message;
        LRESULT result;
        bool posted;
    } cases[] = {
        {"a live field swallows the key", host.m_fieldWnd, HC_ACTION, WM_KEYDOWN, 1, true},
        {"system keys too", host.m_fieldWnd, HC_ACTION, WM_SYSKEYUP, 1, true},
        {"a dead target passes it on", dead, HC_ACTION, WM_KEYDOWN, 0, false},
        {"no target passes it on", nullptr, HC_ACTION, WM_KEYDOWN, 0, false},
        {"another code passes it on", host.m_fieldWnd, 3, WM_KEYDOWN, 0, false},
    };
    for (const Case& c : cases) {
        MSG stale;
        while (PeekMessageA(&stale, host.m_fieldWnd, WM_HOTKEYEX_KEYDOWN, WM_HOTKEYEX_KEYUP, PM_REMOVE)) {
        }
        g_hHotKeyTarget = c.target;
        EXPECT_EQ(c.result, CHotKeyExCtrl::LowLevelKeyboardProc(c.code, c.message, reinterpret_cast<LPARAM>(&key)))
            << c.name;
        MSG msg;
        const bool posted = PeekMessageA(&msg, host.m_fieldWnd, WM_HOTKEYEX_KEYDOWN, WM_HOTKEYEX_KEYUP, PM_REMOVE) != 0;
        EXPECT_EQ(c.posted, posted) << c.name;
        if (posted) {
            EXPECT_EQ(c.message == WM_KEYDOWN ? WM_HOTKEYEX_KEYDOWN : WM_HOTKEYEX_KEYUP, msg.message) << c.name;
            EXPECT_EQ(W, msg.wParam) << c.name;
        }
    }
    g_hHotKeyTarget = nullptr;
}
