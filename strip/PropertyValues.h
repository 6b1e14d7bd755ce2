#pragma once
// The eleven settings of the property dialog and the decisions taken on them, as pure functions.
#include <windows.h>

struct PropertyValues {
    int location;
    int size;
    int topMargin;
    int leftMargin;
    int rightMargin;
    int bottomMargin;
    int limit;
    int interval;
    int frame;
    int hotKey;
    int modifiers;
};

// All eleven equal: OK changed nothing.
bool SamePropertyValues(const PropertyValues& a, const PropertyValues& b);

// The frame box shows any FRAME other than 0 as ticked.
int FrameBoxPreset(int frame);

// A radio group with nothing checked (-1) keeps the preset: a hand-edited LOCATION 9 stays 9.
int RadioResult(int checked, int preset);

// The combination as the hot-key field shows a stored one: the low 16 bits of each, and only the
// four modifiers the field knows (MOD_NOREPEAT and the like are dropped).
void HotKeyAsField(int hotKey, int modifiers, WORD* fieldKey, WORD* fieldModifiers);

// The field's combination differs from the stored one as the field would show it. A stored value
// the field cannot represent thus counts as unchanged while the user leaves the field alone.
bool HotKeyChanged(WORD fieldKey, WORD fieldModifiers, int storedKey, int storedModifiers);
