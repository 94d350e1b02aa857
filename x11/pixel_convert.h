#pragma once

#include <cstdint>

#include "display/glyph_blitter.h"
#include "display/surface_info.h"

// Turns 16-bit frames into a 32-bit TrueColor visual's pixels through tables built once
// for the visual's masks, so any channel order works. Widening a channel only copies
// bits, so a pixel's wide value is the OR of its two bytes' wide values: two 256-entry
// tables (2 KB, in the first-level cache) stand in for one of 65536. The usual case,
// 5-6-5 into 0x00RRGGBB, is computed instead, several pixels at a time.
class PixelConverter {
public:
    // False when a mask is empty or the masks overlap.
    bool Build(ColorType layout, uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

    uint32_t Convert(uint16_t pixel) const { return low_[pixel & 0xFF] | high_[pixel >> 8]; }
    // Converts a width x height block; pitches are in pixels.
    void ConvertFrame(const SurfaceInfo& src, uint32_t* dst, int32_t dstPitch) const;
    // Converts a w x h glyph frame shaded by op, as ConvertFrame would after the shade.
    void ConvertShaded(const uint16_t* frame, int32_t w, int32_t h, ShadeOp op, uint32_t* dst, int32_t dstPitch) const;

private:
    uint32_t low_[256] = {};   // pixels 0x0000 ... 0x00FF
    uint32_t high_[256] = {};  // pixels 0x0000, 0x0100 ... 0xFF00
    bool direct_ = false;      // 5-6-5 into 0x00RRGGBB: arithmetic instead of the tables
};
