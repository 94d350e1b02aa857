#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "glyphs/animation.h"

// Pixel (x, y) of raw test frame f: distinct per frame, row and column, never the fill.
inline uint16_t TestPixel(int frame, int x, int y) {
    return static_cast<uint16_t>(0x4000 | ((frame * 31 + y * 64 + x + 1) & 0x3FFF));
}

inline std::vector<uint16_t> TestFrame(int frame, int w, int h, uint16_t transparent = 0, bool holes = false) {
    std::vector<uint16_t> px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // A pattern of transparent pixels: runs of varied length, whole rows, row edges.
            const bool hole = holes && (y % 4 == 1 || (x * 7 + y * 3 + frame) % 5 < 2);
            const bool opaqueRow = holes && y % 4 == 2;
            px[static_cast<size_t>(y) * w + x] = hole && !opaqueRow ? transparent : TestPixel(frame, x, y);
        }
    return px;
}

// The run-length row layout, written here independently of the loader's encoder.
inline std::vector<uint16_t> EncodeLle(const std::vector<uint16_t>& px, int w, int h, uint16_t transparent) {
    std::vector<uint16_t> out;
    for (int y = 0; y < h; ++y) {
        const uint16_t* row = &px[static_cast<size_t>(y) * w];
        bool anyTransparent = false;
        for (int x = 0; x < w; ++x) anyTransparent |= row[x] == transparent;
        if (!anyTransparent) {
            out.push_back(1);
            out.insert(out.end(), row, row + w);
            continue;
        }
        std::vector<uint16_t> segs;
        int count = 0, x = 0, last = 0;
        while (x < w) {
            if (row[x] == transparent) {
                ++x;
                continue;
            }
            int end = x;
            while (end < w && row[end] != transparent) ++end;
            segs.push_back(static_cast<uint16_t>(x - last));
            segs.push_back(static_cast<uint16_t>(end - x));
            segs.insert(segs.end(), row + x, row + end);
            ++count;
            last = x = end;
        }
        out.push_back(static_cast<uint16_t>(count == 0 ? 0 : count + 1));
        out.insert(out.end(), segs.begin(), segs.end());
    }
    return out;
}

// Frames are copied into exactly sized heap blocks so a sanitizer sees any over-read.
inline std::unique_ptr<Animation> MakeAnimation(int w, int h, int frames, bool lle, uint16_t transparent = 0,
                                                bool holes = false) {
    auto a = std::make_unique<Animation>(w, h, frames, lle ? 1 : 0);
    for (int f = 0; f < frames; ++f) {
        std::vector<uint16_t> px = TestFrame(f, w, h, transparent, holes);
        if (lle) px = EncodeLle(px, w, h, transparent);
        a->frames[f] = new uint16_t[px.size()];
        std::memcpy(a->frames[f], px.data(), px.size() * sizeof(uint16_t));
    }
    return a;
}
