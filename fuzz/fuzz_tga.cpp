// TGA files and bare pixel blocks of arbitrary bytes, with ".map" companions: what loads is drawn at a pen
// of the input, and nothing lands outside the surface.
#include "fuzz/fuzz_input.h"
#include "glyphs/file.h"
#include "glyphs/image.h"

void Fuzz(FuzzReader& in) {
    static MemoryFile picture("/in.tga"), map("/in.map");
    const uint8_t flags = in.Byte();
    const Pen pen{in.Byte() % 64 - 16, in.Byte() % 64 - 16};
    // Bare blocks: small signed sizes, so the reads stay near what the input can hold.
    const int32_t rawWidth = static_cast<int8_t>(in.Byte()), rawHeight = static_cast<int8_t>(in.Byte());
    const size_t mapBytes = in.Bytes(2) % (in.Left() + 1);
    picture.Set(in.data + in.pos, in.Left() - mapBytes);
    map.Set(in.data + in.size - mapBytes, mapBytes);
    GraphicsLoader& loader = Loader(flags >> 2);
    clipRect = ClipRect{0, 0, 32, 32};
    static GuardedSurface surface(32, 32);
    FixedString path(picture.path.c_str());
    std::unique_ptr<Image> image(loader.LoadTga(path, flags & 1, flags & 2));
    File raw(picture.path.c_str(), File::kModeRead);
    if (image == nullptr) image.reset(loader.ReadRawImage(raw, rawWidth, rawHeight, flags & 1));
    if (image != nullptr && image->width <= 64 && image->height <= 64) image->Draw(surface.Info(), pen.x, pen.y);
    (void)loader.LoadTgaToSurface(picture.path.c_str(), surface.Info());
    raw.SeekFromStart(0);
    (void)loader.ReadRawToSurface(raw, rawWidth, rawHeight, surface.Info());
    FUZZ_CHECK(surface.GuardsIntact());
}
