// Glyph animation files of arbitrary bytes: loading must fail cleanly or yield an
// Animation whose every frame can be drawn anywhere without touching memory outside
// the clip rectangle.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "diag/log_core.h"
#include "display/glyph_blitter.h"
#include "fuzz/guarded_surface.h"
#include "glyphs/animation.h"
#include "glyphs/file.h"
#include "glyphs/glyph_set.h"
#include "glyphs/graphics_loader.h"

namespace {

// The input lives in an in-memory file; the loader opens it afresh by path each run.
int memoryFile = -1;
char memoryPath[64];

void Check(bool condition, const char* what) {
    if (!condition) FuzzFail(what);
}

void CheckAnimation(const Animation& a, bool compress) {
    Check(a.width >= 1 && a.height >= 1, "frame size below 1x1");
    Check(static_cast<int64_t>(a.width) * a.height <= GraphicsLoader::kScratchPadCapacity, "frame beyond ScratchPad");
    Check(a.frameCount >= 0 && a.frameCount <= Animation::kMaxFrames, "frame count beyond the table");
    Check(a.compressed == 0 || a.compressed == 1, "compressed flag not 0 or 1");
    Check(!(a.compressed && a.hasMaps), "LLE frames with maps");
    if (!compress) Check(a.compressed == 0, "raw load gave LLE frames");
    for (int i = 0; i < Animation::kMaxFrames; ++i) {
        Check((a.frames[i] != nullptr) == (i < a.frameCount), "frame slots do not match the frame count");
        Check(a.maps[i] == nullptr || (a.hasMaps && i < a.frameCount), "stray map slot");
    }
}

// Draws every frame fully visible and cut at each edge of a small clip rectangle; stray
// writes add up, so one look at the pixels outside the clip after all draws finds any.
void DrawAll(Animation& a, const uint8_t* data, size_t size) {
    if (static_cast<int64_t>(a.width) * a.height > 64 * 64) return;  // keeps runs fast
    static GuardedSurface surface(96, 96);
    clipRect = ClipRect{8, 8, 88, 88};
    const Pen pens[] = {{16, 16},
                        {8 - a.width / 2, 20},
                        {88 - a.width / 2, 20},
                        {20, 8 - a.height / 2},
                        {20, 88 - a.height / 2},
                        {-a.width, 0},
                        {88, 88}};
    surface.Fill(static_cast<uint16_t>(size));
    for (int32_t f = 0; f < a.frameCount; ++f) {
        for (const Pen& pen : pens) {
            a.Draw(surface.Info(), pen, f);
            if (a.compressed == 0) a.DrawDimmed(surface.Info(), pen, f, 1 + (data[size - 1] & 3));
        }
    }
    Check(surface.OnlyClipChanged(), "a draw wrote outside the clip rectangle");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    memoryFile = memfd_create("glyph2.ani", 0);
    if (memoryFile < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    std::snprintf(memoryPath, sizeof memoryPath, "/proc/self/fd/%d", memoryFile);
    // Messages go through the log's formatting, then nowhere.
    InitErrorMsgAt("/dev/null");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ftruncate(memoryFile, 0) != 0 || pwrite(memoryFile, data, size, 0) != static_cast<ssize_t>(size)) std::abort();

    GraphicsLoader loader;
    for (int layout = 0; layout < 2; ++layout) {
        for (bool compress : {false, true}) {
            loader.SetPixelFormat(layout);
            colorType = layout;
            File file(memoryPath, File::kModeRead);
            Check(file.OpenError() == File::kDone, "memory file did not open");
            std::unique_ptr<Animation> a(loader.LoadAnimation(file, compress));
            if (a == nullptr) continue;
            Check(size >= 12, "an Animation from less than a header");
            CheckAnimation(*a, compress);
            (void)IsUsableGlyphSet(a.get());
            if (size > 0) DrawAll(*a, data, size);
        }
    }
    return 0;
}
