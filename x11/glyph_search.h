#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/surface_info.h"
#include "glyphs/animation.h"

// Where the glyph file is looked for, in order: vorlex/glyph2.ani in $XDG_DATA_HOME and each
// of $XDG_DATA_DIRS (the base-directory defaults when unset or empty; relative entries are
// ignored), glyph2.ani beside the program, then the package's own data folder, found from
// the program's place as dataFromProgram says. Null arguments stand for unset variables.
std::vector<std::string> GlyphCandidates(const char* dataHome, const char* dataDirs, const char* home,
                                         const std::string& programDir, const std::string& dataFromProgram);

// The first candidate that is a regular file and loads as a usable glyph set in the given
// layout; null when none does, with tried listing every path and why it was refused.
// found names the file that was taken. Never reads a FIFO, a device or a directory.
std::unique_ptr<Animation> LoadFirstGlyphSet(const std::vector<std::string>& candidates, ColorType layout,
                                             std::string& tried, std::string& found);
