#include "x11/pixel_convert.h"

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    for (uint32_t p = 0; p < 65536; p += p < 256 ? 1 : 256) {
        const uint32_t red = (p >> redShift) & 0x1F;
        const uint32_t green = (p >> 5) & ((1u << greenBits) - 1);
        const uint32_t blue = p & 0x1F;
        const uint32_t wide = (Rescale(red, 5, r.bits) << r.shift) | (Rescale(green, greenBits, g.bits) << g.shift) |
                              (Rescale(blue, 5, b.bits) << b.shift);
        if (p < 256)
            low_[p] = wide;
        else
            high_[p >> 8] = wide;
    }
    high_[0] = 0;
    direct_ = layout == kColor565 && redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF;
    return true;
}

namespace {

// 5-6-5 to 0x00RRGGBB by arithmetic, eight pixels at a time where SSE2 is there: the
// tables need two loads a pixel, which cost three times a memcpy of the wide frame.
// kShaded: each pixel first goes through op, as a glyph's shade does.
template <bool kShaded = false>
void Widen565Row(const uint16_t* __restrict in, uint32_t* __restrict out, int32_t width, ShadeOp op = {0xFFFF, 0}) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i low5 = _mm_set1_epi16(0x1F), low6 = _mm_set1_epi16(0x3F);
    const __m128i mask = _mm_set1_epi16(static_cast<int16_t>(op.mask)), shift = _mm_cvtsi32_si128(op.shift);
    for (; x + 8 <= width; x += 8) {
        __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        if (kShaded) p = _mm_srl_epi16(_mm_and_si128(p, mask), shift);
        const __m128i r = _mm_srli_epi16(p, 11);
        const __m128i g = _mm_and_si128(_mm_srli_epi16(p, 5), low6);
        const __m128i b = _mm_and_si128(p, low5);
        const __m128i r8 = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
        const __m128i g8 = _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4));
        const __m128i b8 = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
        const __m128i gb = _mm_or_si128(_mm_slli_epi16(g8, 8), b8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_unpacklo_epi16(gb, r8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 4), _mm_unpackhi_epi16(gb, r8));
    }
#endif
    for (; x < width; ++x) {
        const uint32_t p = kShaded ? static_cast<uint32_t>((in[x] & op.mask) >> op.shift) : in[x];
        const uint32_t r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
        out[x] = (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
    }
}

}  // namespace

void PixelConverter::ConvertFrame(const SurfaceInfo& src, uint32_t* dst, int32_t dstPitch) const {
    // Locals, so the stores cannot be taken to change them.
    const uint32_t* __restrict low = low_;
    const uint32_t* __restrict high = high_;
    const int32_t width = src.width, height = src.height, pitch = src.pitch;
    for (int32_t y = 0; y < height; ++y) {
        const uint16_t* __restrict in = src.pixels + static_cast<ptrdiff_t>(y) * pitch;
        uint32_t* __restrict out = dst + static_cast<ptrdiff_t>(y) * dstPitch;
        if (direct_) {
            Widen565Row(in, out, width);
            continue;
        }
        for (int32_t x = 0; x < width; ++x) out[x] = low[in[x] & 0xFF] | high[in[x] >> 8];
    }
}

void PixelConverter::ConvertShaded(const uint16_t* frame, int32_t w, int32_t h, ShadeOp op, uint32_t* dst,
                                   int32_t dstPitch) const {
    for (int32_t y = 0; y < h; ++y, frame += w, dst += dstPitch) {
        if (direct_) {
            Widen565Row<true>(frame, dst, w, op);
            continue;
        }
        for (int32_t x = 0; x < w; ++x) dst[x] = Convert(static_cast<uint16_t>((frame[x] & op.mask) >> op.shift));
    }
}
