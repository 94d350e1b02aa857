// TGA files of arbitrary bytes: LoadTga must refuse exactly what a plain reading of the
// format cannot decode, and otherwise yield an Image that holds that reading (raw or LLE,
// with its ".map" companion), that draws inside the clip rectangle only, and that SaveTga
// writes back unchanged.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "display/glyph_blitter.h"
#include "display/surface_info.h"
#include "fuzz/guarded_surface.h"
#include "glyphs/graphics_loader.h"
#include "glyphs/image.h"
#include "support/fixed_string.h"

namespace {

// The input is written to <dir>/in.tga, and the bytes after its header to <dir>/in.map.
std::string tgaPath, mapPath, savedPath;

void Check(bool condition, const char* what, int64_t x = 0, int64_t y = 0) {
    if (!condition) FuzzFail(what, x, y);
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
}

void RemoveFiles() {
    for (const std::string* p : {&tgaPath, &mapPath, &savedPath}) std::remove(p->c_str());
}

// The format read byte by byte, independently of the loader.
struct Reference {
    bool ok = false;
    int32_t width = 0, height = 0;
    std::vector<uint16_t> pixels;  // top-down, in the layout
};

Reference Decode(const uint8_t* data, size_t size, ColorType layout) {
    Reference r;
    if (size < 18) return r;
    const int32_t w = data[12] | data[13] << 8, h = data[14] | data[15] << 8, depth = data[16];
    const int64_t area = static_cast<int64_t>(w) * h;
    if ((depth != 16 && depth != 24) || area > GraphicsLoader::kScratchPadCapacity) return r;
    const size_t bytes = static_cast<size_t>(area) * static_cast<size_t>(depth / 8);
    if (size - 18 < bytes) return r;
    r.ok = true;
    r.width = w;
    r.height = h;
    r.pixels.resize(static_cast<size_t>(area) + 1);  // never empty: a 0 x H picture still has a pointer
    const uint8_t* p = data + 18;
    for (int32_t fileRow = 0; fileRow < h; ++fileRow) {
        for (int32_t x = 0; x < w; ++x) {
            uint16_t v;
            if (depth == 24) {
                const int b = p[0], g = p[1], red = p[2];
                p += 3;
                v = layout == kColor555 ? static_cast<uint16_t>((red >> 3) << 10 | (g >> 3) << 5 | (b >> 3))
                                        : static_cast<uint16_t>((red >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
            } else {
                v = static_cast<uint16_t>(p[0] | p[1] << 8);
                p += 2;
                if (layout == kColor565)
                    v = static_cast<uint16_t>(((v >> 10) & 31) << 11 | ((v >> 5) & 31) << 6 | (v & 31));
            }
            r.pixels[static_cast<size_t>(h - 1 - fileRow) * static_cast<size_t>(w) + static_cast<size_t>(x)] = v;
        }
    }
    return r;
}

uint16_t BlendReference(uint16_t d, uint16_t s, uint8_t m, ColorType layout) {
    if (m == 0) return d;
    if (m >= 4) return s;
    const int shifts[3] = {layout == kColor555 ? 10 : 11, 5, 0};
    const int bits[3] = {5, layout == kColor555 ? 5 : 6, 5};
    uint16_t out = 0;
    for (int c = 0; c < 3; ++c) {
        const int cd = (d >> shifts[c]) & ((1 << bits[c]) - 1), cs = (s >> shifts[c]) & ((1 << bits[c]) - 1);
        const int mixed = m == 1   ? (cd >> 2) + (cs >> 2) + (cd >> 1)
                          : m == 2 ? (cd >> 1) + (cs >> 1)
                                   : (cd >> 2) + (cs >> 2) + (cs >> 1);
        out = static_cast<uint16_t>(out | mixed << shifts[c]);
    }
    return out;
}

// Draws the image at pens around each edge of a clip rectangle and compares every pixel
// with what the reference picture says the draw must leave.
void CheckDraws(const Image& image, const Reference& ref, ColorType layout, uint16_t key) {
    static GuardedSurface surface(64, 64);
    clipRect = ClipRect{6, 6, 58, 58};
    colorType = layout;
    const int32_t w = image.width, h = image.height;
    const Pen pens[] = {{10, 10}, {6 - w / 2, 12}, {58 - w / 2, 12}, {12, 6 - h / 2}, {12, 58 - h / 2}, {-w, 0}};
    for (const Pen& pen : pens) {
        surface.Fill(static_cast<uint16_t>(pen.x * 31 + pen.y));
        image.Draw(surface.Info(), pen.x, pen.y);
        if (image.compressed != 0) {
            CheckDraw(surface, ref.pixels, w, h, pen, DrawMode::kLle, key, layout, 0);
            continue;
        }
        if (!image.hasMap) {
            CheckDraw(surface, ref.pixels, w, h, pen, DrawMode::kRaw, key, layout, 0);
            continue;
        }
        std::vector<uint16_t> want = surface.Painted();
        for (int32_t cy = 0; cy < h; ++cy)
            for (int32_t cx = 0; cx < w; ++cx) {
                const int32_t x = pen.x + cx, y = pen.y + cy;
                if (!InClipRect(x, y)) continue;
                const size_t i = static_cast<size_t>(cy) * static_cast<size_t>(w) + static_cast<size_t>(cx);
                surface.Patch(want, x, y, BlendReference(surface.Before(x, y), ref.pixels[i], image.map[i], layout));
            }
        int32_t x = 0, y = 0;
        Check(surface.Matches(want, x, y), "blended draw left a wrong pixel", x, y);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string dir = std::string(base) + "/vorlex_tga_fuzz_XXXXXX";
    if (mkdtemp(&dir[0]) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    tgaPath = dir + "/in.tga";
    mapPath = dir + "/in.map";
    savedPath = dir + "/saved.tga";
    std::atexit([] {
        RemoveFiles();
        rmdir(tgaPath.substr(0, tgaPath.rfind('/')).c_str());
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RemoveFiles();
    WriteFile(tgaPath, data, size);
    const uint8_t options = size > 0 ? data[size - 1] : 0;
    const bool withMap = (options & 1) != 0;
    const size_t mapBytes = size > 18 ? size - 18 : 0;
    if (withMap) WriteFile(mapPath, data + 18, mapBytes);

    GraphicsLoader loader;
    for (ColorType layout : {kColor555, kColor565}) {
        loader.SetPixelFormat(layout);
        const Reference ref = Decode(data, size, layout);
        const int64_t area = static_cast<int64_t>(ref.width) * ref.height;
        const bool expectImage = ref.ok && (!withMap || static_cast<int64_t>(mapBytes) >= area);
        for (bool compress : {false, true}) {
            FixedString path(tgaPath.c_str());
            std::unique_ptr<Image> image(loader.LoadTga(path, compress, withMap));
            Check((image != nullptr) == expectImage, "LoadTga accepted or refused against the format", ref.ok, withMap);
            Check(std::string(path.Text()) == (withMap && ref.ok ? mapPath : tgaPath), "path rewritten wrongly");
            if (image == nullptr) continue;
            Check(image->width == ref.width && image->height == ref.height, "wrong picture size");
            Check(image->compressed == (compress ? 1 : 0), "wrong compressed flag");
            Check(image->hasMap == withMap && (image->map != nullptr) == withMap, "wrong map");
            if (withMap)
                for (int64_t i = 0; i < area; ++i) Check(image->map[i] == data[18 + i], "map byte differs", i);
            if (compress) {
                int32_t words = 0;
                std::unique_ptr<uint16_t[]> lle(loader.CompressFrame(ref.pixels.data(), ref.width, ref.height, &words));
                Check(lle != nullptr, "CompressFrame failed");
                CheckLleEncoding(image->pixels, words, ref.pixels, ref.width, ref.height, loader.colorKey);
            } else {
                for (int64_t i = 0; i < area; ++i) Check(image->pixels[i] == ref.pixels[i], "pixel differs", i);
            }
            if (area > 48 * 48) continue;  // keeps runs fast
            CheckDraws(*image, ref, layout, loader.colorKey);
            if (compress) continue;

            // Written back and read again, every pixel returns (5-5-5 drops bit 15).
            const SurfaceInfo picture{image->pixels, ref.width, ref.height, ref.width};
            Check(loader.SaveTga(FixedString(savedPath.c_str()), picture), "SaveTga failed");
            FixedString saved(savedPath.c_str());
            std::unique_ptr<Image> again(loader.LoadTga(saved, false, false));
            Check(again != nullptr, "saved TGA did not load");
            const uint16_t keep = layout == kColor555 ? 0x7FFF : 0xFFFF;
            for (int64_t i = 0; i < area; ++i)
                Check(again->pixels[i] == (image->pixels[i] & keep), "pixel changed by SaveTga and LoadTga", i);

            // Straight into a surface: accepted exactly when the picture fits.
            static GuardedSurface target(40, 40);
            clipRect = ClipRect{0, 0, 40, 40};
            target.Fill(static_cast<uint16_t>(area));
            const bool fits = area == 0 || (ref.width <= 40 && ref.height <= 40);
            Check(loader.LoadTgaToSurface(FixedString(tgaPath.c_str()), target.Info()) == fits,
                  "LoadTgaToSurface accepted or refused against the surface size");
            for (int32_t y = -GuardedSurface::kGuard; y < 40 + GuardedSurface::kGuard; ++y)
                for (int32_t x = -GuardedSurface::kGuard; x < 40 + GuardedSurface::kGuard; ++x) {
                    const bool inPicture = fits && x >= 0 && y >= 0 && x < ref.width && y < ref.height;
                    const uint16_t want =
                        inPicture ? ref.pixels[static_cast<size_t>(y * ref.width + x)] : target.Before(x, y);
                    Check(target.At(x, y) == want, "LoadTgaToSurface left a wrong pixel", x, y);
                }
        }
    }
    return 0;
}
