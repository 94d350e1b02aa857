#pragma once

#include <cstdint>
#include <string>

// Exit codes of vorlex.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;   // the X server went away, out of memory and the like
constexpr int kExitUsage = 2;     // bad command line
constexpr int kExitUnusable = 3;  // no usable glyph file, or a visual we cannot draw on

enum class WindowMode { kOwnWindow, kRoot, kWindowId, kFullscreen };

struct SaverOptions {
    WindowMode mode = WindowMode::kOwnWindow;
    unsigned long windowId = 0;  // kWindowId's window; for kRoot the daemon's, 0 when it named none
    int width = 1024;            // own window
    int height = 768;
    int density = 300;  // falling streams, 0 ... 400
    int highlight = 8;  // percentage of new glyphs drawn bright
    std::string glyphPath;
    int scale = 0;  // glyph cell size multiple 1 ... 3; 0 picks it by the screen's height
    long delayUsec = 30000;
    bool showFps = false;
    bool seeded = false;
    uint32_t seed = 0;
};

enum class ParseResult { kRun, kHelp, kError };

// Reads argv[1 ...] in the single-dash style of X11 screen-saver programs. With -root or
// no mode, windowEnv (the XSCREENSAVER_WINDOW variable, or null) names the virtual root.
// On kError, error says what was wrong.
ParseResult ParseSaverOptions(int argc, const char* const* argv, const char* windowEnv, SaverOptions& options,
                              std::string& error);

const char* SaverUsage();
