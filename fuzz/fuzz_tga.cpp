// TGA files and bare 24-bit pixel blocks of arbitrary bytes, with ".map" companions:
// what loads is drawn (blended through its map) at a pen from the input, what the
// surface readers take must stay inside the surface, and a saved picture reads back.

#include <cstdio>
#include <memory>

#include "display/glyph_blitter.h"
#include "fuzz/fuzz_input.h"
#include "glyphs/file.h"
#include "glyphs/graphics_loader.h"
#include "glyphs/image.h"
#include "support/fixed_string.h"
#include "tests/helpers/guarded_surface.h"

namespace {

MemoryFile picture, map, saved;
std::string tgaPath, mapPath;  // names in a folder of their own, linked to the memfds

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp ? tmp : "/tmp") + "/vorlex_tga_XXXXXX";
    if (mkdtemp(&dir[0]) == nullptr) std::abort();
    tgaPath = dir + "/in.tga";
    mapPath = dir + "/in.map";
    if (symlink(picture.path.c_str(), tgaPath.c_str()) != 0 || symlink(map.path.c_str(), mapPath.c_str()) != 0)
        std::abort();
    std::atexit([] {
        std::remove(tgaPath.c_str()), std::remove(mapPath.c_str());
        rmdir(tgaPath.substr(0, tgaPath.rfind('/')).c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader in{data, size};
    const uint8_t flags = in.Byte();
    const Pen pen{in.Byte() % 64 - 16, in.Byte() % 64 - 16};
    // Bare blocks: small signed sizes, so the reads stay near what the input can hold.
    const int32_t rawWidth = static_cast<int8_t>(in.Byte()), rawHeight = static_cast<int8_t>(in.Byte());
    const size_t mapBytes = in.Bytes(2) % (in.Left() + 1);
    picture.Set(data + in.pos, in.Left() - mapBytes);
    map.Set(data + size - mapBytes, mapBytes);
    const bool compress = flags & 1, withMap = flags & 2;
    static GraphicsLoader loader;
    loader.SetPixelFormat(colorType = (flags >> 2) & 1);
    clipRect = ClipRect{0, 0, 32, 32};
    static GuardedSurface surface(32, 32);

    FixedString path(tgaPath.c_str());
    std::unique_ptr<Image> image(loader.LoadTga(path, compress, withMap));
    File raw(picture.path.c_str(), File::kModeRead);
    if (image == nullptr) image.reset(loader.ReadRawImage(raw, rawWidth, rawHeight, compress));
    if (image != nullptr && image->width <= 64 && image->height <= 64) {
        image->Draw(surface.Info(), pen.x, pen.y);
        if (image->compressed == 0) {  // written as 24 bits and read again, the picture comes back
            const SurfaceInfo info{image->pixels, image->width, image->height, image->width};
            FUZZ_CHECK(loader.SaveTga(FixedString(saved.path.c_str()), info));
            FixedString again(saved.path.c_str());
            std::unique_ptr<Image> back(loader.LoadTga(again, false, false));
            const uint16_t keep = colorType == kColor555 ? 0x7FFF : 0xFFFF;
            FUZZ_CHECK(back != nullptr);
            for (int32_t i = 0; i < image->width * image->height; ++i)
                FUZZ_CHECK(back->pixels[i] == (image->pixels[i] & keep));
        }
    }
    (void)loader.LoadTgaToSurface(FixedString(tgaPath.c_str()), surface.Info());
    raw.SeekFromStart(0);
    (void)loader.ReadRawToSurface(raw, rawWidth, rawHeight, surface.Info());
    FUZZ_CHECK(surface.GuardsIntact());
    return 0;
}
