#pragma once

#include <cstdint>

class Animation;
class File;
class FixedString;
class Image;
struct SurfaceInfo;

// A 24-bit colour in the byte order of picture files: blue, green, red.
struct Rgb {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;

    Rgb() = default;
    Rgb(uint8_t r, uint8_t g, uint8_t b) : blue(b), green(g), red(r) {}
};
static_assert(sizeof(Rgb) == 3, "rows are read straight into Rgb arrays");

// Turns picture files into pictures in the display's 16-bit layout. Every picture is
// decoded through the ScratchPad first.
class GraphicsLoader {
public:
    static constexpr int32_t kScratchPadCapacity = 480000;  // pixels

    GraphicsLoader();
    ~GraphicsLoader();

    GraphicsLoader(const GraphicsLoader&) = delete;
    GraphicsLoader& operator=(const GraphicsLoader&) = delete;

    // 0 = 5-5-5, 1 = 5-6-5; also sets the colour key to magenta in that layout.
    GraphicsLoader& SetPixelFormat(int32_t format);

    // Converts width 24-bit pixels to the display's layout (any nonzero format counts
    // as 5-6-5) and sets the colour key to magenta in that layout.
    void ConvertRow(const Rgb* row, uint16_t* out, int32_t width);

    // Reads a glyph animation file into a new Animation; null on any failure (logged
    // at LOG_ERROR), with nothing left allocated. Frames are LLE encoded when compress
    // is true and the file has no transparency maps, raw otherwise. The File form
    // reads from where the file stands and never closes it.
    Animation* LoadAnimation(const FixedString& path, bool compress);
    Animation* LoadAnimation(File& file, bool compress);

    // LLE encodes a top-down frame; pixels equal to the colour key are transparent.
    // Returns a new[] buffer of exactly the encoded size (its word count in *words when
    // given), or null when memory runs out or a row is wider than 65535 pixels.
    uint16_t* CompressFrame(const uint16_t* pixels, int32_t width, int32_t height, int32_t* words = nullptr);

    // Single pictures. They fail without a message (null or false), with nothing left
    // allocated; pictures above the ScratchPad and files that end early are refused.
    //
    // TGA files as read here: the 18-byte header gives W (offset 12), H (14) and the
    // depth (16); the pixels follow it uncompressed, bottom row first: 24 bits as blue,
    // green, red, or 16 bits as 5-5-5. Other depths are refused.
    // With withMap, the map comes from the companion file and path is rewritten to its
    // name (see MapCompanionPath).
    Image* LoadTga(FixedString& path, bool compress, bool withMap);
    // Decodes a TGA file into the top-left W x H pixels of the surface, which must be
    // at least that large.
    bool LoadTgaToSurface(const FixedString& path, const SurfaceInfo& surface);
    // W x H 24-bit pixels, bottom row first, from where the file stands. The file is
    // not closed.
    Image* ReadRawImage(File& file, int32_t width, int32_t height, bool compress);
    bool ReadRawToSurface(File& file, int32_t width, int32_t height, const SurfaceInfo& surface);
    // Writes the surface as a 24-bit TGA file (sizes up to 65535); true when every
    // byte was written.
    bool SaveTga(const FixedString& path, const SurfaceInfo& surface);

    // A pixel of the display's layout widened to 24 bits so that the 24-bit readers give
    // it back unchanged: each component is shifted up and, unless 0, its new low bits set.
    Rgb Expand16To24(uint16_t pixel) const;
    // 5-5-5 pixels moved into the 5-6-5 layout (the new low green bit 0, bit 15 dropped).
    static void Widen555To565(uint16_t* pixels, int32_t count);
    // A picture's ".map" companion: everything from the file name's last "." on is
    // replaced by ".map" (a name without one, or starting with its only one, gets ".map"
    // appended). False, with path unchanged, when the result would not fit a FixedString.
    static bool MapCompanionPath(FixedString& path);

    uint16_t* ScratchPad = nullptr;  // kScratchPadCapacity pixels, or null when allocation failed
    int32_t scratchPadCapacity = kScratchPadCapacity;
    uint16_t colorKey = 0;
    int32_t pixelFormat = 0;
};
