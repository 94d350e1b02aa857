#pragma once

#include <windows.h>

#include <ddraw.h>

#include <cstdint>
#include <string>
#include <vector>

#include "glyphs/animation.h"

namespace win32test {

// Runs the debug log on a file of its own for one test; Stop() returns what was written.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::string Stop();

private:
    char path_[MAX_PATH];
    bool running_ = false;
};

// A visible top-level window with a client area of the given size at (x, y).
class TestWindow {
public:
    TestWindow(int x, int y, int width, int height, bool popup = false);
    ~TestWindow();
    HWND Handle() const { return window_; }
    // Lets the window system deliver what is queued (paint, activation).
    static void Pump();

private:
    HWND window_ = nullptr;
};

// A glyph set of solid cells: every frame width x height of colour.
void FillSolidGlyphs(Animation& glyphs, uint16_t colour);

// GetDeviceCaps of the desktop, e.g. BITSPIXEL.
int DesktopCaps(int index);

// Copies a surface's pixels out under a lock (empty when the lock fails).
std::vector<uint16_t> ReadSurface(IDirectDrawSurface* s, int width, int height);

// What the screen shows at (x, y), as 8-bit red, green, blue.
COLORREF ScreenPixel(int x, int y);

// Polls done() for up to ms milliseconds.
template <class Done>
bool WaitFor(Done done, DWORD ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        Sleep(2);
    }
    return true;
}

}  // namespace win32test
