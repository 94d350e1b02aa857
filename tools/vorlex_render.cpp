// vorlex-render: the saver's rain without a display. Loads a glyph file through the
// saver's loader, sizes and seeds the rain as the window procedure does and composes
// frames as the render thread does, into memory, then writes them as pictures.

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_composer.h"
#include "diag/log_core.h"
#include "display/glyph_blitter.h"
#include "glyphs/animation.h"
#include "glyphs/file.h"
#include "glyphs/glyph_set.h"
#include "glyphs/graphics_loader.h"
#include "rain/rain_model.h"
#include "tools/png_writer.h"
#include "tools/render_options.h"
#include "tools/tga_writer.h"

extern char** environ;

namespace {

#ifndef VORLEX_DEFAULT_GLYPHS
#define VORLEX_DEFAULT_GLYPHS "glyph2.ani"
#endif

bool IsExecutable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

// ImageMagick's convert on PATH, or empty.
std::string FindConvert() {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        if (IsExecutable(dir + "/convert")) return dir + "/convert";
        start = end + 1;
    }
    return std::string();
}

// Runs a program without a shell; true when it exited with 0.
bool Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string FrameName(const std::string& dir, int index) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%05d.png", index);
    return dir + name;
}

bool MakeDirectory(const std::string& dir, std::string& error) {
    struct stat st;
    if (stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        error = dir + ": not a directory";
        return false;
    }
    if (mkdir(dir.c_str(), 0777) != 0) {
        error = dir + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

// Loads and checks the glyph set; on failure says why in error.
std::unique_ptr<Animation> LoadGlyphs(const std::string& path, ColorType layout, std::string& error) {
    // The loader stays silent about a file it cannot open; ask the system why.
    std::FILE* probe = std::fopen(path.c_str(), "rb");
    if (probe == nullptr) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::fclose(probe);
    File file(path.c_str(), File::kModeRead);
    if (file.OpenError() != File::kDone) {
        error = path + ": cannot be opened";
        return nullptr;
    }
    GraphicsLoader loader;
    loader.SetPixelFormat(layout);
    // The loader says why it failed only through the log; a throwaway log catches it.
    InitErrorMsgAt("/dev/null");
    std::unique_ptr<Animation> glyphs(loader.LoadAnimation(file, false));
    const FixedString reason = RememberedErrorMsg();
    const bool reasonLogged = MostSevereLevel() >= LOG_ERROR;
    StopErrorMsg();
    if (glyphs == nullptr) {
        error = path + ": not a glyph animation file";
        if (reasonLogged) error += std::string(" (") + reason.Text() + ")";
        return nullptr;
    }
    if (!IsUsableGlyphSet(glyphs.get())) {
        error = path + ": not a usable glyph set: " + std::to_string(glyphs->frameCount) + " frames of " +
                std::to_string(glyphs->width) + "x" + std::to_string(glyphs->height) + ", the rain needs at least " +
                std::to_string(kRequiredGlyphFrames) + " frames of at least 1x1";
        return nullptr;
    }
    return glyphs;
}

int Render(const RenderOptions& options) {
    const std::string glyphPath = options.glyphPath.empty() ? VORLEX_DEFAULT_GLYPHS : options.glyphPath;
    std::string error;
    const std::string convert = options.gifPath.empty() ? std::string() : FindConvert();
    if (!options.gifPath.empty() && convert.empty()) {
        std::fprintf(stderr, "vorlex-render: --gif needs ImageMagick's convert, which is not on PATH\n");
        return kExitOutput;
    }

    std::unique_ptr<Animation> glyphs = LoadGlyphs(glyphPath, options.layout, error);
    if (glyphs == nullptr) {
        std::fprintf(stderr, "vorlex-render: %s\n", error.c_str());
        return kExitGlyphs;
    }

    // Sized and seeded as the window procedure does it.
    const GridSize grid = GridFor(options.width, options.height, glyphs->width, glyphs->height);
    RainModel model;
    if (!model.Allocate(grid.columns, grid.rows)) {
        std::fprintf(stderr, "vorlex-render: cannot make a grid of %d x %d cells\n", grid.columns, grid.rows);
        return kExitFailure;
    }
    RandomSource seeding(options.seed);
    model.Seed(static_cast<unsigned>(options.density), seeding);
    clipRect = ClipRect{0, 0, static_cast<uint16_t>(options.width), static_cast<uint16_t>(options.height)};
    colorType = options.layout;

    std::vector<uint16_t> pixels(static_cast<size_t>(options.width) * static_cast<size_t>(options.height));
    const SurfaceInfo surface{pixels.data(), options.width, options.height, options.width};
    // The render thread's random numbers start at 1, apart from the seeding ones.
    RandomSource drawing(1);

    // GIF frames go through PNG files: into the frame directory, or a temporary one.
    std::string frameDir = options.frameDir;
    std::string tempDir;
    if (frameDir.empty() && !options.gifPath.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vorlex-render.XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr) {
            std::fprintf(stderr, "vorlex-render: cannot make a temporary directory: %s\n", std::strerror(errno));
            return kExitOutput;
        }
        tempDir = frameDir = name.data();
    } else if (!frameDir.empty() && !MakeDirectory(frameDir, error)) {
        std::fprintf(stderr, "vorlex-render: %s\n", error.c_str());
        return kExitOutput;
    }

    int result = kExitOk;
    for (int f = 1; f <= options.frames && result == kExitOk; ++f) {
        ComposeFrame(model, drawing, options.highlight, *glyphs, surface);
        if (!frameDir.empty() && !WritePng(FrameName(frameDir, f), surface, options.layout, error))
            result = kExitOutput;
    }
    if (result == kExitOk && !options.pngPath.empty() && !WritePng(options.pngPath, surface, options.layout, error))
        result = kExitOutput;
    if (result == kExitOk && !options.tgaPath.empty() && !WriteTga(options.tgaPath, surface, options.layout, error))
        result = kExitOutput;
    if (result == kExitOk && !options.gifPath.empty()) {
        // 30 ms a frame, the saver's pace; the pattern is expanded (sorted) by convert.
        if (!Run({convert, "-delay", "3", "-loop", "0", frameDir + "/frame_*.png", "-layers", "Optimize",
                  options.gifPath})) {
            error = options.gifPath + ": convert failed";
            result = kExitOutput;
        }
    }
    if (!tempDir.empty()) {
        for (int f = 1; f <= options.frames; ++f) std::remove(FrameName(tempDir, f).c_str());
        rmdir(tempDir.c_str());
    }
    if (result != kExitOk) {
        std::fprintf(stderr, "vorlex-render: %s\n", error.c_str());
        return result;
    }

    std::printf("vorlex-render: %d frame%s of %dx%d (%s), %dx%d cells of %dx%d, %d streams, %d%% highlight, seed %u\n",
                options.frames, options.frames == 1 ? "" : "s", options.width, options.height,
                options.layout == kColor565 ? "5-6-5" : "5-5-5", grid.columns, grid.rows, glyphs->width, glyphs->height,
                options.density, options.highlight, options.seed);
    if (!options.frameDir.empty())
        std::printf("  frames: %s/frame_00001.png ... frame_%05d.png\n", options.frameDir.c_str(), options.frames);
    if (!options.pngPath.empty()) std::printf("  last frame: %s\n", options.pngPath.c_str());
    if (!options.tgaPath.empty()) std::printf("  last frame (TGA): %s\n", options.tgaPath.c_str());
    if (!options.gifPath.empty()) std::printf("  animation: %s\n", options.gifPath.c_str());
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    std::string error;
    switch (ParseRenderOptions(argc, argv, options, error)) {
        case ParseResult::kHelp:
            std::fputs(RenderUsage(), stdout);
            return kExitOk;
        case ParseResult::kError:
            std::fprintf(stderr, "vorlex-render: %s\nTry 'vorlex-render --help'.\n", error.c_str());
            return kExitUsage;
        case ParseResult::kRun:
            break;
    }
    return Render(options);
}
