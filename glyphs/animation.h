#pragma once

#include <cstdint>

struct SurfaceInfo;
struct Pen;

// A set of equally sized frames (one per glyph) in the display's 16-bit layout,
// each raw (W x H pixels, top row first) or LLE run-length encoded:
//   per row one count word N: 0 = nothing to draw; 1 = W pixels follow;
//   N >= 2 = N - 1 segments of (skip S, length L, L pixels) follow.
// Frames and maps are allocated with new[] and owned by the record.
class Animation {
public:
    static constexpr int kMaxFrames = 100;

    Animation() = default;
    Animation(int32_t width, int32_t height, int32_t frameCount, int32_t compressed);
    ~Animation();

    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    // Drawing lives with the blitter, in display/glyph_blitter.cpp.
    // Draws frame at the pen, clipped to clipRect. Frames outside 0 ... frameCount - 1
    // are recorded as the current frame but not drawn.
    void Draw(const SurfaceInfo& surface, const Pen& pen, int32_t frame);
    // Draws a raw frame at 1/2, 1/4 or 1/8 brightness (shade 1, 2, 3; any other shade
    // copies it). Run-length animations are not drawn dimmed: nothing is drawn.
    void DrawDimmed(const SurfaceInfo& surface, const Pen& pen, int32_t frame, int32_t shade);

    int32_t width = 0;
    int32_t height = 0;
    int32_t frameCount = 0;
    int32_t compressed = 0;
    bool hasMaps = false;
    int32_t currentFrame = 0;
    uint16_t* frames[kMaxFrames] = {};
    uint8_t* maps[kMaxFrames] = {};
};
