#include "tools/render_options.h"

#include <cstdlib>
#include <cstring>

namespace {

// Whole decimal number in [lo, hi]; no sign, no blanks, no trailing text.
bool ParseNumber(const std::string& text, int64_t lo, int64_t hi, int64_t& value) {
    if (text.empty() || text.size() > 10) return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi) return false;
    value = v;
    return true;
}

struct NumberOption {
    const char* name;
    int64_t lo;
    int64_t hi;
};

}  // namespace

bool ParseResolution(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    int64_t w = 0, h = 0;
    if (!ParseNumber(text.substr(0, x), 1, kMaxRenderSide, w) || !ParseNumber(text.substr(x + 1), 1, kMaxRenderSide, h))
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

ParseResult ParseRenderOptions(int argc, const char* const* argv, RenderOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") return ParseResult::kHelp;

        // --name=value or --name value / -x value.
        std::string value;
        bool inlineValue = false;
        if (arg.compare(0, 2, "--") == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                inlineValue = true;
            }
        }
        static const char* const kLong[] = {"--glyphs", "--resolution", "--density", "--highlight",
                                            "--seed",   "--frames",     "--layout",  "--output",
                                            "--png",    "--gif",        "--tga"};
        static const char* const kShort[] = {"-g", "-r", "-d", "-H", "-s", "-n", "-l", "-o", "-p", "-a", "-t"};
        int which = -1;
        for (int k = 0; k < 11; ++k) {
            if (arg == kLong[k] || arg == kShort[k]) which = k;
        }
        if (which < 0) {
            error = "unknown option '" + arg + "'";
            return ParseResult::kError;
        }
        if (!inlineValue) {
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return ParseResult::kError;
            }
            value = argv[++i];
        }
        const std::string name = kLong[which];
        if (value.empty()) {
            error = "option " + name + " needs a value";
            return ParseResult::kError;
        }

        static const NumberOption kNumbers[] = {
            {"--density", 0, 400}, {"--highlight", 0, 100}, {"--seed", 0, 4294967295LL}, {"--frames", 1, 100000}};
        int64_t number = 0;
        for (const NumberOption& n : kNumbers) {
            if (name == n.name && !ParseNumber(value, n.lo, n.hi, number)) {
                error = name + " must be a whole number from " + std::to_string(n.lo) + " to " + std::to_string(n.hi) +
                        ", not '" + value + "'";
                return ParseResult::kError;
            }
        }

        switch (which) {
            case 0:
                options.glyphPath = value;
                break;
            case 1:
                if (!ParseResolution(value, options.width, options.height)) {
                    error = "--resolution must be 800x600, 1024x768, 1280x1024 or WIDTHxHEIGHT with sides 1 to " +
                            std::to_string(kMaxRenderSide) + ", not '" + value + "'";
                    return ParseResult::kError;
                }
                break;
            case 2:
                options.density = static_cast<int>(number);
                break;
            case 3:
                options.highlight = static_cast<int>(number);
                break;
            case 4:
                options.seed = static_cast<uint32_t>(number);
                break;
            case 5:
                options.frames = static_cast<int>(number);
                break;
            case 6:
                if (value == "555") {
                    options.layout = kColor555;
                } else if (value == "565") {
                    options.layout = kColor565;
                } else {
                    error = "--layout must be 555 or 565, not '" + value + "'";
                    return ParseResult::kError;
                }
                break;
            case 7:
                options.frameDir = value;
                break;
            case 8:
                options.pngPath = value;
                break;
            case 9:
                options.gifPath = value;
                break;
            case 10:
                options.tgaPath = value;
                break;
        }
    }
    if (options.frameDir.empty() && options.pngPath.empty() && options.gifPath.empty() && options.tgaPath.empty())
        options.pngPath = "rain.png";
    return ParseResult::kRun;
}

const char* RenderUsage() {
    return "Usage: vorlex-render [options]\n"
           "Renders the falling-glyph rain without a display: loads a glyph file, seeds and\n"
           "runs the rain as the saver does and writes the frames as PNG pictures.\n"
           "\n"
           "  -g, --glyphs FILE      glyph animation file (default: the built glyph2.ani)\n"
           "  -r, --resolution WxH   800x600, 1024x768, 1280x1024 or any WIDTHxHEIGHT\n"
           "                         up to 8192x8192 (default 1024x768)\n"
           "  -d, --density N        falling streams, 0-400 (default 300)\n"
           "  -H, --highlight N      percentage of new glyphs drawn bright, 0-100 (default 8)\n"
           "  -s, --seed N           seed of the random numbers that seed the rain (default 1)\n"
           "  -n, --frames N         frames to compose, 1-100000 (default 60)\n"
           "  -l, --layout 555|565   16-bit pixel layout of the display (default 565)\n"
           "  -o, --output DIR       write every frame as DIR/frame_00001.png ...\n"
           "  -p, --png FILE         write the last frame to FILE\n"
           "  -a, --gif FILE         write every frame into one animated GIF (needs\n"
           "                         ImageMagick's convert)\n"
           "  -t, --tga FILE         write the last frame to FILE as a 24-bit TGA picture\n"
           "  -h, --help             show this text\n"
           "\n"
           "Without -o, -p, -a or -t the last frame goes to rain.png.\n"
           "Exit codes: 0 done, 1 out of memory, 2 bad command line, 3 unusable glyph file,\n"
           "4 a picture could not be written.\n";
}
