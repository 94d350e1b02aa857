#pragma once

#include <cstdint>
#include <memory>

#include "display/surface_info.h"

// Turns 16-bit frames into a 32-bit TrueColor visual's pixels. Each 16-bit value maps
// through a table built once for the visual's masks, so any channel order works and the
// pass is one load per pixel.
class PixelConverter {
public:
    // False when a mask is empty or the masks overlap.
    bool Build(ColorType layout, uint32_t redMask, uint32_t greenMask, uint32_t blueMask);

    uint32_t Convert(uint16_t pixel) const { return table_[pixel]; }
    // Converts a width x height block; pitches are in pixels.
    void ConvertFrame(const SurfaceInfo& src, uint32_t* dst, int32_t dstPitch) const;

private:
    std::unique_ptr<uint32_t[]> table_;
};
