#include "x11/glyph_scale.h"

#include <algorithm>

#include "x11/glyph_search.h"

int AutoGlyphScale(int screenHeight) { return std::clamp((screenHeight + 540) / 1080, 1, 3); }

std::unique_ptr<Animation> LoadScaledGlyphSet(const std::vector<std::string>& candidates, int scale, ColorType layout,
                                              std::string& tried, std::string& found, std::string& note) {
    static const std::string kName = "glyph2.ani";
    std::string triedAll;
    for (int s = std::clamp(scale, 1, 3); s >= 1; --s) {
        std::vector<std::string> paths;
        for (const std::string& path : candidates) {
            const bool named = path.size() >= kName.size() + 1 &&
                               path.compare(path.size() - kName.size() - 1, std::string::npos, "/" + kName) == 0;
            if (s == 1 || named)
                paths.push_back(s == 1 ? path : path.substr(0, path.size() - 4) + "-" + std::to_string(s) + "x.ani");
        }
        std::unique_ptr<Animation> glyphs = LoadFirstGlyphSet(paths, layout, tried, found);
        if (glyphs != nullptr) {
            if (s < scale)
                note = "no usable glyph set at scale " + std::to_string(scale) + " (tried " + triedAll + "); using " +
                       found;
            return glyphs;
        }
        triedAll += (triedAll.empty() ? "" : ", ") + tried;
    }
    tried = triedAll;
    return nullptr;
}
