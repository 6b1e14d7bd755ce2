#pragma once
// Values derived from the "SYSTEM" settings of "Kestrova.ini", as pure functions. The settings
// themselves stay as read; only what is computed from them is kept in range.
#include <windows.h>

#include "framework/String.h"
#include "tracking/ExclusionStore.h"

// Slot size of the SIZE setting: 0 small, 1 middle, 2 large. FALSE for any other value.
BOOL ThumbnailSizeFor(int size, SIZE* out);

// Alpha byte of a thumbnail at rest: TRANSPARENT percent x 255 / 100, the percent first held
// to 20..100 so that the byte never wraps and a thumbnail never vanishes.
BYTE AlphaFromTransparency(int percent);

// Period of the refresh timer: INTERVAL steps of 100 ms, the steps held to 1..20.
UINT RefreshPeriodMs(int interval);

// The mode letters of the control page: L (parked in place) or P (parked off the screen), then A
// with desktop composition, then F with FRAME on.
CString ModeLetters(int monitorCount, int layeredMode, BOOL aero, int frame);

// The user's DWM "Composition" registry value is 1. Only reads.
BOOL IsAeroEnabled();

// Texts of the LOCATION and SIZE statics; "" for values outside the settings' ranges.
const char* LocationText(int location);
const char* SizeText(int size);

// The current folder, a backslash and the name. Empty when the current folder cannot be read
// whole, so a file never lands at a drive root.
CString SettingsFilePath(const char* fileName, CurrentDirectoryReader readCurrentDirectory = &::GetCurrentDirectoryA);
