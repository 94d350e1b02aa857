#pragma once

#include "display/glyph_blitter.h"

// Sets the blitter's clip rectangle and pixel layout for one test and puts them back.
class ClipScope {
public:
    explicit ClipScope(ClipRect r, ColorType layout = kColor565) : saved_(clipRect), savedLayout_(colorType) {
        clipRect = r;
        colorType = layout;
    }
    ~ClipScope() {
        clipRect = saved_;
        colorType = savedLayout_;
    }
    ClipScope(const ClipScope&) = delete;

private:
    ClipRect saved_;
    ColorType savedLayout_;
};
