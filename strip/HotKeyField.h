#pragma once
// The hot-key field's key handling as pure functions: the state machine over key events, the
// modifier codings, the combination rules and the text of a combination.
#include <windows.h>

#include <functional>

#include "framework/String.h"

// The field's own modifier flags: the system hot-key control's, plus one for the Windows key.
const WORD kFieldShift = 0x01;    // HOTKEYF_SHIFT
const WORD kFieldControl = 0x02;  // HOTKEYF_CONTROL
const WORD kFieldAlt = 0x04;      // HOTKEYF_ALT
const WORD kFieldExt = 0x08;      // HOTKEYF_EXT
const WORD kFieldWin = 0x10;

struct HotKeyFieldState {
    WORD virtualKey = 0;           // key of the combination shown; 0 = none
    WORD flags = 0;                // modifiers of that combination, field flags
    WORD heldKey = 0;              // the non-modifier key down now; 0 = none
    WORD heldModifiers = 0;        // modifiers down now, field flags
    BYTE complete = 0;             // the shown combination is finished; the next event starts afresh
    WORD invalidCombinations = 0;  // combination bits that are not allowed
    WORD replacementFlags = 0;     // flags that replace a combination that is not allowed
};

// The field flag of a modifier key (left, right and either; the application key counts as Win);
// 0 for every other key.
WORD ModifierFlagOfKey(WORD vk);

// The combination bit of held modifiers (HKCOMB_ bits, shifted left by 8 with Win); 0 for any
// other value.
WORD CombinationBit(WORD heldModifiers);

// The held modifiers, or the replacement when their combination is not allowed.
WORD ApplyCombinationRules(WORD heldModifiers, WORD invalidCombinations, WORD replacementFlags);

// One key event reaching the field.
HotKeyFieldState StepHotKeyField(HotKeyFieldState state, bool down, WORD vk);

// RegisterHotKey's MOD_ bits to field flags and back; every other bit is dropped.
WORD ModToHotKeyFlags(WORD modifiers);
WORD HotKeyFlagsToMod(WORD flags);

// The name of one key; the layout's, or a stand-in in tests.
typedef std::function<CString(UINT vk, BOOL extended)> KeyNameFunction;

// The text of a combination: Ctrl, Shift, Alt, then "Win", each followed by " + ", then the key's
// name. Empty for no key and no modifiers.
CString HotKeyText(WORD vk, WORD flags, const KeyNameFunction& keyName);

// GetKeyNameTextA, or a stand-in in tests.
typedef int(WINAPI* KeyNameReader)(LONG lParam, LPSTR buffer, int size);

// The layout's name for a key parameter (scan code << 16, bit 24 for extended). The buffer starts
// at 128 characters and doubles while the name fills it, up to maxChars.
CString KeyNameText(LONG lParam, KeyNameReader reader, int maxChars = 4096);
