#include "glyphs/glyph_set.h"

#include "glyphs/animation.h"
#include "rain/rain_model.h"

bool IsUsableGlyphSet(const Animation* glyphs) {
    return glyphs != nullptr && glyphs->frameCount >= kRequiredGlyphFrames && glyphs->width >= 1 && glyphs->height >= 1;
}
