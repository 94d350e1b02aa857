#include "host/monitor_cover_win32.h"

#include <vector>

namespace {

constexpr const char* kCoverClass = "VorlexMonitorCover";
constexpr DWORD kCoverStyle = WS_POPUP | WS_VISIBLE;
constexpr DWORD kCoverExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;

HWND coveredSaver = nullptr;
std::vector<HWND> covers;

BOOL CALLBACK AddOtherMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info) && (info.dwFlags & MONITORINFOF_PRIMARY) == 0)
        reinterpret_cast<std::vector<RECT>*>(list)->push_back(info.rcMonitor);
    return TRUE;
}

std::vector<RECT> OtherMonitors() {
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddOtherMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) || (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// Input over another monitor is input over the saver, under the saver's own rules.
LRESULT CALLBACK CoverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsInput(message) && IsWindow(coveredSaver)) return SendMessageA(coveredSaver, message, wParam, lParam);
    if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;  // the saver keeps the activation
    if (message == WM_SETCURSOR) {
        SetCursor(nullptr);
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void CoverOtherMonitors(HWND saver) {
    WNDCLASSA coverClass = {};
    coverClass.lpfnWndProc = CoverProc;
    coverClass.hInstance = GetModuleHandleA(nullptr);
    coverClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    coverClass.lpszClassName = kCoverClass;
    RegisterClassA(&coverClass);
    coveredSaver = saver;
    for (const RECT& r : OtherMonitors()) {
        HWND cover = CreateWindowExA(kCoverExStyle, kCoverClass, "", kCoverStyle, r.left, r.top, r.right - r.left,
                                     r.bottom - r.top, saver, nullptr, coverClass.hInstance, nullptr);
        if (cover) covers.push_back(cover);
    }
}

bool CoveredMonitorsRemain() {
    if (!coveredSaver) return true;
    const std::vector<RECT> monitors = OtherMonitors();
    if (monitors.size() != covers.size()) return false;
    for (size_t i = 0; i < covers.size(); ++i) {
        const RECT& r = monitors[i];
        SetWindowPos(covers[i], HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE);
    }
    return true;
}

void RemoveMonitorCovers() {
    coveredSaver = nullptr;
    for (HWND cover : covers) DestroyWindow(cover);
    covers.clear();
}
