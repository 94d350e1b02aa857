#pragma once

#include <windows.h>

// Dialog procedure of template 2003: fills the controls from the settings and stores
// the clamped values when the user presses OK. Exported under this name.
extern "C" INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
