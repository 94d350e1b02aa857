#include "win32_test_support.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "diag/log.h"
#include "diag/log_core.h"

namespace win32test {

int DesktopCaps(int index) {
    HDC dc = GetDC(nullptr);
    const int v = GetDeviceCaps(dc, index);
    ReleaseDC(nullptr, dc);
    return v;
}

std::vector<uint16_t> ReadSurface(IDirectDrawSurface* s, int width, int height) {
    std::vector<uint16_t> out;
    DDSURFACEDESC d;
    std::memset(&d, 0, sizeof d);
    d.dwSize = sizeof d;
    if (s->Lock(nullptr, &d, DDLOCK_WAIT, nullptr) != DD_OK) return out;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const char*>(d.lpSurface) + y * d.lPitch);
        out.insert(out.end(), row, row + width);
    }
    s->Unlock(d.lpSurface);
    return out;
}

LogCapture::LogCapture() {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "vlx", 0, path_);
    running_ = InitErrorMsgAt(path_);
}

LogCapture::~LogCapture() {
    if (running_) StopErrorMsg();
    DeleteFileA(path_);
}

std::string LogCapture::Stop() {
    if (running_) StopErrorMsg();
    running_ = false;
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace {

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

const char* RegisterTestClass() {
    static const char kName[] = "VorlexDisplayTestWindow";
    static bool done = false;
    if (!done) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = kName;
        RegisterClassA(&wc);
        done = true;
    }
    return kName;
}

}  // namespace

// Windows are kept for the whole run and moved into place for each test: destroying a
// window on a virtual X server without a window manager costs Wine two seconds.
TestWindow::TestWindow(int x, int y, int width, int height, bool popup) {
    static HWND kept[2] = {nullptr, nullptr};
    const DWORD style = popup ? WS_POPUP | WS_VISIBLE : WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE;
    RECT r = {0, 0, width, height};
    AdjustWindowRect(&r, style, FALSE);
    HWND& w = kept[popup ? 1 : 0];
    if (w == nullptr) {
        w = CreateWindowExA(popup ? WS_EX_TOPMOST : 0, RegisterTestClass(), "Vorlex display test", style, x, y,
                            r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    } else {
        SetWindowPos(w, HWND_TOP, x, y, r.right - r.left, r.bottom - r.top, SWP_SHOWWINDOW);
        InvalidateRect(w, nullptr, TRUE);
    }
    window_ = w;
    if (window_ != nullptr) {
        SetForegroundWindow(window_);
        UpdateWindow(window_);
    }
    Pump();
}

TestWindow::~TestWindow() { Pump(); }

void TestWindow::Pump() {
    MSG msg;
    for (int round = 0; round < 5; ++round) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(10);
    }
}

void FillSolidGlyphs(Animation& glyphs, uint16_t colour) {
    const int n = glyphs.width * glyphs.height;
    for (int f = 0; f < glyphs.frameCount; ++f) {
        glyphs.frames[f] = new uint16_t[n];
        for (int i = 0; i < n; ++i) glyphs.frames[f][i] = colour;
    }
}

COLORREF ScreenPixel(int x, int y) {
    HDC dc = GetDC(nullptr);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(nullptr, dc);
    return c;
}

}  // namespace win32test
