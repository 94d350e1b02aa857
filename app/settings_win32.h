#pragma once

#include "diag/log_core.h"

struct HWND__;

// Reads Resolution, Density and HighlightDensity from the settings key into saverState,
// creating the key with its first-run values when it is missing and writing back a
// value that cannot be read. Every failure is shown at once in a message box owned by
// owner; the result is then false.
bool LoadSettings(HWND__* owner);

// Writes Resolution, Density and HighlightDensity from saverState into the existing
// settings key. A failure is shown in a message box owned by owner; the values after the
// failing one are then not written.
void StoreSettings(HWND__* owner);

// Shows text at once in an error message box owned by owner, with the settings caption.
void ShowSettingsError(HWND__* owner, const char* text);

// Settings and dialog message boxes carry the same caption as the log's.
inline const char* const kSettingsCaption = kErrorMsgCaption;
constexpr const char* kSettingsKeyPath = "Software\\Zelvoran\\Vorlex Code Emulator";
