// Glyph files of arbitrary bytes, loaded raw or LLE-compressed; what loads is drawn across a surface's edges.
// The same bytes are read as a bare pixel block too.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "diag/log_core.h"
#include "fuzz/fuzz_input.h"
#include "glyphs/animation.h"
#include "glyphs/file.h"
#include "glyphs/glyph_set.h"
#include "glyphs/image.h"

void Fuzz(FuzzReader& in) {
    // Skipped for speed: a frame above 64 KB that the input cannot hold (a zeroed 1.4 MB block, then a short read).
    FuzzReader header{in.data, in.size, 6};
    const size_t area = header.Bytes(2) * header.Bytes(2);
    if (area * 3 > 65536 && area * 3 > in.size && area <= GraphicsLoader::kScratchPadCapacity) return;
    [[maybe_unused]] static const bool logging = InitErrorMsgAt("/dev/null");  // messages still formatted
    static const int fd = memfd_create("fuzz", 0);  // the input behind a path, without a disk
    static GuardedSurface surface(40, 40);
    FUZZ_CHECK(ftruncate(fd, 0) == 0 && pwrite(fd, in.data, in.size, 0) == static_cast<ssize_t>(in.size));
    clipRect = ClipRect{0, 0, 40, 40};
    File file(("/proc/self/fd/" + std::to_string(fd)).c_str(), File::kModeRead);
    // The size's low bits pick the modes; the first two bytes, as small signed numbers, a pixel block's sizes.
    GraphicsLoader& loader = Loader(in.size);
    std::unique_ptr<Animation> a(loader.LoadAnimation(file, in.size & 2));
    const int32_t width = static_cast<int8_t>(in.Byte()), height = static_cast<int8_t>(in.Byte());
    file.SeekFromStart(0);
    std::unique_ptr<Image> image(loader.ReadRawImage(file, width, height, in.size & 2));
    file.SeekFromStart(0);
    (void)loader.ReadRawToSurface(file, width, height, surface.Info());
    if (a == nullptr || a->width > 48 || a->height > 48) return;  // larger cells only cost time
    FUZZ_CHECK(a->frameCount <= Animation::kMaxFrames && (a->compressed == 0 || !a->hasMaps));
    (void)IsUsableGlyphSet(a.get());
    const Pen pens[] = {{-a->width / 2, -a->height / 2}, {40 - a->width / 2, 40 - a->height / 2}, {4, 4}};
    for (int32_t f = 0; f < a->frameCount; ++f) {
        a->Draw(surface.Info(), pens[f % 3], f);
        a->DrawDimmed(surface.Info(), pens[(f + 1) % 3], f, f & 3);
    }
    FUZZ_CHECK(surface.GuardsIntact());
}
