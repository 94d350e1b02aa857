// Glyph load time: median of many loads of a 55-frame 16 x 20 glyph file, raw and LLE.
// Standalone: glyph_load_bench [loads] (links vorlex_core).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "glyphs/animation.h"
#include "glyphs/graphics_loader.h"
#include "support/fixed_string.h"

namespace {

constexpr int kFrames = 55;
constexpr int kWidth = 16;
constexpr int kHeight = 20;

// Magenta cells with a few green strokes, like real glyphs.
std::string GlyphFile() {
    std::string bytes = {'V', 'R', 'L', 'X', 2, kFrames, kWidth, 0, kHeight, 0, 0, 0};
    for (int f = 0; f < kFrames; ++f) {
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const bool ink = f != 54 && x > 1 && x < 13 && y > 1 && y < 17 && ((x * 3 + y * f) % 7 < 3);
                if (ink) {
                    bytes += {static_cast<char>(40), static_cast<char>(f < 27 ? 255 : 190), static_cast<char>(60)};
                } else {
                    bytes += {static_cast<char>(255), 0, static_cast<char>(255)};
                }
            }
        }
    }
    return bytes;
}

double MedianMicroseconds(GraphicsLoader& loader, const FixedString& path, bool compress, int loads) {
    std::vector<double> times;
    times.reserve(loads);
    for (int i = 0; i < loads; ++i) {
        const auto start = std::chrono::steady_clock::now();
        Animation* glyphs = loader.LoadAnimation(path, compress);
        const auto end = std::chrono::steady_clock::now();
        if (glyphs == nullptr || glyphs->frameCount != kFrames) {
            std::fprintf(stderr, "load failed\n");
            std::exit(1);
        }
        delete glyphs;
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int loads = argc > 1 ? std::atoi(argv[1]) : 2000;
    const std::string path = "glyph_load_bench.ani";
    FILE* out = std::fopen(path.c_str(), "wb");
    const std::string bytes = GlyphFile();
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    GraphicsLoader loader;
    for (int format : {0, 1}) {
        loader.SetPixelFormat(format);
        std::printf("format %s: raw %.1f us, LLE %.1f us (median of %d loads, %d frames %dx%d, %zu bytes)\n",
                    format == kColor555 ? "5-5-5" : "5-6-5", MedianMicroseconds(loader, path.c_str(), false, loads),
                    MedianMicroseconds(loader, path.c_str(), true, loads), loads, kFrames, kWidth, kHeight,
                    bytes.size());
    }
    std::remove(path.c_str());
    return 0;
}
