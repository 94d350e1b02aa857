#pragma once

#include <cstdint>

struct SurfaceInfo;

// One picture in the display's 16-bit layout, raw (W x H pixels, top row first) or in
// the LLE layout of Animation frames, with an optional transparency map of W x H bytes
// (top row first): 0 transparent, 1, 2, 3 a quarter, half or three quarters of the
// picture over the background, anything else opaque. Pixels and map are new[] blocks
// owned by the record.
class Image {
public:
    Image() = default;
    Image(int32_t width, int32_t height, int32_t compressed, uint16_t* pixels);
    ~Image();

    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Defined with the blitter, in display/image_draw.cpp.
    // Draws the picture with its top-left pixel at (x, y), confined to clipRect. A raw
    // picture with a map is blended into the background, also where it is clipped; an
    // LLE picture is drawn through its colour key and never consults the map.
    void Draw(const SurfaceInfo& surface, int32_t x, int32_t y) const;

    int32_t width = 0;
    int32_t height = 0;
    int32_t compressed = 0;
    bool hasMap = false;
    uint8_t* map = nullptr;
    uint16_t* pixels = nullptr;
};
