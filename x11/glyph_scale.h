#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/surface_info.h"
#include "glyphs/animation.h"

// The glyph set's size multiple for a screen height: a 3840x2160 screen shows the glyphs as
// large as a 1920x1080 one does (2 from 1620 lines, 3 from 2700).
int AutoGlyphScale(int screenHeight);

// The glyph set at scale (glyph2-2x.ani, glyph2-3x.ani where the candidates name glyph2.ani),
// else the next smaller one that is usable; note then says so in one line. Null when none
// is, with tried naming every path and why.
std::unique_ptr<Animation> LoadScaledGlyphSet(const std::vector<std::string>& candidates, int scale, ColorType layout,
                                              std::string& tried, std::string& found, std::string& note);
