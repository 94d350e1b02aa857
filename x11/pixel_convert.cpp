#include "x11/pixel_convert.h"

namespace {

struct Channel {
    int shift = 0;
    int bits = 0;
};

Channel ChannelOf(uint32_t mask) {
    Channel c;
    if (mask == 0) return c;
    while ((mask & 1u) == 0) {
        mask >>= 1;
        ++c.shift;
    }
    while ((mask & 1u) != 0) {
        mask >>= 1;
        ++c.bits;
    }
    return c;
}

// A component of `from` bits widened (by repeating its top bits) or narrowed to `to` bits,
// so that full intensity stays full and black stays black.
uint32_t Rescale(uint32_t value, int from, int to) {
    if (to <= from) return value >> (from - to);
    uint32_t out = 0;
    int filled = 0;
    while (filled < to) {
        out = (out << from) | value;
        filled += from;
    }
    return out >> (filled - to);
}

}  // namespace

bool PixelConverter::Build(ColorType layout, uint32_t redMask, uint32_t greenMask, uint32_t blueMask) {
    if (redMask == 0 || greenMask == 0 || blueMask == 0) return false;
    if ((redMask & greenMask) != 0 || (redMask & blueMask) != 0 || (greenMask & blueMask) != 0) return false;
    const Channel r = ChannelOf(redMask), g = ChannelOf(greenMask), b = ChannelOf(blueMask);
    const int greenBits = layout == kColor565 ? 6 : 5;
    const int redShift = layout == kColor565 ? 11 : 10;
    table_.reset(new uint32_t[65536]);
    for (uint32_t p = 0; p < 65536; ++p) {
        const uint32_t red = (p >> redShift) & 0x1F;
        const uint32_t green = (p >> 5) & ((1u << greenBits) - 1);
        const uint32_t blue = p & 0x1F;
        table_[p] = (Rescale(red, 5, r.bits) << r.shift) | (Rescale(green, greenBits, g.bits) << g.shift) |
                    (Rescale(blue, 5, b.bits) << b.shift);
    }
    return true;
}

void PixelConverter::ConvertFrame(const SurfaceInfo& src, uint32_t* dst, int32_t dstPitch) const {
    const uint32_t* table = table_.get();
    for (int32_t y = 0; y < src.height; ++y) {
        const uint16_t* in = src.pixels + static_cast<ptrdiff_t>(y) * src.pitch;
        uint32_t* out = dst + static_cast<ptrdiff_t>(y) * dstPitch;
        for (int32_t x = 0; x < src.width; ++x) out[x] = table[in[x]];
    }
}
