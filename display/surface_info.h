#pragma once

#include <cstdint>

// A block of 16-bit pixels: the pixel at (x, y) is pixels[y * pitch + x].
struct SurfaceInfo {
    uint16_t* pixels = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;  // in pixels, not bytes
};

// The display's 16-bit layout: 0 = 5-5-5, 1 = 5-6-5.
using ColorType = int32_t;
constexpr ColorType kColor555 = 0;
constexpr ColorType kColor565 = 1;

// Transparent colour (magenta) in each layout.
constexpr uint16_t kMagenta555 = 0x7C1F;
constexpr uint16_t kMagenta565 = 0xF81F;

// Pen position: surface coordinates of a cell's top-left pixel.
struct Pen {
    int32_t x;
    int32_t y;
};
