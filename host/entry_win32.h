#pragma once

#include <windows.h>

// Runs the mode that the argument text names and returns the process's exit code.
int RunSaverCommand(HINSTANCE instance, const char* arguments);
// A window handle written in unsigned decimal; null for no digits.
HWND ParseWindowHandle(const char* text);
// Hook before the dialog opens: loads the common controls the manifest names.
bool PrepareConfigDialog(HINSTANCE instance);
// The configuration dialog from template 2003; the dialog's end code, or -1.
INT_PTR ShowConfigDialog(HWND owner);
// Asks the system's password provider to change the screen-saver password; always 0.
int RunPasswordChange(const char* text);
