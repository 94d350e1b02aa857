#pragma once

#include <cstdint>

class Animation;

// Frames the rain addresses: 27 bright glyphs, the same 27 normal, one blank.
constexpr int32_t kGlyphSetFrames = 55;

// True when glyphs can serve as the saver's glyph set: loaded, with at least 55
// frames and a cell of at least 1 x 1 pixels.
bool IsUsableGlyphSet(const Animation* glyphs);
