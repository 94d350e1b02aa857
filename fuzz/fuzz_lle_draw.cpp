// LLE compression then drawing, with the frame, the clip rectangle and the pen taken
// from the input. The encoding must decode back to the frame's opaque pixels, and each
// draw must write exactly the visible opaque pixels (raw: all visible pixels, dimmed
// where asked) and nothing else, guard margin included.

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "display/glyph_blitter.h"
#include "fuzz/guarded_surface.h"
#include "glyphs/animation.h"
#include "glyphs/graphics_loader.h"

namespace {

constexpr int32_t kSurface = 64;
constexpr int32_t kMaxCell = 40;  // below the guard margin, so near pens stay inside it

// Input bytes in order; zero once they run out.
struct Reader {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    int32_t Int32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Byte()) << (8 * i);
        return static_cast<int32_t>(v);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    const int32_t w = 1 + in.Byte() % kMaxCell;
    const int32_t h = 1 + in.Byte() % kMaxCell;
    const uint8_t flags = in.Byte();
    const ColorType layout = (flags & 1) ? kColor565 : kColor555;
    const int32_t shade = (flags >> 1) & 7;  // 1-3 dim, anything else copies
    const uint16_t left = static_cast<uint16_t>(in.Byte() % (kSurface + 1));
    const uint16_t top = static_cast<uint16_t>(in.Byte() % (kSurface + 1));
    const uint16_t right = static_cast<uint16_t>(left + in.Byte() % (kSurface + 1 - left));
    const uint16_t bottom = static_cast<uint16_t>(top + in.Byte() % (kSurface + 1 - top));
    Pen pen;
    if (flags & 0x10) {
        pen = Pen{in.Int32(), in.Int32()};  // anywhere, far off the surface included
    } else {
        pen.x = in.Byte() % (kSurface + w + 16) - (w + 8);
        pen.y = in.Byte() % (kSurface + h + 16) - (h + 8);
    }

    GraphicsLoader loader;
    loader.SetPixelFormat(layout);
    const uint16_t key = loader.colorKey;
    if (key != (layout == kColor565 ? kMagenta565 : kMagenta555)) FuzzFail("colour key is not magenta", key);
    // Low bytes give the key, so rows mix transparent and opaque runs of any length.
    std::vector<uint16_t> frame(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (size_t i = 0; i < frame.size(); ++i) {
        const uint8_t b = in.Byte();
        uint16_t p = b < 96 ? key : static_cast<uint16_t>(b * 0x9E37u ^ i * 0x79B9u);
        if (b >= 96 && p == key) p ^= 1;
        frame[i] = p;
    }

    int32_t words = 0;
    std::unique_ptr<uint16_t[]> lle(loader.CompressFrame(frame.data(), w, h, &words));
    if (lle == nullptr) FuzzFail("CompressFrame failed on a small frame", w, h);
    CheckLleEncoding(lle.get(), words, frame, w, h, key);

    clipRect = ClipRect{left, top, right, bottom};
    colorType = layout;
    static GuardedSurface surface(kSurface, kSurface);

    // Exact-size copies, so a read past the frame is an AddressSanitizer report.
    Animation packed(w, h, 1, 1);
    packed.frames[0] = new uint16_t[words > 0 ? words : 1];
    std::memcpy(packed.frames[0], lle.get(), static_cast<size_t>(words) * sizeof(uint16_t));
    surface.Fill(static_cast<uint16_t>(size));
    packed.Draw(surface.Info(), pen, 0);
    CheckDraw(surface, frame, w, h, pen, DrawMode::kLle, key, layout, shade);

    Animation raw(w, h, 1, 0);
    raw.frames[0] = new uint16_t[frame.size()];
    std::memcpy(raw.frames[0], frame.data(), frame.size() * sizeof(uint16_t));
    surface.Fill(static_cast<uint16_t>(size + 1));
    raw.Draw(surface.Info(), pen, 0);
    CheckDraw(surface, frame, w, h, pen, DrawMode::kRaw, key, layout, shade);
    surface.Fill(static_cast<uint16_t>(size + 2));
    raw.DrawDimmed(surface.Info(), pen, 0, shade);
    CheckDraw(surface, frame, w, h, pen, DrawMode::kDimmed, key, layout, shade);
    return 0;
}
