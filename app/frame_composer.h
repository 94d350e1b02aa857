#pragma once

#include "display/glyph_blitter.h"
#include "display/surface_info.h"
#include "glyphs/animation.h"
#include "rain/rain_model.h"

// The top row sticks 10 pixels above the surface: cell (row i, column c) is drawn
// at (c * glyph width, i * glyph height - 10).
constexpr int kTopRowOffset = 10;

// One frame of the rain into a 16-bit surface: the stream step, then every cell, bottom
// row first. Platform-free, so the render thread adds only pacing, the back buffer and
// presentation, and whole frames can be tested without a display.
// The model's draw requests for a row are collected and the row is drawn scan line by
// scan line (DrawCellRow): the random numbers still go to the cells in sweep order, and
// cells of one row never overlap, so the picture is the one cell-by-cell drawing gives.
class FrameComposer {
public:
    FrameComposer(Animation& glyphs, const SurfaceInfo& surface, Pen firstCell)
        : glyphs_(glyphs), surface_(surface), pen_(firstCell) {
        for (int shade = 0; shade < 4; ++shade) ops_[shade] = SelectShadeOp(colorType, shade);
    }

    void Cell(int, int, int glyph, int shade) {
        const bool raw = glyphs_.compressed == 0 && glyph >= 0 && glyph < glyphs_.frameCount &&
                         glyph < Animation::kMaxFrames && glyphs_.frames[glyph] != nullptr;
        if (!raw) {
            // Run-length frames and frames the set lacks take the single-cell draw.
            Flush();
            if (shade == 0)
                glyphs_.Draw(surface_, pen_, glyph);
            else
                glyphs_.DrawDimmed(surface_, pen_, glyph, shade);
            pen_.x += glyphs_.width;
            return;
        }
        glyphs_.currentFrame = glyph;
        batch_[count_++] = RowCell{glyphs_.frames[glyph], shade >= 0 && shade < 4 ? ops_[shade] : ops_[0]};
        if (count_ == kBatch) Flush();
    }
    void EndRow(int) {
        Flush();
        pen_.x = 0;
        pen_.y -= glyphs_.height;
    }
    // Draws the cells collected so far; a sweep that stopped part-way still shows the
    // cells it reached.
    void Flush() {
        DrawCellRow(surface_, pen_, glyphs_.width, glyphs_.height, batch_, count_);
        pen_.x += count_ * glyphs_.width;
        count_ = 0;
    }

private:
    // Enough for every column at 1280 pixels down to 11-pixel glyphs; wider rows are drawn in parts.
    static constexpr int kBatch = 128;

    Animation& glyphs_;
    const SurfaceInfo& surface_;
    Pen pen_;
    ShadeOp ops_[4];
    RowCell batch_[kBatch];
    int count_ = 0;
};

template <class Stop>
void ComposeFrame(RainModel& model, RandomSource& random, int highlightPercent, Animation& glyphs,
                  const SurfaceInfo& surface, Stop&& stop) {
    FrameComposer composer(glyphs, surface, Pen{0, (model.Rows() - 1) * glyphs.height - kTopRowOffset});
    model.StepStreams(random, stop);
    model.SweepCells(random, highlightPercent, composer, stop);
    composer.Flush();
}

// For callers that never stop part-way (tools, tests, benchmarks).
inline void ComposeFrame(RainModel& model, RandomSource& random, int highlightPercent, Animation& glyphs,
                         const SurfaceInfo& surface) {
    ComposeFrame(model, random, highlightPercent, glyphs, surface, [] { return false; });
}
