#pragma once

#include <windows.h>

// The application's window procedure for the saver window: builds everything on
// WM_CREATE, pauses and resumes the render thread, tears down on WM_DESTROY, and hands
// every message it does not consume to the host's SaverDefaultProc. Exported.
extern "C" LRESULT CALLBACK ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
