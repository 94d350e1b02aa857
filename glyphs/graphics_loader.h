#pragma once

#include <cstdint>

class Animation;
class File;
class FixedString;

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
    // given), or null when memory runs out.
    uint16_t* CompressFrame(const uint16_t* pixels, int32_t width, int32_t height, int32_t* words = nullptr);

    uint16_t* ScratchPad = nullptr;  // kScratchPadCapacity pixels, or null when allocation failed
    int32_t scratchPadCapacity = kScratchPadCapacity;
    uint16_t colorKey = 0;
    int32_t pixelFormat = 0;
};
