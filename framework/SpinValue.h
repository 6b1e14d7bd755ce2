#pragma once
// What an up-down control's buddy text stands for, read back on OK.

// The buddy text's whole decimal when it lies within lower..upper; otherwise the previous value.
// The result is clamped to lower..upper either way, so a stale previous value cannot escape.
int SpinValueFromText(const char* text, int previous, int lower, int upper);
