#include "x11/saver_options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "vorlex_version.h"

namespace {

bool ParseLong(const char* text, int base, long long lo, long long hi, long long& value) {
    if (text == nullptr || *text == '\0' || *text == '-' || *text == '+' || *text == ' ') return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(text, &end, base);
    if (errno != 0 || *end != '\0' || v > static_cast<unsigned long long>(hi)) return false;
    value = static_cast<long long>(v);
    return value >= lo;
}

// Window ids are X resource ids: decimal or 0x hex, never zero.
bool ParseWindowId(const char* text, unsigned long& id) {
    long long v = 0;
    const bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (!ParseLong(hex ? text + 2 : text, hex ? 16 : 10, 1, 0xFFFFFFFFLL, v)) return false;
    id = static_cast<unsigned long>(v);
    return true;
}

bool ParseGeometry(const char* text, int& width, int& height) {
    unsigned w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(text, "%ux%u%c", &w, &h, &tail) != 2) return false;
    if (w < 1 || h < 1 || w > 16384 || h > 16384) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

}  // namespace

ParseResult ParseSaverOptions(int argc, const char* const* argv, const char* windowEnv, SaverOptions& options,
                              std::string& error) {
    bool modeGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // The framework's programs also accept the GNU double dash.
        if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') arg.erase(0, 1);
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](long long lo, long long hi, long long& out) {
            if (value == nullptr) {
                error = arg + " needs a value";
                return false;
            }
            ++i;
            if (!ParseLong(value, 10, lo, hi, out)) {
                error = arg + " takes a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) +
                        ", not \"" + value + "\"";
                return false;
            }
            return true;
        };
        long long n = 0;
        if (arg == "-help" || arg == "-h") return ParseResult::kHelp;
        if (arg == "-root" || arg == "-fullscreen" || arg == "-window" || arg == "-window-id") {
            if (modeGiven) {
                error = "only one of -root, -window, -window-id and -fullscreen";
                return ParseResult::kError;
            }
            modeGiven = true;
            if (arg == "-root") options.mode = WindowMode::kRoot;
            if (arg == "-fullscreen") options.mode = WindowMode::kFullscreen;
            if (arg == "-window") options.mode = WindowMode::kOwnWindow;
            if (arg == "-window-id") {
                options.mode = WindowMode::kWindowId;
                ++i;
                if (value == nullptr || !ParseWindowId(value, options.windowId)) {
                    error = "-window-id takes a window id (decimal or 0x hex)";
                    return ParseResult::kError;
                }
            }
        } else if (arg == "-geometry") {
            ++i;
            if (value == nullptr || !ParseGeometry(value, options.width, options.height)) {
                error = "-geometry takes WIDTHxHEIGHT";
                return ParseResult::kError;
            }
        } else if (arg == "-density") {
            if (!number(0, 400, n)) return ParseResult::kError;
            options.density = static_cast<int>(n);
        } else if (arg == "-highlight") {
            if (!number(0, 100, n)) return ParseResult::kError;
            options.highlight = static_cast<int>(n);
        } else if (arg == "-delay") {
            if (!number(0, 10000000, n)) return ParseResult::kError;
            options.delayUsec = static_cast<long>(n);
        } else if (arg == "-seed") {
            if (!number(0, 0xFFFFFFFFLL, n)) return ParseResult::kError;
            options.seeded = true;
            options.seed = static_cast<uint32_t>(n);
        } else if (arg == "-glyphs") {
            if (value == nullptr || *value == '\0') {
                error = "-glyphs needs a file name";
                return ParseResult::kError;
            }
            options.glyphPath = value;
            ++i;
        } else if (arg == "-scale") {
            ++i;
            const bool automatic = value != nullptr && std::strcmp(value, "auto") == 0;
            if (!automatic && (value == nullptr || !ParseLong(value, 10, 1, 3, n))) {
                error = "-scale takes 1, 2, 3 or auto";
                return ParseResult::kError;
            }
            options.scale = automatic ? 0 : static_cast<int>(n);
        } else if (arg == "-fps") {
            options.showFps = true;
        } else if (arg == "-no-fps") {
            options.showFps = false;
        } else {
            error = "unknown option \"" + std::string(argv[i]) + "\"";
            return ParseResult::kError;
        }
    }
    // The daemon names its window in the variable; -window-id and a window of our own ignore it.
    const bool virtualRoot = !modeGiven || options.mode == WindowMode::kRoot;
    if (virtualRoot && windowEnv != nullptr && *windowEnv != '\0') {
        if (!ParseWindowId(windowEnv, options.windowId)) {
            error = std::string("XSCREENSAVER_WINDOW is not a window id: \"") + windowEnv + "\"";
            return ParseResult::kError;
        }
        options.mode = WindowMode::kRoot;
    }
    return ParseResult::kRun;
}

const char* SaverUsage() {
    return "vorlex " VORLEX_VERSION_STRING
           "\n"
           "usage: vorlex [mode] [options]\n"
           "Falling columns of glyphs, for XScreenSaver or on its own.\n"
           "modes (default: the window XSCREENSAVER_WINDOW names, else its own window):\n"
           "  -window             its own resizable window\n"
           "  -root               the virtual root: the window XSCREENSAVER_WINDOW names, else\n"
           "                      the one a window manager marks __SWM_VROOT, else the root\n"
           "  -window-id ID       the window ID (decimal or 0x hex), whatever the variable says\n"
           "  -fullscreen         its own window covering the screen\n"
           "options:\n"
           "  -geometry WxH       size of its own window (default 1024x768)\n"
           "  -density N          falling streams, 0-400 (default 300)\n"
           "  -highlight N        percentage of new glyphs drawn bright, 0-100 (default 8)\n"
           "  -glyphs FILE        glyph file (default: vorlex/glyph2.ani in the XDG data\n"
           "                      directories, beside the program, then in the package's\n"
           "                      share/vorlex)\n"
           "  -scale 1|2|3|auto   glyphs at 1, 2 or 3 times their size (default auto: by the\n"
           "                      height of the screen, or of the part of a given window it\n"
           "                      shows; 2 from 1620 lines, 3 from 2700)\n"
           "  -delay USEC         frame interval in microseconds (default 30000)\n"
           "  -fps                show frames per second in a corner\n"
           "  -seed N             seed of the rain (default: the clock)\n"
           "  -help               this text\n";
}
