#include "app/config_dialog_win32.h"

#include <cstring>
#include <string>

#include "app/saver_state.h"
#include "app/settings_values.h"
#include "app/settings_win32.h"

namespace {

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

// False when the values could not be stored for want of write access.
bool StoreValues(HWND dialog) {
    saverState.resolutionIndex = IndexFromRadios(IsDlgButtonChecked(dialog, kIdRadio1024x768) == BST_CHECKED,
                                                 IsDlgButtonChecked(dialog, kIdRadio1280x1024) == BST_CHECKED);
    saverState.density = ClampDensity(ReadNumberBox(dialog, kIdDensityEdit));
    saverState.highlightDensity = static_cast<int32_t>(ClampHighlightDensity(ReadNumberBox(dialog, kIdHighlightEdit)));
    std::strcpy(saverState.resolutionText, ResolutionTextForIndex(saverState.resolutionIndex));
    return StoreSettings(dialog);
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
                if (StoreValues(dialog)) EndDialog(dialog, 1);
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}
