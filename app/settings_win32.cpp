#include "app/settings_win32.h"

#include <windows.h>

#include <cstring>

#include "app/saver_state.h"
#include "app/settings_values.h"

// The key as the messages name it.
#define VORLEX_KEY_TEXT "HKEY_LOCAL_MACHINE/Software/Zelvoran/Vorlex Code Emulator"

void ShowSettingsError(HWND owner, const char* text) { MessageBoxA(owner, text, kSettingsCaption, MB_ICONERROR); }

namespace {

void CloseKey() {
    if (saverState.settingsKey) RegCloseKey(saverState.settingsKey);
    saverState.settingsKey = nullptr;
}

SettingsSource Fail(HWND owner, const char* text, bool closeKey) {
    if (closeKey) CloseKey();
    ShowSettingsError(owner, text);
    return SettingsSource::kNone;
}

bool WriteText(const char* name, const char* text) {
    return RegSetValueExA(saverState.settingsKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text))) == ERROR_SUCCESS;
}

bool WriteNumber(const char* name, uint32_t value) {
    const DWORD data = value;
    return RegSetValueExA(saverState.settingsKey, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data) == ERROR_SUCCESS;
}

// Reads into a scratch copy so that a failed read cannot leave part of a value behind.
bool ReadNumber(const char* name, uint32_t& value) {
    uint32_t data = value;
    saverState.valueSize = sizeof data;
    DWORD size = saverState.valueSize;
    if (RegQueryValueExA(saverState.settingsKey, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&data), &size) !=
        ERROR_SUCCESS)
        return false;
    value = data;
    return true;
}

bool ReadResolution() {
    char text[SaverState::kResolutionTextSize + 1] = {};
    saverState.valueSize = SaverState::kResolutionTextSize;
    DWORD size = saverState.valueSize;
    if (RegQueryValueExA(saverState.settingsKey, "Resolution", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                         &size) != ERROR_SUCCESS)
        return false;
    // Stored texts carry no terminating zero; a 20-byte one loses its last character.
    text[SaverState::kResolutionTextSize - 1] = '\0';
    std::memcpy(saverState.resolutionText, text, SaverState::kResolutionTextSize);
    return true;
}

SettingsSource ApplyResolution(SettingsSource source) {
    saverState.resolutionIndex = ResolutionIndexFromText(saverState.resolutionText, saverState.resolutionIndex);
    const ScreenSize size = ScreenSizeForIndex(saverState.resolutionIndex);
    saverState.screenWidth = size.width;
    saverState.screenHeight = size.height;
    return source;
}

// Without the right to create or change the key (a standard user where the registry is not virtualised) the saver
// still runs: on what the key holds, writing nothing back, or on the defaults when there is no key.
SettingsSource LoadReadOnly(HWND owner) {
    HKEY key = nullptr;
    const LSTATUS opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_READ, &key);
    if (opened == ERROR_FILE_NOT_FOUND) return ApplyResolution(SettingsSource::kDefaults);
    if (opened != ERROR_SUCCESS) return Fail(owner, "[WinMain] Unable to open/create software registry key", false);
    saverState.settingsKey = key;
    ReadResolution();
    ReadNumber("Density", saverState.density);
    uint32_t highlight = static_cast<uint32_t>(saverState.highlightDensity);
    if (ReadNumber("HighlightDensity", highlight)) saverState.highlightDensity = static_cast<int32_t>(highlight);
    CloseKey();
    return ApplyResolution(SettingsSource::kReadOnly);
}

}  // namespace

const char* SettingsSourceNote(SettingsSource source) {
    switch (source) {
        case SettingsSource::kReadOnly:
            return "[WM_CREATE] Settings key not writable: stored values used, none written";
        case SettingsSource::kDefaults:
            return "[WM_CREATE] No settings key and no right to create it: default values used";
        default:
            return nullptr;
    }
}

SettingsSource LoadSettings(HWND__* owner) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, const_cast<char*>(""), REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return LoadReadOnly(owner);
    saverState.settingsKey = key;
    saverState.keyDisposition = disposition;

    if (disposition == REG_CREATED_NEW_KEY) {
        std::strcpy(saverState.resolutionText, "1024x768");
        if (!WriteText("Resolution", saverState.resolutionText))
            return Fail(owner, "[WinMain] Unable to set resolution value in " VORLEX_KEY_TEXT, true);
        if (!WriteNumber("Density", saverState.density))
            return Fail(owner, "[WinMain] Unable to set density value in " VORLEX_KEY_TEXT, true);
        if (!WriteNumber("HighlightDensity", static_cast<uint32_t>(saverState.highlightDensity)))
            return Fail(owner, "[WinMain] Unable to set highlight density value in " VORLEX_KEY_TEXT, true);
    }

    // A value that cannot be read is repaired by writing the current one back.
    if (!ReadResolution() && !WriteText("Resolution", saverState.resolutionText))
        return Fail(owner, "[WinMain] Unable to get resolution value from " VORLEX_KEY_TEXT, true);
    if (!ReadNumber("Density", saverState.density) && !WriteNumber("Density", saverState.density))
        return Fail(owner, "[WinMain] Unable to get density value from " VORLEX_KEY_TEXT, true);
    uint32_t highlight = static_cast<uint32_t>(saverState.highlightDensity);
    if (ReadNumber("HighlightDensity", highlight)) {
        saverState.highlightDensity = static_cast<int32_t>(highlight);
    } else if (!WriteNumber("HighlightDensity", highlight)) {
        return Fail(owner, "Unable to get highlight density value from " VORLEX_KEY_TEXT, true);
    }

    CloseKey();
    return ApplyResolution(SettingsSource::kWritable);
}

bool StoreSettings(HWND__* owner) {
    HKEY key = nullptr;
    LSTATUS opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_SET_VALUE, &key);
    // No key yet (the saver ran on the defaults): making it is what needs the rights.
    if (opened == ERROR_FILE_NOT_FOUND)
        opened = RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, const_cast<char*>(""),
                                 REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (opened == ERROR_ACCESS_DENIED) {
        ShowSettingsError(owner, "Administrator rights are needed to change these settings.");
        return false;
    }
    if (opened != ERROR_SUCCESS) {
        ShowSettingsError(owner, "Unable to open registry key to store values");
        return true;
    }
    saverState.settingsKey = key;
    if (!WriteText("Resolution", saverState.resolutionText))
        ShowSettingsError(owner, "Unable to set resolution settings in registry");
    else if (!WriteNumber("Density", saverState.density))
        ShowSettingsError(owner, "Unable to set density settings in registry");
    else if (!WriteNumber("HighlightDensity", static_cast<uint32_t>(saverState.highlightDensity)))
        ShowSettingsError(owner, "Unable to set density settings in registry");
    CloseKey();
    return true;
}
