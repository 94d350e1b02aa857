#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/surface_info.h"
#include "glyphs/animation.h"

// Checking code for the fuzz targets. It is built without coverage tracing: its
// per-pixel comparisons say nothing about the code under test and would slow every
// run down many times over.

// A width x height surface inside a margin of guard pixels on every side. Fill paints
// a pattern and remembers it, so a check can tell which pixels a draw changed. Writes
// that miss the margin too land outside the allocation, where AddressSanitizer sees them.
class GuardedSurface {
public:
    static constexpr int32_t kGuard = 48;

    GuardedSurface(int32_t width, int32_t height);

    SurfaceInfo Info();
    // Every pixel gets a value that differs from its neighbours' and from common colours.
    void Fill(uint16_t seed);

    // Surface coordinates, guard margin included: -kGuard <= x < width + kGuard.
    uint16_t At(int32_t x, int32_t y) const { return pixels_[Index(x, y)]; }
    uint16_t Before(int32_t x, int32_t y) const { return before_[Index(x, y)]; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }

    // True when no pixel outside clipRect (guard margin included) changed since Fill.
    bool OnlyClipChanged() const;

    // What Fill painted, to be patched into what a draw should leave; Matches compares
    // the whole guarded area with it and gives the first differing pixel.
    std::vector<uint16_t> Painted() const { return before_; }
    void Patch(std::vector<uint16_t>& picture, int32_t x, int32_t y, uint16_t value) const {
        picture[Index(x, y)] = value;
    }
    bool Matches(const std::vector<uint16_t>& picture, int32_t& x, int32_t& y) const;

private:
    size_t Index(int32_t x, int32_t y) const {
        return static_cast<size_t>(y + kGuard) * static_cast<size_t>(pitch_) + static_cast<size_t>(x + kGuard);
    }

    int32_t width_;
    int32_t height_;
    int32_t pitch_;
    std::vector<uint16_t> pixels_;
    std::vector<uint16_t> before_;
};

bool InClipRect(int32_t x, int32_t y);

// Each channel shifted right by shade bits (1-3), computed channel by channel; other
// shades leave the pixel as it is.
uint16_t DimPixel(uint16_t pixel, ColorType layout, int32_t shade);

// Walks LLE words as the format defines them; aborts with a message unless they are
// exactly count words that rebuild every opaque pixel of the top-down w x h frame.
void CheckLleEncoding(const uint16_t* words, int32_t count, const std::vector<uint16_t>& frame, int32_t w, int32_t h,
                      uint16_t key);

enum class DrawMode { kLle, kRaw, kDimmed };

// Aborts with a message unless the guarded area holds exactly what one draw of frame at
// pen should leave: inside clipRect and the cell, the frame's pixels (LLE: only those
// that are not key; dimmed: darkened by shade); everywhere else what Fill painted.
void CheckDraw(const GuardedSurface& surface, const std::vector<uint16_t>& frame, int32_t w, int32_t h, const Pen& pen,
               DrawMode mode, uint16_t key, ColorType layout, int32_t shade);

[[noreturn]] void FuzzFail(const char* what, int64_t x = 0, int64_t y = 0);
