#pragma once

#include <cstdint>
#include <string>

#include "display/surface_info.h"

struct Rgb8 {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

// 8-bit channels of a 16-bit pixel. Each channel's top bits are repeated into its low
// bits, so 0 stays 0 and full intensity becomes 255 (not 248). Bit 15 of a 5-5-5 pixel
// is ignored.
Rgb8 ExpandPixel(uint16_t pixel, ColorType layout);

// Writes the surface as an 8-bit RGB PNG. No time stamp is stored, so the same pixels
// give the same file. On failure error says why and no file is left behind.
bool WritePng(const std::string& path, const SurfaceInfo& surface, ColorType layout, std::string& error);
