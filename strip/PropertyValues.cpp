#include "strip/PropertyValues.h"

#include "strip/HotKeyField.h"

bool SamePropertyValues(const PropertyValues& a, const PropertyValues& b)
{
    return a.location == b.location && a.size == b.size && a.topMargin == b.topMargin && a.leftMargin == b.leftMargin &&
           a.rightMargin == b.rightMargin && a.bottomMargin == b.bottomMargin && a.limit == b.limit &&
           a.interval == b.interval && a.frame == b.frame && a.hotKey == b.hotKey && a.modifiers == b.modifiers;
}

int FrameBoxPreset(int frame)
{
    return frame != 0 ? 1 : 0;
}

int RadioResult(int checked, int preset)
{
    return checked < 0 ? preset : checked;
}

void HotKeyAsField(int hotKey, int modifiers, WORD* fieldKey, WORD* fieldModifiers)
{
    *fieldKey = LOWORD(static_cast<DWORD>(hotKey));
    *fieldModifiers = HotKeyFlagsToMod(ModToHotKeyFlags(LOWORD(static_cast<DWORD>(modifiers))));
}

bool HotKeyChanged(WORD fieldKey, WORD fieldModifiers, int storedKey, int storedModifiers)
{
    WORD key = 0;
    WORD mods = 0;
    HotKeyAsField(storedKey, storedModifiers, &key, &mods);
    return fieldKey != key || fieldModifiers != mods;
}
