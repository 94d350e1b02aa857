// Glyph animation files of arbitrary bytes, loaded raw and LLE encoded; whatever loads is
// drawn cut at the edges of a guarded surface.
#include <memory>

#include "diag/log_core.h"
#include "display/glyph_blitter.h"
#include "fuzz/fuzz_input.h"
#include "glyphs/animation.h"
#include "glyphs/file.h"
#include "glyphs/glyph_set.h"
#include "glyphs/graphics_loader.h"
#include "tests/helpers/guarded_surface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Skipped for speed: a frame above 64 KB that the input cannot hold (a zeroed 1.4 MB block, then a short read).
    const size_t area = size >= 10 ? static_cast<size_t>(data[6] | data[7] << 8) * (data[8] | data[9] << 8) : 0;
    if (area * 3 > 65536 && area * 3 > size && area <= GraphicsLoader::kScratchPadCapacity) return -1;
    [[maybe_unused]] static const bool logging = InitErrorMsgAt("/dev/null");  // messages still formatted
    static MemoryFile input;
    static File file(input.path.c_str(), File::kModeRead);  // one descriptor, read from the start each time
    static GraphicsLoader loader;                           // its ScratchPad is large: one for all runs
    static GuardedSurface surface(40, 40);
    input.Set(data, size);
    loader.SetPixelFormat(colorType = static_cast<ColorType>(size & 1));
    clipRect = ClipRect{0, 0, 40, 40};
    file.SeekFromStart(0);
    std::unique_ptr<Animation> a(loader.LoadAnimation(file, size & 2));  // the size's low bits pick the modes
    if (a == nullptr || a->width > 48 || a->height > 48) return 0;       // larger cells only cost time
    FUZZ_CHECK(a->frameCount <= Animation::kMaxFrames && (a->compressed == 0 || !a->hasMaps));
    (void)IsUsableGlyphSet(a.get());
    const Pen pens[] = {{-a->width / 2, -a->height / 2}, {40 - a->width / 2, 40 - a->height / 2}, {4, 4}};
    for (int32_t f = 0; f < a->frameCount; ++f) {
        a->Draw(surface.Info(), pens[f % 3], f);
        a->DrawDimmed(surface.Info(), pens[(f + 1) % 3], f, f & 3);
    }
    FUZZ_CHECK(surface.GuardsIntact());
    return 0;
}
