#include <gtest/gtest.h>

#include <vector>

#include "app/frame_composer.h"
#include "helpers/clip_scope.h"
#include "helpers/guarded_surface.h"
#include "helpers/test_glyphs.h"

namespace {

struct Recorder {
    std::vector<int> cells;  // row, column, glyph, shade
    void Cell(int row, int column, int glyph, int shade) { cells.insert(cells.end(), {row, column, glyph, shade}); }
    void EndRow(int) {}
};

struct Scene {
    int width, height, glyphW, glyphH, extraPitch, density, highlight, layout, lle;
    uint64_t fingerprint;  // of 1,000 frames, recorded from the drawing one cell after another
};

// Sizes the grid as the saver does.
void SizeAndSeed(RainModel& m, const Scene& sc) {
    const GridSize grid = GridFor(sc.width, sc.height, sc.glyphW, sc.glyphH);
    ASSERT_TRUE(m.Allocate(grid.columns, grid.rows));
    RandomSource r(77);
    m.Seed(static_cast<unsigned>(sc.density), r);
}

}  // namespace

// The first frames against the model's draw requests: cell (row, column) at (column * w, row * h - 10),
// dimmed by its shade, clipped. All 1,000 frames (pixels, random state) fold into the fingerprint.
TEST(FrameComposer, FramesShowTheDrawRequestsAndKeepTheirFingerprint) {
    const Scene scenes[] = {
        {512, 384, 16, 20, 0, 300, 8, kColor555, 0, 0xA5BA6F73CFB2B5DCu},
        {512, 384, 16, 20, 0, 400, 30, kColor565, 0, 0xE9624B94AD947A76u},
        {331, 203, 12, 9, 5, 400, 100, kColor565, 0, 0x9759E3FE8E604D60u},  // cells shorter than the offset
        {331, 203, 13, 22, 3, 120, 50, kColor555, 1, 0x5D0EDE4DD09D201Eu},  // run-length glyphs with holes
        {64, 700, 8, 10, 0, 400, 30, kColor565, 0, 0x98275436142BE3BBu},    // more rows than a 64-bit mask
        {1100, 40, 8, 12, 2, 300, 8, kColor555, 0, 0x3A47187F0411591Du},    // rows drawn in parts
    };
    for (const Scene& sc : scenes) {
        SCOPED_TRACE(testing::Message() << sc.width << "x" << sc.height << " glyph " << sc.glyphW << "x" << sc.glyphH);
        ClipScope clip({0, 0, static_cast<uint16_t>(sc.width), static_cast<uint16_t>(sc.height)}, sc.layout);
        auto glyphs = MakeAnimation(sc.glyphW, sc.glyphH, 55, sc.lle != 0, 0, sc.lle != 0);
        RainModel drawn, twin;
        for (RainModel* m : {&drawn, &twin}) SizeAndSeed(*m, sc);
        RandomSource random, twinRandom;
        GuardedSurface s(sc.width, sc.height, sc.extraPitch);
        uint64_t h = 0xCBF29CE484222325u;
        for (int frame = 0; frame < 1000; ++frame) {
            ComposeFrame(drawn, random, sc.highlight, *glyphs, s.Info());
            for (int y = 0; y < sc.height; ++y)
                for (int x = 0; x < sc.width; ++x) h = (h ^ s.Info().pixels[y * s.Info().pitch + x]) * 0x100000001B3u;
            h = (h ^ random.State()) * 0x100000001B3u;
            if (frame >= 4 || sc.lle) continue;
            Recorder rec;
            twin.StepStreams(twinRandom, [] { return false; });
            twin.SweepCells(twinRandom, sc.highlight, rec, [] { return false; });
            std::vector<uint16_t> expected(static_cast<size_t>(sc.width) * sc.height, s.Fill());
            for (auto c = rec.cells.begin(); c != rec.cells.end(); c += 4) {
                const std::vector<uint16_t> px = TestFrame(c[2], sc.glyphW, sc.glyphH);
                for (int i = 0; i < sc.glyphW * sc.glyphH; ++i) {
                    const int x = c[1] * sc.glyphW + i % sc.glyphW, y = c[0] * sc.glyphH - 10 + i / sc.glyphW;
                    if (x < sc.width && y >= 0 && y < sc.height)
                        DimRow(&expected[y * sc.width + x], &px[i], 1, sc.layout, c[3]);
                }
            }
            for (int i = 0; i < sc.width * sc.height; ++i)
                ASSERT_EQ(s.At(i % sc.width, i / sc.width), expected[i]) << "frame " << frame << " pixel " << i;
        }
        EXPECT_EQ(h, sc.fingerprint) << std::hex << h;
        EXPECT_TRUE(s.GuardsIntact());
    }
}
