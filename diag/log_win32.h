#pragma once

#include <windows.h>

// Child-window enumeration callback: logs each window's title at LOG_INFO. The
// application value is not used. FALSE (stop) for a null window.
BOOL CALLBACK EnumChildProc(HWND window, LPARAM value);
