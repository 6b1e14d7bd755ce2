#include "framework/SpinValue.h"

#include "framework/DDX.h"

int SpinValueFromText(const char* text, int previous, int lower, int upper)
{
    if (lower > upper) {
        const int swap = lower;
        lower = upper;
        upper = swap;
    }
    int value = 0;
    if (!text || !AfxParseInt(text, &value) || value < lower || value > upper)
        value = previous;
    return value < lower ? lower : value > upper ? upper : value;
}
