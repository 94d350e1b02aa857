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
        // Null where the row drawing cannot take the frame: run-length sets, missing frames.
        for (int f = 0; f < Animation::kMaxFrames; ++f)
            raw_[f] = glyphs.compressed == 0 && f < glyphs.frameCount ? glyphs.frames[f] : nullptr;
    }

    void Cell(int, int, int glyph, int shade) {
        const uint16_t* frame = static_cast<unsigned>(glyph) < Animation::kMaxFrames ? raw_[glyph] : nullptr;
        if (frame == nullptr) {
            // Run-length frames and frames the set lacks take the single-cell draw.
            Flush();
            if (shade == 0)
                glyphs_.Draw(surface_, pen_, glyph);
            else
                glyphs_.DrawDimmed(surface_, pen_, glyph, shade);
            pen_.x += glyphs_.width;
            return;
        }
        last_ = glyph;
        batch_[count_++] = RowCell{frame, ops_[static_cast<unsigned>(shade) < 4 ? shade : 0]};
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
        if (count_ == 0) return;
        glyphs_.currentFrame = last_;  // as drawing the cells one by one leaves it
        DrawCellRow(surface_, pen_, glyphs_.width, glyphs_.height, batch_, count_);
        pen_.x += count_ * glyphs_.width;
        count_ = 0;
    }

private:
    // A whole row at every screen size with the 16-pixel glyph set (81 cells at 1280 pixels);
    // wider rows are drawn in parts. Smaller parts measured slower.
    static constexpr int kBatch = 128;

    Animation& glyphs_;
    const SurfaceInfo& surface_;
    Pen pen_;
    ShadeOp ops_[4];
    const uint16_t* raw_[Animation::kMaxFrames];
    RowCell batch_[kBatch];
    int count_ = 0;
    int last_ = 0;
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
