#pragma once

// A DirectDraw double (device, clipper and surfaces are Objects behind the tables of ddraw_fake.cpp), and a
// display manager over it.

#include <gtest/gtest.h>
#include <windows.h>

#include <ddraw.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "diag/log_core.h"
#include "display/ddraw_manager_win32.h"

namespace fake {

constexpr int kW = 320;  // every surface, and the screen
constexpr int kH = 240;
constexpr int kPitch = kW + 24;
constexpr uint16_t kDrawn = 0x2222;

struct Device;

struct Object {
    Object(const void* t, Device* d, const char* n) : table(t), dev(d), name(n) {}
    bool Filled(uint16_t v) const {
        for (int y = 0; y < kH; ++y)
            if (std::any_of(&mem[y * kPitch], &mem[y * kPitch + kW], [v](uint16_t p) { return p != v; })) return false;
        return true;
    }

    const void* table;  // first, where COM looks for it
    Device* dev;
    std::string name;
    // What new and restored memory holds: anything.
    static std::vector<uint16_t> Memory() { return std::vector<uint16_t>(kPitch * kH, 0x1111); }
    std::vector<uint16_t> mem = Memory();
    std::vector<std::vector<uint16_t>> retired;  // restored memory moves: a stale address is wrong, not a crash
    LONG refs = 1;
    bool lost = false;
    bool locked = false;
    bool gdiAtBack = false;
    DDCOLORKEY key = {};
    Object* attached = nullptr;  // the back buffer of a flip chain
    RECT lastDst = {};
};

struct Device {
    Device() { installed = this; }
    Object* Add(const char* name, const void* table) {
        return objects.emplace_back(new Object(table, this, name)).get();
    }
    std::string Leaks() const {
        std::string out;
        for (const auto& o : objects)
            if (o->refs != 0) out += o->name + " refs " + std::to_string(o->refs) + "; ";
        return out;
    }

    static inline Device* installed = nullptr;
    std::map<std::string, HRESULT> fail;  // by call: "back.Restore"
    std::vector<DWORD> mode;              // the display mode set last: width, height, bits
    DWORD greenMask = 0x07E0;
    DWORD offCaps = DDSCAPS_LOCALVIDMEM;  // of surfaces made next
    std::atomic<int> shown = 0;           // flips and window blits
    std::vector<std::unique_ptr<Object>> objects;
    Object* primary = nullptr;
    Object* back = nullptr;
};

// Stands in for DirectDrawCreate, with the device made last.
HRESULT WINAPI Create(GUID*, IDirectDraw** out, IUnknown*);

// A manager with short waits and the debug log on; it must give every reference back.
struct Rig {
    explicit Rig(DDrawOptions o = {300, 20, 20, false}) : m(std::make_unique<DDrawManager>(o)) {
        InitErrorMsgAt("NUL");  // writes nothing, but remembers the most severe line
        directDrawCreate = Create;
    }
    ~Rig() {
        m.reset();
        StopErrorMsg();
        EXPECT_EQ(dd.Leaks(), "");
    }
    bool Start(bool full, HWND window = nullptr) { return m->CreateDirectDraw(window, kW, kH, full); }
    // The most severe line, without its level.
    static std::string Logged() { return RememberedErrorMsg().Text(); }
    // What the screen shows: the primary full-screen, the blitted back buffer windowed.
    Object& Shown() { return dd.primary->attached != nullptr ? *dd.primary : *dd.back; }
    // Draws through the buffer GetBackBuffer gives, which must be the back buffer's memory.
    bool Draw(uint16_t colour = kDrawn) {
        const SurfaceInfo* s = m->GetBackBuffer();
        if (s == nullptr) return false;
        EXPECT_EQ(s->pixels, dd.back->mem.data());
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) s->pixels[y * s->pitch + x] = colour;
        return true;
    }
    // Present calls until the frame is shown, or -1.
    int Presents(int limit = 3) {
        for (int i = 1; i <= limit; ++i)
            if (m->Present() == 0) return i;
        return -1;
    }
    // A frame drawn, shown at the first Present, and on screen.
    bool Frame(uint16_t colour = kDrawn) { return Draw(colour) && Presents() == 1 && Shown().Filled(colour); }

    Device dd;
    std::unique_ptr<DDrawManager> m;
};

}  // namespace fake
