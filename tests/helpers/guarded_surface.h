#pragma once

#include <cstdint>
#include <vector>

#include "display/surface_info.h"

// A 16-bit surface inside a larger block of guard pixels, with a pitch wider than the
// width, so a write one pixel outside the surface (or the clip) shows up as a changed guard.
class GuardedSurface {
public:
    static constexpr uint16_t kGuard = 0xA5A5;
    static constexpr int kMargin = 8;

    GuardedSurface(int width, int height, int extraPitch = 5, uint16_t fill = 0x1234)
        : width_(width),
          height_(height),
          pitch_(width + extraPitch),
          block_(static_cast<size_t>(pitch_) * (height + 2 * kMargin) + 2 * kMargin, kGuard),
          fill_(fill) {
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) Ref(x, y) = fill;
        info_.pixels = &Ref(0, 0);
        info_.width = width_;
        info_.height = height_;
        info_.pitch = pitch_;
    }

    const SurfaceInfo& Info() const { return info_; }
    uint16_t At(int x, int y) const { return block_[Index(x, y)]; }
    uint16_t& Ref(int x, int y) { return block_[Index(x, y)]; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    uint16_t Fill() const { return fill_; }

    // Every pixel of the block outside the surface still holds the guard value.
    bool GuardsIntact() const {
        for (size_t i = 0; i < block_.size(); ++i) {
            const long long rel = static_cast<long long>(i) - static_cast<long long>(Index(0, 0));
            const long long y = rel >= 0 ? rel / pitch_ : -1;
            const long long x = rel >= 0 ? rel % pitch_ : -1;
            const bool inside = rel >= 0 && y < height_ && x < width_;
            if (!inside && block_[i] != kGuard) return false;
        }
        return true;
    }

private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(kMargin) + static_cast<size_t>(y + kMargin) * pitch_ + x;
    }

    int width_, height_, pitch_;
    std::vector<uint16_t> block_;
    uint16_t fill_;
    SurfaceInfo info_;
};
