#include "strip/HotKeyField.h"

#include <commctrl.h>

#include <vector>

WORD ModifierFlagOfKey(WORD vk)
{
    switch (vk) {
        case VK_SHIFT:
        case VK_LSHIFT:
        case VK_RSHIFT:
            return kFieldShift;
        case VK_CONTROL:
        case VK_LCONTROL:
        case VK_RCONTROL:
            return kFieldControl;
        case VK_MENU:
        case VK_LMENU:
        case VK_RMENU:
            return kFieldAlt;
        case VK_LWIN:
        case VK_RWIN:
        case VK_APPS:
            return kFieldWin;
        default:
            return 0;
    }
}

WORD CombinationBit(WORD heldModifiers)
{
    // Indexed by Shift | Ctrl | Alt: none, S, C, SC, A, SA, CA, SCA.
    static const WORD kBits[] = {HKCOMB_NONE, HKCOMB_S,  HKCOMB_C,  HKCOMB_SC,
                                 HKCOMB_A,    HKCOMB_SA, HKCOMB_CA, HKCOMB_SCA};
    const WORD plain = heldModifiers & (kFieldShift | kFieldControl | kFieldAlt);
    const WORD rest = heldModifiers & ~plain;
    if (rest == 0)
        return kBits[plain];
    if (rest == kFieldWin)
        return static_cast<WORD>(kBits[plain] << 8);
    return 0;
}

WORD ApplyCombinationRules(WORD heldModifiers, WORD invalidCombinations, WORD replacementFlags)
{
    return (CombinationBit(heldModifiers) & invalidCombinations) ? replacementFlags : heldModifiers;
}

HotKeyFieldState StepHotKeyField(HotKeyFieldState s, bool down, WORD vk)
{
    const WORD modifier = ModifierFlagOfKey(vk);
    if (modifier) {
        s.heldModifiers = down ? (s.heldModifiers | modifier) : (s.heldModifiers & ~modifier);
    } else if (down) {
        s.heldKey = vk;
    } else if (s.heldKey == vk) {
        s.heldKey = 0;
    }
    const bool allUp = s.heldKey == 0 && s.heldModifiers == 0;
    const WORD candidate =
        allUp ? 0 : ApplyCombinationRules(s.heldModifiers, s.invalidCombinations, s.replacementFlags);
    if (s.complete) {
        s.virtualKey = 0;
        s.flags = 0;
        s.complete = 0;
    }
    if (s.heldKey != 0) {
        s.virtualKey = s.heldKey;
        s.flags = candidate;
    } else if (s.virtualKey == 0) {
        s.flags = candidate;
    }
    if (allUp)
        s.complete = 1;
    return s;
}

namespace {

struct BitPair {
    WORD mod;
    WORD flag;
};
const BitPair kBitPairs[] = {
    {MOD_ALT, kFieldAlt}, {MOD_CONTROL, kFieldControl}, {MOD_SHIFT, kFieldShift}, {MOD_WIN, kFieldWin}};

}  // namespace

WORD ModToHotKeyFlags(WORD modifiers)
{
    WORD flags = 0;
    for (const BitPair& p : kBitPairs) {
        if (modifiers & p.mod)
            flags |= p.flag;
    }
    return flags;
}

WORD HotKeyFlagsToMod(WORD flags)
{
    WORD modifiers = 0;
    for (const BitPair& p : kBitPairs) {
        if (flags & p.flag)
            modifiers |= p.mod;
    }
    return modifiers;
}

CString HotKeyText(WORD vk, WORD flags, const KeyNameFunction& keyName)
{
    CString text;
    if (vk == 0 && flags == 0)
        return text;
    if (flags & kFieldControl)
        text += keyName(VK_CONTROL, FALSE) + " + ";
    if (flags & kFieldShift)
        text += keyName(VK_SHIFT, FALSE) + " + ";
    if (flags & kFieldAlt)
        text += keyName(VK_MENU, FALSE) + " + ";
    if (flags & kFieldWin)
        text += "Win + ";
    text += keyName(vk, (flags & kFieldExt) ? TRUE : FALSE);
    return text;
}

CString KeyNameText(LONG lParam, KeyNameReader reader, int maxChars)
{
    int size = 128;
    for (;;) {
        std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
        int length = reader(lParam, buffer.data(), size);
        if (length < 0)
            length = 0;
        // A name that fills the buffer may have been cut: try a bigger one, within the cap.
        if (length < size - 1 || size * 2 > maxChars)
            return CString(buffer.data(), length < size ? length : size);
        size *= 2;
    }
}
