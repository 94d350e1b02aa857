#include "glyphs/graphics_loader.h"

#include <cstring>
#include <memory>
#include <new>

#include "diag/log.h"
#include "display/surface_info.h"
#include "glyphs/animation.h"
#include "glyphs/file.h"
#include "support/fixed_string.h"

namespace {

constexpr int32_t kHeaderSize = 12;
constexpr uint8_t kFormatVersion = 2;
constexpr int32_t kMaxLleWidth = 0xFFFF;

uint16_t Convert555(const Rgb& p) {
    return static_cast<uint16_t>((p.red >> 3) << 10 | (p.green >> 3) << 5 | (p.blue >> 3));
}

uint16_t Convert565(const Rgb& p) {
    return static_cast<uint16_t>((p.red >> 3) << 11 | (p.green >> 2) << 5 | (p.blue >> 3));
}

void LogLoadError(const char* text) { ErrorMsg(text, LOG_ERROR); }

// Length of the run starting at x whose pixels are (opaque false) or are not (opaque
// true) the colour key; bounded by the row.
int32_t RunLength(const uint16_t* row, int32_t x, int32_t width, uint16_t key, bool opaque) {
    int32_t n = 0;
    while (x + n < width && (row[x + n] != key) == opaque) ++n;
    return n;
}

// Count word of a row: 0 = all transparent, 1 = no transparent pixel, else 1 + the
// number of opaque runs.
uint16_t CountRowSegments(const uint16_t* row, int32_t width, uint16_t key) {
    int32_t n = 0;
    int32_t x = 0;
    bool first = true;
    while (x < width) {
        const int32_t skip = RunLength(row, x, width, key, false);
        x += skip;
        if (x >= width) break;
        x += RunLength(row, x, width, key, true);
        if (first) {
            first = false;
            n = 1;
            if (x >= width && skip == 0) return 1;
        }
        ++n;
    }
    return static_cast<uint16_t>(n);
}

uint16_t* EncodeRow(const uint16_t* row, int32_t width, uint16_t key, uint16_t* out) {
    const uint16_t n = CountRowSegments(row, width, key);
    *out++ = n;
    if (n == 0) return out;
    if (n == 1) {
        std::memcpy(out, row, width * sizeof(uint16_t));
        return out + width;
    }
    int32_t x = 0;
    for (int32_t segment = 1; segment < n; ++segment) {
        const int32_t skip = RunLength(row, x, width, key, false);
        x += skip;
        const int32_t length = RunLength(row, x, width, key, true);
        *out++ = static_cast<uint16_t>(skip);
        *out++ = static_cast<uint16_t>(length);
        std::memcpy(out, row + x, length * sizeof(uint16_t));
        out += length;
        x += length;
    }
    return out;
}

struct AnimationHeader {
    uint8_t version;
    int32_t frames;
    int32_t width;
    int32_t height;
    bool hasMaps;
};

AnimationHeader ParseHeader(const uint8_t* bytes) {
    AnimationHeader header;
    header.version = bytes[4];
    header.frames = bytes[5];
    header.width = bytes[6] | bytes[7] << 8;
    header.height = bytes[8] | bytes[9] << 8;
    header.hasMaps = bytes[10] != 0;
    return header;
}

}  // namespace

GraphicsLoader::GraphicsLoader() { ScratchPad = new (std::nothrow) uint16_t[kScratchPadCapacity]; }

GraphicsLoader::~GraphicsLoader() { delete[] ScratchPad; }

GraphicsLoader& GraphicsLoader::SetPixelFormat(int32_t format) {
    pixelFormat = format;
    colorKey = format == kColor555 ? kMagenta555 : kMagenta565;
    return *this;
}

void GraphicsLoader::ConvertRow(const Rgb* row, uint16_t* out, int32_t width) {
    if (pixelFormat == kColor555) {
        for (int32_t x = 0; x < width; ++x) out[x] = Convert555(row[x]);
        colorKey = kMagenta555;
    } else {
        for (int32_t x = 0; x < width; ++x) out[x] = Convert565(row[x]);
        colorKey = kMagenta565;
    }
}

Animation* GraphicsLoader::LoadAnimation(const FixedString& path, bool compress) {
    if (ScratchPad == nullptr) {
        LogLoadError("[GraphicsLoader::LoadAnimation] NULL pointer detected in ScratchPad");
        return nullptr;
    }
    File file(path, File::kModeRead);
    return LoadAnimation(file, compress);  // the file closes when it goes out of scope
}

