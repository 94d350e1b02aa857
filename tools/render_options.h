#pragma once

#include <cstdint>
#include <string>

#include "display/surface_info.h"

// Exit codes of vorlex-render.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // out of memory and the like
constexpr int kExitUsage = 2;    // bad command line
constexpr int kExitGlyphs = 3;   // glyph file missing, unreadable or not a glyph set
constexpr int kExitOutput = 4;   // a picture could not be written

// Largest picture side: clipRect is 16-bit, and larger pictures are of no use here.
constexpr int kMaxRenderSide = 8192;

struct RenderOptions {
    std::string glyphPath;  // empty: the built glyph set
    int width = 1024;
    int height = 768;
    int density = 300;  // falling streams, as the saver's first run
    int highlight = 8;  // percentage of new glyphs drawn bright
    uint32_t seed = 1;  // seeds the model (the saver uses the tick count)
    int frames = 60;
    ColorType layout = kColor565;
    std::string frameDir;  // every frame as frame_NNNNN.png
    std::string pngPath;   // the last frame
    std::string gifPath;   // every frame as one animated GIF
    std::string tgaPath;   // the last frame as a 24-bit TGA picture
};

enum class ParseResult { kRun, kHelp, kError };

// Reads argv[1 ...]. On kError, error says what was wrong. When no output is named the
// last frame goes to "rain.png".
ParseResult ParseRenderOptions(int argc, const char* const* argv, RenderOptions& options, std::string& error);

// "800x600", "1024x768", "1280x1024" or any WxH with sides 1 ... kMaxRenderSide.
bool ParseResolution(const std::string& text, int& width, int& height);

const char* RenderUsage();
