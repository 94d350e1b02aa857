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
        : info_{nullptr, width, height, width + extraPitch},
          block_(static_cast<size_t>(info_.pitch) * (height + 2 * kMargin) + 2 * kMargin, kGuard),
          fill_(fill) {
        info_.pixels = &Ref(0, 0);
        for (int i = 0; i < width * height; ++i) Ref(i % width, i / width) = fill;
    }

    const SurfaceInfo& Info() const { return info_; }
    uint16_t At(int x, int y) const { return block_[Index(x, y)]; }
    uint16_t& Ref(int x, int y) { return block_[Index(x, y)]; }
    int Width() const { return info_.width; }
    int Height() const { return info_.height; }
    uint16_t Fill() const { return fill_; }

    bool GuardsIntact() const {
        std::vector<uint16_t> outside = block_;
        for (int i = 0; i < Width() * Height(); ++i) outside[Index(i % Width(), i / Width())] = kGuard;
        return outside == std::vector<uint16_t>(block_.size(), kGuard);
    }

private:
    size_t Index(int x, int y) const { return kMargin + static_cast<size_t>(y + kMargin) * info_.pitch + x; }

    SurfaceInfo info_;
    std::vector<uint16_t> block_;
    uint16_t fill_;
};
