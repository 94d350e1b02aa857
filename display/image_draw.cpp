#include "display/image_draw.h"

#include <cstddef>

#include "display/glyph_blitter.h"
#include "glyphs/animation.h"
#include "glyphs/image.h"

namespace {

// kLow1 clears the lowest bit of every channel, kLow2 the lowest two.
template <uint16_t kLow1, uint16_t kLow2>
inline void Blend(uint16_t* d, uint16_t s, uint8_t m) {
    switch (m) {
        case 0:
            return;
        case 1:
            *d = static_cast<uint16_t>(((*d & kLow2) >> 2) + ((s & kLow2) >> 2) + ((*d & kLow1) >> 1));
            return;
        case 2:
            *d = static_cast<uint16_t>(((*d & kLow1) >> 1) + ((s & kLow1) >> 1));
            return;
        case 3:
            *d = static_cast<uint16_t>(((*d & kLow2) >> 2) + ((s & kLow2) >> 2) + ((s & kLow1) >> 1));
            return;
        default:
            *d = s;
    }
}

constexpr uint16_t kLow1of555 = 0x7BDE, kLow2of555 = 0x739C;
constexpr uint16_t kLow1of565 = 0xF7DE, kLow2of565 = 0xE79C;

// Blends image columns [part.col0, part.col1) of rows [part.row0, part.row1), one loop per
// layout so the masks are constants.
template <uint16_t kLow1, uint16_t kLow2>
void BlendPart(const SurfaceInfo& surface, const Pen& pen, const Image& image, const CellClip& part) {
    const int32_t w = image.width;
    const std::ptrdiff_t first = static_cast<std::ptrdiff_t>(part.row0) * w + part.col0;
    const uint16_t* src = image.pixels + first;
    const uint8_t* map = image.map + first;
    uint16_t* dst =
        surface.pixels + static_cast<std::ptrdiff_t>(pen.y + part.row0) * surface.pitch + (pen.x + part.col0);
    const int32_t n = part.col1 - part.col0;
    for (int32_t r = part.row0; r < part.row1; ++r, src += w, map += w, dst += surface.pitch)
        for (int32_t i = 0; i < n; ++i) Blend<kLow1, kLow2>(dst + i, src[i], map[i]);
}

}  // namespace

void BlendPixel(uint16_t* destination, uint16_t pixel, uint8_t mapByte) {
    if (colorType == kColor555)
        Blend<kLow1of555, kLow2of555>(destination, pixel, mapByte);
    else
        Blend<kLow1of565, kLow2of565>(destination, pixel, mapByte);
}

void Image::Draw(const SurfaceInfo& surface, int32_t x, int32_t y) const {
    if (pixels == nullptr || width <= 0 || height <= 0) return;
    const Pen pen{x, y};
    if (compressed != 0) {
        // LLE pixels have the frame layout of an Animation: the blitter draws them as a
        // one-frame Animation that borrows them, emptied again before it is destroyed.
        Animation borrowed(width, height, 1, 1);
        borrowed.frames[0] = pixels;
        borrowed.Draw(surface, pen, 0);
        borrowed.frames[0] = nullptr;
        return;
    }
    const bool fullyVisible = FullyVisible(pen, width, height);
    if (!hasMap || map == nullptr) {
        if (!fullyVisible) return DrawRawClipped(surface, pen, pixels, width, height, CopyRow);
        uint16_t* dst = surface.pixels + static_cast<std::ptrdiff_t>(y) * surface.pitch + x;
        for (int32_t r = 0; r < height; ++r, dst += surface.pitch)
            CopyRow(dst, pixels + static_cast<std::ptrdiff_t>(r) * width, width);
        return;
    }
    // Clipped pictures are blended too: a sprite half off the screen keeps its see-through
    // parts.
    const CellClip part = fullyVisible ? CellClip{0, width, 0, height} : ClipCell(pen, width, height);
    if (part.Empty()) return;
    if (colorType == kColor555)
        BlendPart<kLow1of555, kLow2of555>(surface, pen, *this, part);
    else
        BlendPart<kLow1of565, kLow2of565>(surface, pen, *this, part);
}
