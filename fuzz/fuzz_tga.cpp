// TGA files and bare 24-bit pixel blocks of arbitrary bytes, with ".map" companions: what
// loads is drawn (blended through its map) at a pen from the input, the surface readers
// stay inside the surface, and a saved picture reads back.
#include <memory>

#include "display/glyph_blitter.h"
#include "fuzz/fuzz_input.h"
#include "glyphs/file.h"
#include "glyphs/graphics_loader.h"
#include "glyphs/image.h"
#include "support/fixed_string.h"
#include "tests/helpers/guarded_surface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile picture, map, saved;
    // The map is found by the picture's name: two names linked to the memfds (fuzz.sh empties TMPDIR).
    static const std::string dir =
        std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/tga" + std::to_string(getpid());
    static const bool named = mkdir(dir.c_str(), 0700) == 0 &&
                              symlink(picture.path.c_str(), (dir + "/in.tga").c_str()) == 0 &&
                              symlink(map.path.c_str(), (dir + "/in.map").c_str()) == 0;
    FUZZ_CHECK(named);
    FuzzReader in{data, size};
    const uint8_t flags = in.Byte();
    const Pen pen{in.Byte() % 64 - 16, in.Byte() % 64 - 16};
    // Bare blocks: small signed sizes, so the reads stay near what the input can hold.
    const int32_t rawWidth = static_cast<int8_t>(in.Byte()), rawHeight = static_cast<int8_t>(in.Byte());
    const size_t mapBytes = in.Bytes(2) % (in.Left() + 1);
    picture.Set(data + in.pos, in.Left() - mapBytes);
    map.Set(data + size - mapBytes, mapBytes);
    static GraphicsLoader loader;
    loader.SetPixelFormat(colorType = (flags >> 2) & 1);
    clipRect = ClipRect{0, 0, 32, 32};
    static GuardedSurface surface(32, 32);
    FixedString path((dir + "/in.tga").c_str());
    std::unique_ptr<Image> image(loader.LoadTga(path, flags & 1, flags & 2));
    File raw(picture.path.c_str(), File::kModeRead);
    if (image == nullptr) image.reset(loader.ReadRawImage(raw, rawWidth, rawHeight, flags & 1));
    if (image != nullptr && image->width <= 64 && image->height <= 64) {
        image->Draw(surface.Info(), pen.x, pen.y);
        if (image->compressed == 0) {  // written as 24 bits and read again, the picture comes back
            FUZZ_CHECK(loader.SaveTga(saved.path.c_str(), {image->pixels, image->width, image->height, image->width}));
            FixedString again(saved.path.c_str());
            std::unique_ptr<Image> back(loader.LoadTga(again, false, false));
            FUZZ_CHECK(back != nullptr);
            for (int32_t i = 0; i < image->width * image->height; ++i)
                FUZZ_CHECK(back->pixels[i] == (image->pixels[i] & (colorType == kColor555 ? 0x7FFF : 0xFFFF)));
        }
    }
    (void)loader.LoadTgaToSurface((dir + "/in.tga").c_str(), surface.Info());
    raw.SeekFromStart(0);
    (void)loader.ReadRawToSurface(raw, rawWidth, rawHeight, surface.Info());
    FUZZ_CHECK(surface.GuardsIntact());
    return 0;
}
