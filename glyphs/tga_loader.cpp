// GraphicsLoader's single pictures: TGA files, bare 24-bit pixel blocks and ".map"
// companion files.

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "display/surface_info.h"
#include "glyphs/file.h"
#include "glyphs/graphics_loader.h"
#include "glyphs/image.h"
#include "support/fixed_string.h"

namespace {

constexpr int32_t kTgaHeaderSize = 18;
constexpr int32_t kTgaMaxSide = 0xFFFF;

bool FitsScratchPad(const GraphicsLoader& loader, int64_t width, int64_t height) {
    return loader.ScratchPad != nullptr && width >= 0 && height >= 0 &&
           width * height <= GraphicsLoader::kScratchPadCapacity;
}

// The file layer does not report an early end; a picture cut short is refused here.
bool ReadExactly(File& file, void* buffer, int32_t count) {
    int32_t received = 0;
    return file.Read(buffer, count, &received) == File::kDone && received == count;
}

// W x H 24-bit pixels, bottom row first, into the ScratchPad top-down, converted.
bool Read24(GraphicsLoader& loader, File& file, int32_t width, int32_t height) {
    const int32_t area = width * height;
    std::unique_ptr<Rgb[]> block(new (std::nothrow) Rgb[area + 1]);
    if (block == nullptr || !ReadExactly(file, block.get(), area * 3)) return false;
    for (int32_t y = 0; y < height; ++y)
        loader.ConvertRow(block.get() + (height - 1 - y) * width, loader.ScratchPad + y * width, width);
    return true;
}

// W x H 5-5-5 pixels, bottom row first, into the ScratchPad top-down (little-endian
// words, as on every target).
bool Read16(GraphicsLoader& loader, File& file, int32_t width, int32_t height) {
    uint16_t* pad = loader.ScratchPad;
    if (!ReadExactly(file, pad, width * height * 2)) return false;
    for (int32_t y = 0; y < height / 2; ++y)
        std::swap_ranges(pad + y * width, pad + (y + 1) * width, pad + (height - 1 - y) * width);
    if (loader.pixelFormat == 1) GraphicsLoader::Widen555To565(pad, width * height);
    return true;
}

// Reads a TGA header and its pixels into the ScratchPad.
bool DecodeTga(GraphicsLoader& loader, File& file, int32_t& width, int32_t& height) {
    uint8_t header[kTgaHeaderSize];
    if (file.OpenError() != File::kDone || !ReadExactly(file, header, kTgaHeaderSize)) return false;
    width = header[12] | header[13] << 8;
    height = header[14] | header[15] << 8;
    const uint8_t depth = header[16];
    if (!FitsScratchPad(loader, width, height)) return false;
    if (depth == 24) return Read24(loader, file, width, height);
    if (depth == 16) return Read16(loader, file, width, height);
    return false;
}

// A new Image holding the ScratchPad's top-left W x H picture, raw or LLE encoded.
Image* BuildImage(GraphicsLoader& loader, int32_t width, int32_t height, bool compress) {
    const int32_t area = width * height;
    uint16_t* pixels = nullptr;
    if (compress) {
        pixels = loader.CompressFrame(loader.ScratchPad, width, height);
    } else {
        pixels = new (std::nothrow) uint16_t[area > 0 ? area : 1];
        if (pixels != nullptr) std::memcpy(pixels, loader.ScratchPad, static_cast<size_t>(area) * sizeof(uint16_t));
    }
    if (pixels == nullptr) return nullptr;
    Image* image = new (std::nothrow) Image(width, height, compress ? 1 : 0, pixels);
    if (image == nullptr) delete[] pixels;
    return image;
}

// Copies the ScratchPad's W x H picture to the surface's top-left corner. A surface
// smaller than the picture is refused: the rows would run past its memory.
bool CopyToSurface(const GraphicsLoader& loader, int32_t width, int32_t height, const SurfaceInfo& surface) {
    if (width == 0 || height == 0) return true;
    if (surface.pixels == nullptr || width > surface.width || height > surface.height) return false;
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(surface.pixels + static_cast<std::ptrdiff_t>(y) * surface.pitch, loader.ScratchPad + y * width,
                    static_cast<size_t>(width) * sizeof(uint16_t));
    return true;
}

uint8_t WidenComponent(uint32_t value, int bits) {
    const int shift = 8 - bits;
    return static_cast<uint8_t>(value == 0 ? 0 : (value << shift) | ((1u << shift) - 1));
}

}  // namespace

