// A frame, clip and pen of the input drawn LLE-compressed and raw: the same pixels, nothing outside the surface.
#include "fuzz/fuzz_input.h"
#include "glyphs/animation.h"

void Fuzz(FuzzReader& in) {
    constexpr int32_t kSide = 32;
    const int32_t w = 1 + in.Byte() % 24, h = 1 + in.Byte() % 24;
    const uint8_t flags = in.Byte();
    const uint16_t left = in.Byte() % (kSide + 1), top = in.Byte() % (kSide + 1);
    clipRect = ClipRect{left, top, static_cast<uint16_t>(left + in.Byte() % (kSide + 1 - left)),
                        static_cast<uint16_t>(top + in.Byte() % (kSide + 1 - top))};
    Pen pen{in.Byte() % (kSide + 2 * w) - w, in.Byte() % (kSide + 2 * h) - h};
    if (flags & 2) pen = Pen{in.Int32(), in.Int32()};  // far off the surface too
    GraphicsLoader& loader = Loader(flags);
    // Small bytes give the key, so rows mix transparent and opaque runs of any length.
    Animation packed(w, h, 1, 1), raw(w, h, 1, 0);
    uint16_t* frame = raw.frames[0] = new uint16_t[w * h];  // exact size: a read past it is reported
    for (int32_t i = 0; i < w * h; ++i) {
        const uint8_t b = in.Byte();
        frame[i] = b < 96 ? loader.colorKey : static_cast<uint16_t>(b << 8 | i);
    }
    FUZZ_CHECK((packed.frames[0] = loader.CompressFrame(frame, w, h)) != nullptr);
    GuardedSurface lle(kSide, kSide, 5, loader.colorKey), plain(kSide, kSide, 5, loader.colorKey);
    packed.Draw(lle.Info(), pen, 0);
    raw.Draw(plain.Info(), pen, 0);
    for (int32_t y = 0; y < kSide; ++y) FUZZ_CHECK(std::memcmp(&lle.Ref(0, y), &plain.Ref(0, y), 2 * kSide) == 0);
    raw.DrawDimmed(plain.Info(), pen, 0, flags >> 2);
    FUZZ_CHECK(lle.GuardsIntact() && plain.GuardsIntact());
}
