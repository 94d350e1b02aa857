#pragma once

#include <cstdint>

class Animation;

// True when glyphs can serve as the saver's glyph set: loaded, with the
// kRequiredGlyphFrames frames the rain addresses (rain/rain_model.h) and a cell of at
// least 1 x 1 pixels.
bool IsUsableGlyphSet(const Animation* glyphs);
