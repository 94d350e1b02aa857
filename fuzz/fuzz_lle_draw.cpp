// LLE compression then drawing, with the frame, the clip rectangle and the pen taken from
// the input. On a surface of the colour key, the LLE frame and the raw frame must leave
// the same pixels; nothing may land outside the surface.

#include <memory>
#include <vector>

#include "display/glyph_blitter.h"
#include "fuzz/fuzz_input.h"
#include "glyphs/animation.h"
#include "glyphs/graphics_loader.h"
#include "tests/helpers/guarded_surface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr int32_t kSide = 32;
    FuzzReader in{data, size};
    const int32_t w = 1 + in.Byte() % 24, h = 1 + in.Byte() % 24;
    const uint8_t flags = in.Byte();
    colorType = flags & 1;
    const uint16_t left = in.Byte() % (kSide + 1), top = in.Byte() % (kSide + 1);
    clipRect = ClipRect{left, top, static_cast<uint16_t>(left + in.Byte() % (kSide + 1 - left)),
                        static_cast<uint16_t>(top + in.Byte() % (kSide + 1 - top))};
    Pen pen{in.Byte() % (kSide + 2 * w) - w, in.Byte() % (kSide + 2 * h) - h};
    if (flags & 2) pen = Pen{in.Int32(), in.Int32()};  // far off the surface too

    static GraphicsLoader loader;
    loader.SetPixelFormat(colorType);
    const uint16_t key = loader.colorKey;
    // Small bytes give the key, so rows mix transparent and opaque runs of any length.
    std::vector<uint16_t> frame(static_cast<size_t>(w * h));
    for (size_t i = 0; i < frame.size(); ++i) {
        const uint8_t b = in.Byte();
        frame[i] = b < 96 ? key : static_cast<uint16_t>(b << 8 | i);
    }
    int32_t words = 0;
    Animation packed(w, h, 1, 1), raw(w, h, 1, 0);
    packed.frames[0] = loader.CompressFrame(frame.data(), w, h, &words);
    FUZZ_CHECK(packed.frames[0] != nullptr && words > 0);
    raw.frames[0] = new uint16_t[frame.size()];
    std::memcpy(raw.frames[0], frame.data(), frame.size() * sizeof(uint16_t));

    static GuardedSurface lle(kSide, kSide), plain(kSide, kSide);
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) lle.Ref(x, y) = plain.Ref(x, y) = key;
    packed.Draw(lle.Info(), pen, 0);
    raw.Draw(plain.Info(), pen, 0);
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) FUZZ_CHECK(lle.At(x, y) == plain.At(x, y));
    raw.DrawDimmed(plain.Info(), pen, 0, flags >> 2);
    FUZZ_CHECK(lle.GuardsIntact() && plain.GuardsIntact());
    return 0;
}
