#pragma once

#include <cstdint>
#include <memory>

#include "app/frame_composer.h"
#include "display/surface_info.h"
#include "glyphs/animation.h"
#include "rain/rain_model.h"
#include "rain/random_source.h"

// The effect's whole state, in the manner of an X11 screen-saver hack: the host creates
// it with the glyphs and settings, calls Reshape for every new window size and Draw once
// per frame; it knows nothing of windows, time or events.
class RainEffect {
public:
    RainEffect(std::unique_ptr<Animation> glyphs, ColorType layout, int density, int highlight, uint32_t seed);

    // Sizes the grid for a width x height frame (the Windows module's formula) and seeds
    // it afresh. False when the grid cannot be had; the effect then draws nothing.
    bool Reshape(int width, int height);
    // One frame into surface, which must be the size last given to Reshape. A frame that
    // stop() cuts short leaves the rest of the surface as it was.
    // With shown, only the cells that differ from what it says the surface holds are drawn.
    template <class Stop>
    void Draw(const SurfaceInfo& surface, Stop&& stop, ShownCells* shown = nullptr) {
        if (model_.Cells() != nullptr) ComposeFrame(model_, drawing_, highlight_, *glyphs_, surface, stop, shown);
    }
    void Draw(const SurfaceInfo& surface) {
        Draw(surface, [] { return false; });
    }

    ColorType Layout() const { return layout_; }
    int CellWidth() const { return glyphs_->width; }
    int CellHeight() const { return glyphs_->height; }
    const RainModel& Model() const { return model_; }

private:
    std::unique_ptr<Animation> glyphs_;
    ColorType layout_;
    int density_;
    int highlight_;
    RainModel model_;
    RandomSource seeding_;
    RandomSource drawing_{1};  // the render thread's sequence starts at 1
};

// Frames per second as digits in the top-left corner of surface (white, 2x scaled), inside
// kFpsCounterWidth x kFpsCounterHeight for up to eight characters.
constexpr int kFpsCounterWidth = 68;
constexpr int kFpsCounterHeight = 14;
void DrawFpsCounter(const SurfaceInfo& surface, ColorType layout, double fps);
