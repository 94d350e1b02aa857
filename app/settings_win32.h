#pragma once

struct HWND__;

// Reads Resolution, Density and HighlightDensity from the settings key into saverState,
// creating the key with its first-run values when it is missing and writing back a
// value that cannot be read. Every failure is shown at once in a message box owned by
// owner; the result is then false.
bool LoadSettings(HWND__* owner);

// Caption of every settings and dialog message box.
constexpr const char* kSettingsCaption = "Vorlex Code Emulator";
constexpr const char* kSettingsKeyPath = "Software\\Zelvoran\\Vorlex Code Emulator";
