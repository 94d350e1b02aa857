#include "glyphs/glyph_set.h"

#include "glyphs/animation.h"

bool IsUsableGlyphSet(const Animation* glyphs) {
    return glyphs != nullptr && glyphs->frameCount >= kGlyphSetFrames && glyphs->width >= 1 && glyphs->height >= 1;
}
