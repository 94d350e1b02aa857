#include "app/config_dialog_win32.h"

#include <cstring>
#include <string>

#include "app/saver_state.h"
#include "app/settings_values.h"
#include "app/settings_win32.h"

namespace {

void ShowDialogError(HWND dialog, const char* text) { MessageBoxA(dialog, text, kSettingsCaption, MB_ICONERROR); }

void FillControls(HWND dialog) {
    LoadSettings(dialog);  // failures were shown; the controls show what was read
    const int checked = RadioForIndex(saverState.resolutionIndex);
    for (int id = kIdRadio800x600; id <= kIdRadio1280x1024; ++id)
        CheckDlgButton(dialog, id, id == checked ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(dialog, kIdDensityEdit, saverState.density, FALSE);
    SetDlgItemInt(dialog, kIdHighlightEdit, static_cast<UINT>(saverState.highlightDensity), FALSE);
}

// Read as text: the system's own conversion takes "-5" for a large unsigned number. The
// whole text, however long, so that a cut cannot turn "000...07" into 0 or "5   x" into 5.
uint32_t ReadNumberBox(HWND dialog, int id) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(GetDlgItem(dialog, id))) + 1, '\0');
    GetDlgItemTextA(dialog, id, &text[0], static_cast<int>(text.size()));
    return ParseDialogNumber(text.c_str());
}

void StoreValues(HWND dialog) {
    saverState.resolutionIndex = IndexFromRadios(IsDlgButtonChecked(dialog, kIdRadio1024x768) == BST_CHECKED,
                                                 IsDlgButtonChecked(dialog, kIdRadio1280x1024) == BST_CHECKED);
    saverState.density = ClampDensity(ReadNumberBox(dialog, kIdDensityEdit));
    saverState.highlightDensity = static_cast<int32_t>(ClampHighlightDensity(ReadNumberBox(dialog, kIdHighlightEdit)));
    std::strcpy(saverState.resolutionText, ResolutionTextForIndex(saverState.resolutionIndex));

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        ShowDialogError(dialog, "Unable to open registry key to store values");
        return;
    }
    saverState.settingsKey = key;
    const DWORD density = saverState.density;
    const DWORD highlight = static_cast<DWORD>(saverState.highlightDensity);
    if (RegSetValueExA(key, "Resolution", 0, REG_SZ, reinterpret_cast<const BYTE*>(saverState.resolutionText),
                       static_cast<DWORD>(std::strlen(saverState.resolutionText))) != ERROR_SUCCESS)
        ShowDialogError(dialog, "Unable to set resolution settings in registry");
    else if (RegSetValueExA(key, "Density", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&density), sizeof density) !=
             ERROR_SUCCESS)
        ShowDialogError(dialog, "Unable to set density settings in registry");
    else if (RegSetValueExA(key, "HighlightDensity", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&highlight),
                            sizeof highlight) != ERROR_SUCCESS)
        ShowDialogError(dialog, "Unable to set density settings in registry");
    RegCloseKey(key);
    saverState.settingsKey = nullptr;
}

}  // namespace

extern "C" INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            FillControls(dialog);
            return TRUE;
        case WM_COMMAND:
            if (wParam == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            if (wParam == IDOK) {
                StoreValues(dialog);
                EndDialog(dialog, 1);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
