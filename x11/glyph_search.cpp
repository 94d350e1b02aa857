#include "x11/glyph_search.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diag/log_core.h"
#include "glyphs/file.h"
#include "glyphs/glyph_set.h"
#include "glyphs/graphics_loader.h"

namespace {

constexpr char kDataName[] = "vorlex/glyph2.ani";

bool Set(const char* value) { return value != nullptr && *value != '\0'; }

// Relative entries are to be ignored under the base-directory rules.
void AddData(std::vector<std::string>& out, const std::string& dir) {
    if (dir.empty() || dir[0] != '/') return;
    out.push_back(dir + (dir.back() == '/' ? "" : "/") + kDataName);
}

}  // namespace

std::vector<std::string> GlyphCandidates(const std::string& option, const char* dataHome, const char* dataDirs,
                                         const char* home, const std::string& programDir) {
    std::vector<std::string> out;
    if (!option.empty()) out.push_back(option);
    if (Set(dataHome))
        AddData(out, dataHome);
    else if (Set(home))
        AddData(out, std::string(home) + "/.local/share");
    const std::string dirs = Set(dataDirs) ? dataDirs : "/usr/local/share/:/usr/share/";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        AddData(out, dirs.substr(start, end - start));
        start = end + 1;
    }
    if (!programDir.empty()) out.push_back(programDir + "/glyph2.ani");
    return out;
}

std::unique_ptr<Animation> LoadFirstGlyphSet(const std::vector<std::string>& candidates, ColorType layout,
                                             std::string& tried, std::string& found) {
    tried.clear();
    for (const std::string& path : candidates) {
        if (!tried.empty()) tried += ", ";
        tried += path;
        std::FILE* probe = std::fopen(path.c_str(), "rb");
        if (probe == nullptr) {
            tried += std::string(" (") + std::strerror(errno) + ")";
            continue;
        }
        std::fclose(probe);
        File file(path.c_str(), File::kModeRead);
        if (file.OpenError() != File::kDone) {
            tried += " (cannot be opened)";
            continue;
        }
        GraphicsLoader loader;
        loader.SetPixelFormat(layout);
        // The loader reports only through the log; keep it off the terminal.
        InitErrorMsgAt("/dev/null");
        std::unique_ptr<Animation> glyphs(loader.LoadAnimation(file, false));
        StopErrorMsg();
        if (glyphs == nullptr) {
            tried += " (not a glyph animation file)";
        } else if (!IsUsableGlyphSet(glyphs.get())) {
            tried += " (too few glyphs)";
        } else {
            found = path;
            return glyphs;
        }
    }
    return nullptr;
}