Image* GraphicsLoader::LoadTga(FixedString& path, bool compress, bool withMap) {
    File file(path, File::kModeRead);
    int32_t width = 0, height = 0;
    if (!DecodeTga(*this, file, width, height)) return nullptr;
    std::unique_ptr<Image> image(BuildImage(*this, width, height, compress));
    if (image == nullptr) return nullptr;
    image->hasMap = withMap;
    if (withMap) {
        const int32_t area = width * height;
        image->map = new (std::nothrow) uint8_t[area > 0 ? area : 1];
        if (image->map == nullptr || !MapCompanionPath(path)) return nullptr;
        File mapFile(path, File::kModeRead);
        if (!ReadExactly(mapFile, image->map, area)) return nullptr;
    }
    return image.release();
}

bool GraphicsLoader::LoadTgaToSurface(const FixedString& path, const SurfaceInfo& surface) {
    File file(path, File::kModeRead);
    int32_t width = 0, height = 0;
    return DecodeTga(*this, file, width, height) && CopyToSurface(*this, width, height, surface);
}

Image* GraphicsLoader::ReadRawImage(File& file, int32_t width, int32_t height, bool compress) {
    if (!FitsScratchPad(*this, width, height) || !Read24(*this, file, width, height)) return nullptr;
    return BuildImage(*this, width, height, compress);
}

bool GraphicsLoader::ReadRawToSurface(File& file, int32_t width, int32_t height, const SurfaceInfo& surface) {
    return FitsScratchPad(*this, width, height) && Read24(*this, file, width, height) &&
           CopyToSurface(*this, width, height, surface);
}

bool GraphicsLoader::SaveTga(const FixedString& path, const SurfaceInfo& surface) {
    const int32_t width = surface.width, height = surface.height;
    // The header holds 16-bit sizes; a larger surface cannot be described.
    if (width < 0 || height < 0 || width > kTgaMaxSide || height > kTgaMaxSide) return false;
    if (surface.pixels == nullptr && width > 0 && height > 0) return false;
    std::unique_ptr<uint8_t[]> row(new (std::nothrow) uint8_t[static_cast<size_t>(width) * 3 + 1]);
    if (row == nullptr) return false;

    File file(path, File::kModeWrite);
    if (file.OpenError() != File::kDone) return false;
    // No image ID, no colour map, origin 0, 0; descriptor 0: bottom-left origin, no alpha.
    uint8_t header[kTgaHeaderSize] = {};
    header[2] = 2;  // uncompressed true-colour
    header[12] = static_cast<uint8_t>(width);
    header[13] = static_cast<uint8_t>(width >> 8);
    header[14] = static_cast<uint8_t>(height);
    header[15] = static_cast<uint8_t>(height >> 8);
    header[16] = 24;
    if (file.Write(header, kTgaHeaderSize) != File::kDone) return false;
    // A surface without columns has no pixel memory to step through.
    for (int32_t y = width > 0 ? height - 1 : -1; y >= 0; --y) {
        const uint16_t* pixels = surface.pixels + static_cast<std::ptrdiff_t>(y) * surface.pitch;
        for (int32_t x = 0; x < width; ++x) {
            const Rgb c = Expand16To24(pixels[x]);
            row[3 * x] = c.blue;
            row[3 * x + 1] = c.green;
            row[3 * x + 2] = c.red;
        }
        if (file.Write(row.get(), width * 3) != File::kDone) return false;
    }
    return true;
}

Rgb GraphicsLoader::Expand16To24(uint16_t pixel) const {
    if (pixelFormat == kColor555)
        return Rgb(WidenComponent((pixel >> 10) & 31, 5), WidenComponent((pixel >> 5) & 31, 5),
                   WidenComponent(pixel & 31, 5));
    return Rgb(WidenComponent(pixel >> 11, 5), WidenComponent((pixel >> 5) & 63, 6), WidenComponent(pixel & 31, 5));
}

void GraphicsLoader::Widen555To565(uint16_t* pixels, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const uint16_t p = pixels[i];
        pixels[i] = static_cast<uint16_t>((p & 0x7C00) * 2 + (p & 0x03E0) * 2 + (p & 0x001F));
    }
}

bool GraphicsLoader::MapCompanionPath(FixedString& path) {
    const char* text = path.Text();
    const int32_t length = path.Length();
    // Both separators: paths on Windows come with either.
    int32_t nameStart = 0;
    for (int32_t i = 0; i < length; ++i)
        if (text[i] == '/' || text[i] == '\\') nameStart = i + 1;
    // A "." in a folder name is no extension; one that starts the file name neither.
    int32_t cut = length;
    for (int32_t i = length - 1; i > nameStart; --i) {
        if (text[i] == '.') {
            cut = i;
            break;
        }
    }
    static constexpr char kSuffix[] = ".map";
    if (cut + static_cast<int32_t>(sizeof kSuffix - 1) > FixedString::kTextLimit) return false;
    path.SetCharAt(cut, '\0');
    path.Append(kSuffix);
    return true;
}
