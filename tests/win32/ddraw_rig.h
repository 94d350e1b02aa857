#pragma once

// A display manager over the DirectDraw double, with short waits. At the end every
// reference is given back and nothing was drawn through an address from before a restore.

#include <gtest/gtest.h>

#include <memory>

#include "ddraw_fake.h"
#include "display/ddraw_manager_win32.h"
#include "win32_test_support.h"

namespace win32test {

constexpr int kW = 320, kH = 240;
constexpr uint16_t kDrawn = 0x2222;

struct Rig {
    explicit Rig(bool full, HWND window = nullptr, DDrawOptions o = {1000, 20, 20, false}, DWORD greenMask = 0x07E0)
        : m(std::make_unique<DDrawManager>(o)) {
        dd.greenMask = greenMask;
        ok = m->CreateDirectDraw(window, kW, kH, full);
    }
    ~Rig() {
        m.reset();
        EXPECT_EQ(dd.Leaks(), "");
        EXPECT_FALSE(dd.DrawnAtStaleAddress());
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
    // Calls Present until it shows the frame: the number of calls, or -1.
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
