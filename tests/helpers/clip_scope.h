#pragma once

#include "display/glyph_blitter.h"

// Sets the blitter's clip rectangle and pixel layout for one test and puts them back.
struct ClipScope {
    explicit ClipScope(ClipRect r, ColorType layout = kColor565) {
        clipRect = r;
        colorType = layout;
    }
    ~ClipScope() {
        clipRect = saved;
        colorType = savedLayout;
    }
    ClipScope(const ClipScope&) = delete;
    const ClipRect saved = clipRect;
    const ColorType savedLayout = colorType;
};
