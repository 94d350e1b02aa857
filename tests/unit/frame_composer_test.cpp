#include <gtest/gtest.h>

#include <vector>

#include "app/frame_composer.h"
#include "display/glyph_blitter.h"
#include "helpers/clip_scope.h"
#include "helpers/guarded_surface.h"
#include "helpers/test_glyphs.h"

namespace {

struct Request {
    int row, column, glyph, shade;
};

struct Recorder {
    std::vector<Request> requests;
    void Cell(int row, int column, int glyph, int shade) { requests.push_back({row, column, glyph, shade}); }
    void EndRow(int) {}
};

struct Scene {
    int width, height, glyphW, glyphH;
    unsigned density;
    int highlight;
    ColorType layout;
};

// Sizes the grid the way the saver does: one column and two rows more than fit.
void SizeAndSeed(RainModel& m, const Scene& sc, uint32_t seed) {
    ASSERT_TRUE(m.Allocate(sc.width / sc.glyphW + 1, sc.height / sc.glyphH + 2));
    RandomSource r(seed);
    m.Seed(sc.density, r);
}

uint16_t Shade(uint16_t p, int shade, ColorType layout) {
    uint16_t out = 0;
    DimRow(&out, &p, 1, layout, shade);
    return out;
}

}  // namespace

// Every cell lands at (column * w, row * h - 10) with the glyph and shade the model asked for,
// and nothing is written outside the clip rectangle, frame after frame.
TEST(FrameComposer, WholeFramesMatchTheModelsDrawRequests) {
    const Scene scenes[] = {
        {50, 40, 6, 14, 40, 30, kColor565},  // cells taller than the 10-pixel offset
        {61, 37, 7, 9, 25, 100, kColor555},  // cells shorter than it: the top row is invisible
        {48, 30, 8, 10, 0, 8, kColor565},    // no streams: blank glyphs only
    };
    for (const Scene& sc : scenes) {
        SCOPED_TRACE(testing::Message() << sc.width << "x" << sc.height << " glyph " << sc.glyphW << "x" << sc.glyphH);
        ClipScope clip({0, 0, static_cast<uint16_t>(sc.width), static_cast<uint16_t>(sc.height)}, sc.layout);
        auto glyphs = MakeAnimation(sc.glyphW, sc.glyphH, 55, false);
        RainModel drawn, twin;
        SizeAndSeed(drawn, sc, 2024);
        SizeAndSeed(twin, sc, 2024);
        RandomSource drawRandom, twinRandom;
        GuardedSurface s(sc.width, sc.height);
        for (int frame = 0; frame < 6; ++frame) {
            ComposeFrame(drawn, drawRandom, sc.highlight, *glyphs, s.Info());
            Recorder rec;
            twin.StepStreams(twinRandom, [] { return false; });
            twin.SweepCells(twinRandom, sc.highlight, rec, [] { return false; });
            ASSERT_EQ(rec.requests.size(), static_cast<size_t>(drawn.Columns() * drawn.Rows()));

            std::vector<uint16_t> expected(static_cast<size_t>(sc.width) * sc.height, s.Fill());
            for (const Request& q : rec.requests) {
                const std::vector<uint16_t> px = TestFrame(q.glyph, sc.glyphW, sc.glyphH);
                for (int y = 0; y < sc.glyphH; ++y)
                    for (int x = 0; x < sc.glyphW; ++x) {
                        const int sx = q.column * sc.glyphW + x, sy = q.row * sc.glyphH - 10 + y;
                        if (sx < 0 || sy < 0 || sx >= sc.width || sy >= sc.height) continue;
                        expected[sy * sc.width + sx] = Shade(px[y * sc.glyphW + x], q.shade, sc.layout);
                    }
            }
            int bad = 0;
            for (int y = 0; y < sc.height; ++y)
                for (int x = 0; x < sc.width; ++x)
                    if (s.At(x, y) != expected[y * sc.width + x] && ++bad < 4)
                        ADD_FAILURE() << "frame " << frame << " pixel (" << x << ", " << y << ")";
            ASSERT_EQ(bad, 0);
            ASSERT_TRUE(s.GuardsIntact());
        }
        EXPECT_EQ(drawRandom.State(), twinRandom.State());
    }
}

