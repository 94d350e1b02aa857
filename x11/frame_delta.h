#pragma once

#include <cstdint>
#include <vector>

#include "app/frame_composer.h"
#include "display/surface_info.h"
#include "x11/pixel_convert.h"

// A rectangle of the frame in pixels.
struct PixelRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// The part of each frame that changed, for a window that keeps what it was last sent: the
// composer draws only the cells that differ from the frame the buffers hold, and only their
// rectangles are widened and sent. A new size or image, an Expose and the first frame draw whole.
class FrameDelta {
public:
    // Frames of width x height drawn with cellWidth x cellHeight glyphs; the next is drawn whole.
    void Reshape(int32_t width, int32_t height, int32_t cellWidth, int32_t cellHeight);
    // The next frame is drawn whole: the window or the image lost what they held.
    void DrawWhole() { whole_ = true; }
    // The cells under r are drawn over after the compose (the frame counter): redraw them next time.
    void Redraw(const PixelRect& r);

    // The next frame's changed cells are widened into dst as the composer draws them; most are not
    // drawn into the 16-bit frame at all (which then keeps older pixels there) but widened straight
    // from their glyphs; Convert then widens only what was drawn over after the compose.
    void WidenAsDrawn(const PixelConverter& converter, uint32_t* dst, int32_t dstPitch);
    // For the composer, before it draws the frame.
    ShownCells* Begin();
    // After it: the changed rectangles, top to bottom in bands of one cell row (each band left to
    // right), or the whole frame.
    const std::vector<PixelRect>& End();
    const std::vector<PixelRect>& Rects() const { return rects_; }
    bool Whole() const { return drewWhole_; }

    // Widens the rectangles End gave from src into dst (pitch in pixels).
    void Convert(const PixelConverter& converter, const SurfaceInfo& src, uint32_t* dst, int32_t dstPitch) const;

private:
    void AddRun(const CellRun& run);
    PixelRect RectOf(const CellRun& run) const;
    static void Widen(void* self, uint16_t* pixels, int32_t pitch, int32_t x, int32_t y, int32_t width, int32_t height);
    static void WidenCells(void* self, const RowCell* cells, const uint16_t* looks, int32_t count, int32_t x, int32_t y,
                           int32_t w, int32_t h);
    const uint32_t* WideGlyph(const RowCell& cell, uint16_t look, int32_t size);

    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t cellWidth_ = 1;
    int32_t cellHeight_ = 1;
    bool whole_ = true;
    bool drewWhole_ = false;
    ShownCells shown_;
    std::vector<PixelRect> rects_;
    std::vector<PixelRect> over_;  // given to Redraw since the last frame
    std::vector<PixelRect> late_;  // the frame's part drawn over after the compose
    const PixelConverter* widen_ = nullptr;
    uint32_t* widenDst_ = nullptr;
    int32_t widenPitch_ = 0;
    bool widened_ = false;  // the frame was widened as it was drawn
    // Glyph frames widened with a shade, by look, made as cells first need them: a changed cell is
    // then a copy (widening each cell again measured a sixth slower at 1920x1080 and 3840x2160).
    struct Widened {
        const uint16_t* frame = nullptr;
        ShadeOp op{};
    };
    std::vector<Widened> wideMade_;
    std::vector<uint32_t> wideGlyphs_;
    const PixelConverter* wideBy_ = nullptr;
};
