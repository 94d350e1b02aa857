#pragma once

// A DirectDraw double: the device, clipper and surfaces are Objects behind the tables of ddraw_fake.cpp.
// Calls fail by name ("back.Lock"). Restored memory moves. A reference left over is a leak.

#include <windows.h>

#include <ddraw.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fake {

constexpr int kW = 320;  // every surface, and the screen
constexpr int kH = 240;
constexpr int kPitch = kW + 24;
constexpr uint16_t kFresh = 0x1111;  // what new and restored memory holds: anything

struct Device;

struct Object {
    Object(const void* t, Device* d, std::string n) : table(t), dev(d), name(std::move(n)) {}
    bool Filled(uint16_t v) const {
        for (int y = 0; y < kH; ++y)
            if (std::any_of(&mem[y * kPitch], &mem[y * kPitch + kW], [v](uint16_t p) { return p != v; })) return false;
        return true;
    }

    const void* table;  // first, where COM looks for it
    Device* dev;
    std::string name;
    static std::vector<uint16_t> Memory() { return std::vector<uint16_t>(kPitch * kH, kFresh); }
    std::vector<uint16_t> mem = Memory();
    std::vector<std::vector<uint16_t>> retired;  // kept, so a stale address is a wrong one, not a crash
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
    // Fails the named call: the next `times` calls, or every call from now on (times < 0).
    void Fail(const std::string& call, HRESULT hr, int times = -1) { failures[call] = {hr, times}; }
    HRESULT Call(const std::string& name) {
        auto it = failures.find(name);
        if (it == failures.end() || it->second.second == 0) return DD_OK;
        if (it->second.second > 0) --it->second.second;
        return it->second.first;
    }
    Object* Add(const std::string& name, const void* table) {
        return objects.emplace_back(std::make_unique<Object>(table, this, name)).get();
    }
    std::string Leaks() const {
        std::string out;
        for (const auto& o : objects)
            if (o->refs != 0) out += o->name + " refs " + std::to_string(o->refs) + "; ";
        return out;
    }

    static inline Device* installed = nullptr;
    std::map<std::string, std::pair<HRESULT, int>> failures;
    std::vector<DWORD> mode;  // the display mode set last: width, height, bits
    DWORD greenMask = 0x07E0;
    DWORD offCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;  // of surfaces made next
    std::atomic<int> shown = 0;                                                          // flips and window blits
    std::vector<std::unique_ptr<Object>> objects;
    Object* primary = nullptr;
    Object* back = nullptr;
};

// Stands in for DirectDrawCreate, with the device made last.
HRESULT WINAPI Create(GUID*, IDirectDraw** out, IUnknown*);

}  // namespace fake
