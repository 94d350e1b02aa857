#pragma once

// Helpers of the Win32 tests.

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "ddraw_fake.h"
#include "diag/log.h"
#include "diag/log_core.h"
#include "display/ddraw_manager_win32.h"

namespace win32test {

// Runs the debug log on a file of its own; Stop() returns what was written.
struct LogCapture {
    LogCapture() : path(std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count) + ".vlx.log") {
        running = InitErrorMsgAt(path.c_str());
    }
    ~LogCapture() { Stop(), DeleteFileA(path.c_str()); }
    std::string Stop() {
        if (running) StopErrorMsg();
        running = false;
        std::stringstream text;
        text << std::ifstream(path, std::ios::binary).rdbuf();
        return text.str();
    }
    bool Has(const std::string& line) { return Stop().find(line + "\n") != std::string::npos; }
    static inline int count = 0;
    std::string path;
    bool running;
};

template <class Done>
bool WaitFor(Done done, DWORD ms = 10000) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(2))
        if (GetTickCount() - start > ms) return false;
    return true;
}

constexpr int kW = 320, kH = 240;
constexpr uint16_t kDrawn = 0x2222;

// A manager with short waits (`failing`: a call that fails for good from the start); at its
// end every reference must have been given back.
struct Rig {
    explicit Rig(bool full, HWND window = nullptr, DDrawOptions o = {1000, 20, 20, false}, DWORD greenMask = 0x07E0,
                 const char* failing = nullptr)
        : m(std::make_unique<DDrawManager>(o)) {
        dd.greenMask = greenMask;
        if (failing != nullptr) dd.Fail(failing, DDERR_GENERIC);
        ok = m->CreateDirectDraw(window, kW, kH, full);
    }
    ~Rig() {
        m.reset();
        EXPECT_EQ(dd.Leaks(), "");
    }
    // What the screen shows: the primary full-screen, the blitted back buffer windowed.
    fake::Surface& Shown() { return dd.primary->attached != nullptr ? *dd.primary : *dd.back; }
    // Draws through the buffer GetBackBuffer gives, which must be the back buffer's memory.
    bool Draw(uint16_t colour = kDrawn) {
        const SurfaceInfo* s = m->GetBackBuffer();
        if (s == nullptr) return false;
        EXPECT_EQ(s->pixels, dd.back->mem.data()) << "not the back buffer's memory";
        EXPECT_EQ(s->pitch, dd.back->Pitch());
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) s->pixels[y * s->pitch + x] = colour;
        return true;
    }
    // Present calls until the frame is shown, or -1.
    int Presents(int limit = 10) {
        for (int i = 1; i <= limit; ++i)
            if (m->Present() == 0) return i;
        return -1;
    }
    // A frame drawn, shown at the first Present, and on screen.
    bool Frame(uint16_t colour = kDrawn) { return Draw(colour) && Presents() == 1 && Shown().Filled(colour); }

    LogCapture log;
    fake::Device dd;
    std::unique_ptr<DDrawManager> m;
    bool ok = false;
};

}  // namespace win32test
