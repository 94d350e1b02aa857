#pragma once

#include "display/surface_info.h"
#include "glyphs/animation.h"
#include "rain/rain_model.h"

// One frame of the rain into a 16-bit surface: the stream step, then every cell
// drawn bottom row first. Platform-free, so the render thread adds only pacing,
// the back buffer and presentation, and whole frames can be tested without a display.
// stop() is the render thread's "active was cleared" test; a frame that stops part-way
// leaves the rest of the surface as it was.
struct FrameComposer {
    RainModel& model;
    Animation& glyphs;
    const SurfaceInfo& surface;
    Pen pen;

    void Cell(int, int, int glyph, int shade) {
        if (shade == 0)
            glyphs.Draw(surface, pen, glyph);
        else
            glyphs.DrawDimmed(surface, pen, glyph, shade);
        pen.x += glyphs.width;
    }
    void EndRow(int) {
        pen.x = 0;
        pen.y -= glyphs.height;
    }
};

// The top row sticks 10 pixels above the surface: cell (row i, column c) is drawn
// at (c * glyph width, i * glyph height - 10).
constexpr int kTopRowOffset = 10;

template <class Stop>
void ComposeFrame(RainModel& model, RandomSource& random, int highlightPercent, Animation& glyphs,
                  const SurfaceInfo& surface, Stop&& stop) {
    FrameComposer composer{model, glyphs, surface, Pen{0, (model.Rows() - 1) * glyphs.height - kTopRowOffset}};
    model.StepStreams(random, stop);
    model.SweepCells(random, highlightPercent, composer, stop);
}

// For callers that never stop part-way (tools, tests, benchmarks).
inline void ComposeFrame(RainModel& model, RandomSource& random, int highlightPercent, Animation& glyphs,
                         const SurfaceInfo& surface) {
    ComposeFrame(model, random, highlightPercent, glyphs, surface, [] { return false; });
}
