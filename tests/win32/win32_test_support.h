#pragma once

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "diag/log.h"
#include "diag/log_core.h"

namespace win32test {

// Runs the debug log on a file of its own; Stop() returns what was written.
class LogCapture {
public:
    LogCapture() {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        GetTempFileNameA(dir, "vlx", 0, path_);
        running_ = InitErrorMsgAt(path_);
    }
    ~LogCapture() {
        Stop();
        DeleteFileA(path_);
    }
    std::string Stop() {
        if (running_) StopErrorMsg();
        running_ = false;
        std::stringstream text;
        text << std::ifstream(path_, std::ios::binary).rdbuf();
        return text.str();
    }

private:
    char path_[MAX_PATH];
    bool running_ = false;
};

// A visible window of the given client size; popup for full-screen.
inline HWND TestWindow(int x, int y, int width, int height, bool popup = false) {
    const DWORD style = popup ? WS_POPUP | WS_VISIBLE : WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE;
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, style, FALSE);
    HWND w = CreateWindowExA(0, "STATIC", "Vorlex test", style, x, y, r.right - r.left, r.bottom - r.top, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(w);
    MSG msg;
    for (int round = 0; round < 5; ++round, Sleep(10))
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    return w;
}

template <class Done>
bool WaitFor(Done done, DWORD ms = 10000) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(2))
        if (GetTickCount() - start > ms) return false;
    return true;
}

inline int DesktopCaps(int index) {
    HDC dc = GetDC(nullptr);
    const int v = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return v;
}

}  // namespace win32test
