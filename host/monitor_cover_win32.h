#pragma once

#include <windows.h>

// Full-screen, the mode switch sizes the saver's window to the primary monitor and leaves the
// others to the system: each other monitor gets a black, topmost window of its own, owned by the
// saver's window, passing its input on to it.

// Covers every monitor but the primary one.
void CoverOtherMonitors(HWND saver);
// After a display change: false when a monitor came or went; otherwise the covers follow the
// monitors' new rectangles. True while nothing is covered.
bool CoveredMonitorsRemain();
void RemoveMonitorCovers();
