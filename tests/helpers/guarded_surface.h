#pragma once

#include <cstdint>
#include <vector>

#include "display/surface_info.h"

// A surface inside a block of guard pixels, its pitch wider than its width: a write one
// pixel outside it changes a guard.
class GuardedSurface {
public:
    static constexpr uint16_t kGuard = 0xA5A5;
    static constexpr int kMargin = 8;

    GuardedSurface(int width, int height, int extraPitch = 5, uint16_t fill = 0x1234)
        : width_(width), height_(height), pitch_(width + extraPitch), fill_(fill) {
        block_.assign(static_cast<size_t>(pitch_) * (height + 2 * kMargin) + 2 * kMargin, kGuard);
        for (int i = 0; i < width_ * height_; ++i) Ref(i % width_, i / width_) = fill;
        info_ = SurfaceInfo{&Ref(0, 0), width_, height_, pitch_};
    }

    const SurfaceInfo& Info() const { return info_; }
    uint16_t At(int x, int y) const { return block_[Index(x, y)]; }
    uint16_t& Ref(int x, int y) { return block_[Index(x, y)]; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    uint16_t Fill() const { return fill_; }

    bool GuardsIntact() const {
        std::vector<uint16_t> outside = block_;
        for (int i = 0; i < width_ * height_; ++i) outside[Index(i % width_, i / width_)] = kGuard;
        return outside == std::vector<uint16_t>(block_.size(), kGuard);
    }

private:
    size_t Index(int x, int y) const { return kMargin + static_cast<size_t>(y + kMargin) * pitch_ + x; }

    int width_, height_, pitch_;
    uint16_t fill_;
    std::vector<uint16_t> block_;
    SurfaceInfo info_;
};
