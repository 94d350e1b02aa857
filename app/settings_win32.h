#pragma once

#include "diag/log_core.h"

struct HWND__;

// Where LoadSettings found the values; kNone after a failure it has shown.
enum class SettingsSource { kNone, kWritable, kReadOnly, kDefaults };

// Reads Resolution, Density and HighlightDensity from the settings key into saverState,
// creating the key with its first-run values when it is missing and writing back a
// value that cannot be read. Where the key cannot be opened for writing it is only read
// (kReadOnly), or the values stay as they are when it does not exist (kDefaults). Every
// failure is shown at once in a message box owned by owner.
SettingsSource LoadSettings(HWND__* owner);
// The log line for a source other than the writable key, else null.
const char* SettingsSourceNote(SettingsSource source);

// Writes Resolution, Density and HighlightDensity from saverState into the existing
// settings key. A failure is shown in a message box owned by owner; the values after the
// failing one are then not written. False only when write access is refused: the box
// then says that administrator rights are needed, and the dialog stays open.
bool StoreSettings(HWND__* owner);

// Shows text at once in an error message box owned by owner, with the settings caption.
void ShowSettingsError(HWND__* owner, const char* text);

// Settings and dialog message boxes carry the same caption as the log's.
inline const char* const kSettingsCaption = kErrorMsgCaption;
constexpr const char* kSettingsKeyPath = "Software\\Zelvoran\\Vorlex Code Emulator";