TEST(FrameComposer, StopPartWayLeavesTheRestOfTheSurfaceUntouched) {
    ClipScope clip({0, 0, 40, 30}, kColor565);
    auto glyphs = MakeAnimation(8, 12, 55, false);
    RainModel m;
    SizeAndSeed(m, {40, 30, 8, 12, 50, 8, kColor565}, 5);
    RandomSource r;
    GuardedSurface s(40, 30);
    // Let the step finish, then stop the sweep after the bottom row and two cells of the next row up.
    m.StepStreams(r, [] { return false; });
    int tests = 0;
    const int allow = 1 + m.Columns() + 1 + 2;
    FrameComposer composer(*glyphs, s.Info(), Pen{0, (m.Rows() - 1) * 12 - 10});
    m.SweepCells(r, 8, composer, [&] { return ++tests > allow; });
    composer.Flush();
    // Rows 0 and 1 of the grid (surface rows up to 13) were never reached.
    for (int y = 0; y < 14; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(s.At(x, y), s.Fill()) << x << ", " << y;
    // Two cells of grid row 2 were drawn (surface rows 14 ... 25, columns 0 ... 15).
    EXPECT_NE(s.At(0, 14), s.Fill());
    EXPECT_NE(s.At(15, 14), s.Fill());
    EXPECT_EQ(s.At(16, 14), s.Fill());
    EXPECT_TRUE(s.GuardsIntact());
}

// 1,000 frames of each scene folded into one number (every pixel and the random state after
// every frame), recorded from the cell-by-cell drawing: a faster drawing order must keep them.
TEST(FrameComposer, ThousandFramesKeepTheirFingerprint) {
    struct Case {
        Scene sc;
        int extraPitch;
        bool lle;
        uint64_t expected;
    } cases[] = {
        {{512, 384, 16, 20, 300, 8, kColor555}, 0, false, 0xA5BA6F73CFB2B5DCu},
        {{512, 384, 16, 20, 400, 30, kColor565}, 0, false, 0xE9624B94AD947A76u},
        {{331, 203, 12, 9, 400, 100, kColor565}, 5, false, 0x9759E3FE8E604D60u},
        {{331, 203, 13, 22, 120, 50, kColor555}, 3, true, 0x3F4C3C36D1A75A80u},
    };
    for (const Case& c : cases) {
        const Scene& sc = c.sc;
        SCOPED_TRACE(testing::Message() << sc.width << "x" << sc.height << " glyph " << sc.glyphW << "x" << sc.glyphH);
        ClipScope clip({0, 0, static_cast<uint16_t>(sc.width), static_cast<uint16_t>(sc.height)}, sc.layout);
        auto glyphs = MakeAnimation(sc.glyphW, sc.glyphH, 55, c.lle, 0, c.lle);
        RainModel m;
        SizeAndSeed(m, sc, 77);
        RandomSource r;
        GuardedSurface s(sc.width, sc.height, c.extraPitch);
        uint64_t h = 0xCBF29CE484222325u;
        for (int frame = 0; frame < 1000; ++frame) {
            ComposeFrame(m, r, sc.highlight, *glyphs, s.Info());
            for (int y = 0; y < sc.height; ++y) {
                const uint16_t* row = s.Info().pixels + y * s.Info().pitch;
                for (int x = 0; x < sc.width; ++x) h = (h ^ row[x]) * 0x100000001B3u;
            }
            h = (h ^ r.State()) * 0x100000001B3u;
        }
        EXPECT_EQ(h, c.expected) << std::hex << h;
        EXPECT_TRUE(s.GuardsIntact());
    }
}
