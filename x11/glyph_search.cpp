#include "x11/glyph_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "diag/log_core.h"
#include "glyphs/file.h"
#include "glyphs/glyph_set.h"
#include "glyphs/graphics_loader.h"

namespace {

constexpr char kDataName[] = "vorlex/glyph2.ani";

bool Set(const char* value) { return value != nullptr && *value != '\0'; }

// Relative entries are to be ignored under the base-directory rules.
bool Absolute(const char* dir) { return dir != nullptr && dir[0] == '/'; }

void Add(std::vector<std::string>& out, const std::string& path) {
    if (std::find(out.begin(), out.end(), path) == out.end()) out.push_back(path);
}

void AddData(std::vector<std::string>& out, const std::string& dir) {
    if (!Absolute(dir.c_str())) return;
    Add(out, std::filesystem::path(dir + "/" + kDataName).lexically_normal().string());
}

// Opens path without waiting on a FIFO or a device, and keeps it only when it is a regular
// file; -1 with why otherwise.
int OpenRegular(const std::string& path, std::string& why) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st;
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "not a regular file";
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::vector<std::string> GlyphCandidates(const char* dataHome, const char* dataDirs, const char* home,
                                         const std::string& programDir, const std::string& dataFromProgram) {
    std::vector<std::string> out;
    if (Absolute(dataHome))
        AddData(out, dataHome);
    else if (Absolute(home))
        AddData(out, std::string(home) + "/.local/share");
    const std::string dirs = Set(dataDirs) ? dataDirs : "/usr/local/share/:/usr/share/";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        AddData(out, dirs.substr(start, end - start));
        start = end + 1;
    }
    if (programDir.empty()) return out;
    Add(out, programDir + "/glyph2.ani");
    Add(out, std::filesystem::path(programDir + "/" + dataFromProgram + "/glyph2.ani").lexically_normal().string());
    return out;
}

std::unique_ptr<Animation> LoadFirstGlyphSet(const std::vector<std::string>& candidates, ColorType layout,
                                             std::string& tried, std::string& found) {
    tried.clear();
    for (const std::string& path : candidates) {
        if (!tried.empty()) tried += ", ";
        tried += path;
        std::string why;
        const int fd = OpenRegular(path, why);
        if (fd < 0) {
            tried += " (" + why + ")";
            continue;
        }
        // The file checked above, by its descriptor: it cannot be swapped for a FIFO meanwhile.
        File file(("/proc/self/fd/" + std::to_string(fd)).c_str(), File::kModeRead);
        close(fd);
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
