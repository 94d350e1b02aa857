#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/surface_info.h"
#include "glyphs/animation.h"

// Where the glyph file is looked for, in order: the -glyphs file, vorlex/glyph2.ani in
// $XDG_DATA_HOME and each of $XDG_DATA_DIRS (with the base-directory defaults when unset
// or empty), then glyph2.ani beside the program. Null arguments stand for unset variables.
std::vector<std::string> GlyphCandidates(const std::string& option, const char* dataHome, const char* dataDirs,
                                         const char* home, const std::string& programDir);

// The first candidate that loads as a usable glyph set in the given layout; null when
// none does, with tried listing every path and why it was refused. found names the
// file that was taken.
std::unique_ptr<Animation> LoadFirstGlyphSet(const std::vector<std::string>& candidates, ColorType layout,
                                             std::string& tried, std::string& found);
