// Glyph files of arbitrary bytes, loaded raw or LLE-compressed; what loads is drawn across a surface's edges.
#include "diag/log_core.h"
#include "fuzz/fuzz_input.h"
#include "glyphs/animation.h"
#include "glyphs/file.h"
#include "glyphs/glyph_set.h"

void Fuzz(FuzzReader& in) {
    // Skipped for speed: a frame above 64 KB that the input cannot hold (a zeroed 1.4 MB block, then a short read).
    FuzzReader header{in.data, in.size, 6};
    const size_t area = header.Bytes(2) * header.Bytes(2);
    if (area * 3 > 65536 && area * 3 > in.size && area <= GraphicsLoader::kScratchPadCapacity) return;
    [[maybe_unused]] static const bool logging = InitErrorMsgAt("/dev/null");  // messages still formatted
    static MemoryFile input("/in.ani");
    static GuardedSurface surface(40, 40);
    input.Set(in.data, in.size);
    clipRect = ClipRect{0, 0, 40, 40};
    File file(input.path.c_str(), File::kModeRead);
    // The size's low bits pick the modes.
    std::unique_ptr<Animation> a(Loader(in.size).LoadAnimation(file, in.size & 2));
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
