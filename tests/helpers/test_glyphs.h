#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "display/glyph_blitter.h"
#include "glyphs/animation.h"
#include "glyphs/graphics_loader.h"

// Distinct per frame, row and column, never the fill.
inline uint16_t TestPixel(int frame, int x, int y) {
    return static_cast<uint16_t>(0x4000 | ((frame * 31 + y * 64 + x + 1) & 0x3FFF));
}

// Holes: transparent runs of varied length, whole rows, row edges; every fourth row opaque.
inline std::vector<uint16_t> TestFrame(int frame, int w, int h, uint16_t transparent = 0, bool holes = false) {
    std::vector<uint16_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool hole = holes && y % 4 != 2 && (y % 4 == 1 || (x * 7 + y * 3 + frame) % 5 < 2);
            px[static_cast<size_t>(y) * w + x] = hole ? transparent : TestPixel(frame, x, y);
        }
    return px;
}

// Exactly sized frames, so a sanitizer sees any over-read.
inline std::unique_ptr<Animation> MakeAnimation(int w, int h, int frames, bool lle, uint16_t transparent = kMagenta555,
                                                bool holes = false) {
    auto a = std::make_unique<Animation>(w, h, frames, lle ? 1 : 0);
    GraphicsLoader loader;
    loader.SetPixelFormat(transparent == kMagenta565);
    for (int f = 0; f < frames; ++f) {
        const std::vector<uint16_t> px = TestFrame(f, w, h, transparent, holes);
        a->frames[f] = lle ? loader.CompressFrame(px.data(), w, h) : new uint16_t[px.size()];
        if (!lle) std::memcpy(a->frames[f], px.data(), px.size() * sizeof(uint16_t));
    }
    return a;
}
