#pragma once

// Helpers of the Win32 tests.

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "ddraw_fake.h"
#include "diag/log_core.h"
#include "display/ddraw_manager_win32.h"

namespace win32test {

using fake::kH;
using fake::kW;
constexpr uint16_t kDrawn = 0x2222;

template <class Done>
bool WaitFor(Done done, DWORD ms = 10000) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(2))
        if (GetTickCount() - start > ms) return false;
    return true;
}

// A manager over the double, with short waits and the debug log on; it must give every reference back.
struct Rig {
    explicit Rig(DDrawOptions o = {300, 20, 20, false}) : m(std::make_unique<DDrawManager>(o)) {
        InitErrorMsgAt("NUL");  // writes nothing, but remembers the most severe line
        directDrawCreate = fake::Create;
    }
    ~Rig() {
        m.reset();
        StopErrorMsg();
        EXPECT_EQ(dd.Leaks(), "");
    }
    bool Start(bool full, HWND window = nullptr) { return m->CreateDirectDraw(window, kW, kH, full); }
    // The most severe line logged last, without its level.
    static std::string Logged() { return RememberedErrorMsg().Text(); }
    // What the screen shows: the primary full-screen, the blitted back buffer windowed.
    fake::Object& Shown() { return dd.primary->attached != nullptr ? *dd.primary : *dd.back; }
    // Draws through the buffer GetBackBuffer gives, which must be the back buffer's memory.
    bool Draw(uint16_t colour = kDrawn) {
        const SurfaceInfo* s = m->GetBackBuffer();
        if (s == nullptr) return false;
        EXPECT_EQ(s->pixels, dd.back->mem.data()) << "not the back buffer's memory";
        EXPECT_EQ(s->pitch, fake::kPitch);
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

    fake::Device dd;
    std::unique_ptr<DDrawManager> m;
};

}  // namespace win32test