Animation* GraphicsLoader::LoadAnimation(File& file, bool compress) {
    if (file.OpenError() != File::kDone) return nullptr;
    uint8_t headerBytes[kHeaderSize];
    int32_t received = 0;
    if (file.Read(headerBytes, kHeaderSize, &received) != File::kDone || received != kHeaderSize) return nullptr;
    const AnimationHeader header = ParseHeader(headerBytes);
    if (header.version != kFormatVersion) {
        FixedString message("[GraphicsLoader::LoadAnimation] Wrong file format version, found ");
        message.AppendNumber(static_cast<int32_t>(header.version));
        ErrorMsg(message, LOG_ERROR);
        return nullptr;
    }
    // Nothing else could hold or draw more frames or larger pictures.
    if (header.frames > Animation::kMaxFrames) {
        FixedString message("[GraphicsLoader::LoadAnimation] Too many frames, found ");
        message.AppendNumber(header.frames);
        ErrorMsg(message, LOG_ERROR);
        return nullptr;
    }
    // 65535 x 65535 does not fit 32 bits: compare the area in 64.
    const int64_t area = static_cast<int64_t>(header.width) * header.height;
    if (area == 0 || area > kScratchPadCapacity) {
        FixedString message("[GraphicsLoader::LoadAnimation] Unsupported frame size, found ");
        message.AppendNumber(header.width);
        message.Append("x");
        message.AppendNumber(header.height);
        ErrorMsg(message, LOG_ERROR);
        return nullptr;
    }
    if (ScratchPad == nullptr) {
        LogLoadError("[GraphicsLoader::LoadAnimation] NULL pointer detected in ScratchPad");
        return nullptr;
    }

    const int32_t pixels = static_cast<int32_t>(area);
    const bool lle = compress && !header.hasMaps;
    // One read per frame: the pixel block is read whole, bottom row first.
    std::unique_ptr<Rgb[]> block(new (std::nothrow) Rgb[pixels + 1]);
    std::unique_ptr<Animation> animation(new (std::nothrow)
                                             Animation(header.width, header.height, header.frames, lle ? 1 : 0));
    if (block == nullptr || animation == nullptr) {
        LogLoadError("[GraphicsLoader::LoadAnimation] Out of memory");
        return nullptr;
    }
    const int32_t blockBytes = pixels * 3;
    for (int32_t i = 0; i < header.frames; ++i) {
        // A file that ends early fails like an unreadable one.
        if (file.Read(block.get(), blockBytes, &received) != File::kDone || received != blockBytes) {
            LogLoadError("[GraphicsLoader::LoadAnimation] Unable to read source file");
            return nullptr;
        }
        for (int32_t y = 0; y < header.height; ++y) {
            ConvertRow(block.get() + (header.height - 1 - y) * header.width, ScratchPad + y * header.width,
                       header.width);
        }
        if (lle) {
            animation->frames[i] = CompressFrame(ScratchPad, header.width, header.height);
            if (animation->frames[i] == nullptr) {
                FixedString message(
                    "[GraphicsLoader::LoadAnimation] Corrupt animation file, unable to LLE compress frame ");
                message.AppendNumber(i);
                ErrorMsg(message, LOG_ERROR);
                return nullptr;
            }
            continue;
        }
        animation->frames[i] = new (std::nothrow) uint16_t[pixels];
        if (animation->frames[i] == nullptr) {
            LogLoadError("[GraphicsLoader::LoadAnimation] Out of memory");
            return nullptr;
        }
        std::memcpy(animation->frames[i], ScratchPad, pixels * sizeof(uint16_t));
        if (header.hasMaps) {
            animation->hasMaps = true;
            animation->maps[i] = new (std::nothrow) uint8_t[pixels];
            if (animation->maps[i] == nullptr) {
                LogLoadError("[GraphicsLoader::LoadAnimation] Out of memory");
                return nullptr;
            }
            if (file.Read(animation->maps[i], pixels, &received) != File::kDone || received != pixels) {
                LogLoadError("[GraphicsLoader::LoadAnimation] Unable to read transparecy map");
                return nullptr;
            }
        }
    }
    return animation.release();
}

uint16_t* GraphicsLoader::CompressFrame(const uint16_t* pixels, int32_t width, int32_t height, int32_t* words) {
    if (words != nullptr) *words = 0;
    // Counts, skips and lengths are 16-bit words: a wider row cannot be described.
    if (pixels == nullptr || width < 0 || width > kMaxLleWidth || height < 0) return nullptr;
    // Worst case per row is 1 + 3 x ceil(W / 2) words; 4 x W + 1 covers it.
    const int64_t capacity = (4 * static_cast<int64_t>(width) + 1) * height;
    if (capacity > INT32_MAX / 2) return nullptr;
    std::unique_ptr<uint16_t[]> work(new (std::nothrow) uint16_t[capacity > 0 ? capacity : 1]);
    if (work == nullptr) return nullptr;
    uint16_t* out = work.get();
    for (int32_t y = 0; y < height; ++y)
        out = EncodeRow(pixels + static_cast<int64_t>(y) * width, width, colorKey, out);
    const int32_t written = static_cast<int32_t>(out - work.get());
    uint16_t* result = new (std::nothrow) uint16_t[written > 0 ? written : 1];
    if (result == nullptr) return nullptr;
    std::memcpy(result, work.get(), written * sizeof(uint16_t));
    if (words != nullptr) *words = written;
    return result;
}
