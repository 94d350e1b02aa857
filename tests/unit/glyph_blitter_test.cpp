#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <vector>

#include "display/glyph_blitter.h"
#include "helpers/clip_scope.h"
#include "helpers/guarded_surface.h"
#include "helpers/test_glyphs.h"

namespace {

constexpr uint16_t kTransparent = 0x7C1F;

// What the surface must hold after drawing frame f at the pen: the frame's pixel
// (transformed) where the cell meets the clip rectangle, the old content elsewhere.
void ExpectDrawn(
    const GuardedSurface& s, Pen pen, int w, int h, int frame, bool transparentHoles,
    const std::function<uint16_t(uint16_t)>& transform = [](uint16_t p) { return p; }) {
    const std::vector<uint16_t> px = TestFrame(frame, w, h, kTransparent, transparentHoles);
    int mismatches = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            uint16_t expected = s.Fill();
            const bool inClip = x >= clipRect.left && x < clipRect.right && y >= clipRect.top && y < clipRect.bottom;
            const long long cx = static_cast<long long>(x) - pen.x, cy = static_cast<long long>(y) - pen.y;
            if (inClip && cx >= 0 && cx < w && cy >= 0 && cy < h) {
                const uint16_t p = px[static_cast<size_t>(cy) * w + cx];
                if (!(transparentHoles && p == kTransparent)) expected = transform(p);
            }
            if (s.At(x, y) != expected && ++mismatches <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << s.At(x, y) << ", expected " << expected;
        }
    EXPECT_TRUE(s.GuardsIntact()) << "a write landed outside the surface";
}

struct PenCase {
    const char* name;
    Pen pen;
};

// Clip rectangle (3, 2)-(23, 17) on a 30 x 22 surface; cells of 6 x 5.
const ClipRect kClip = {3, 2, 23, 17};
const int kW = 6, kH = 5;
const std::vector<PenCase> kPens = {
    {"inside", {8, 6}},
    {"touching left and top", {3, 2}},
    {"ending exactly on right and bottom", {17, 12}},
    {"cut on the left", {1, 6}},
    {"cut on the left by all but one column", {-2, 6}},
    {"just outside the left", {-3, 6}},
    {"cut on the top", {8, 0}},
    {"top row at y = -10 style", {8, -1}},
    {"just outside the top", {8, -3}},
    {"cut on the right", {19, 6}},
    {"one column left on the right", {22, 6}},
    {"starting on the right edge", {23, 6}},
    {"cut on the bottom", {8, 14}},
    {"one row at the bottom", {8, 16}},
    {"starting on the bottom edge", {8, 17}},
    {"cut top left corner", {0, -1}},
    {"cut bottom right corner", {20, 15}},
    {"far away", {INT_MIN + 5, INT_MAX - 5}},
    {"far away the other way", {INT_MAX - 3, INT_MIN + 3}},
};

}  // namespace

TEST(GlyphBlitter, RawFramesAreCopiedInsideTheClipOnly) {
    ClipScope clip(kClip);
    auto anim = MakeAnimation(kW, kH, 3, false);
    for (const PenCase& c : kPens) {
        SCOPED_TRACE(c.name);
        GuardedSurface s(30, 22);
        anim->Draw(s.Info(), c.pen, 2);
        EXPECT_EQ(anim->currentFrame, 2);
        ExpectDrawn(s, c.pen, kW, kH, 2, false);
    }
}

TEST(GlyphBlitter, RunLengthFramesAreDecodedInsideTheClipOnly) {
    ClipScope clip(kClip);
    for (bool holes : {false, true}) {
        auto anim = MakeAnimation(kW, kH, 3, true, kTransparent, holes);
        for (const PenCase& c : kPens) {
            SCOPED_TRACE(testing::Message() << c.name << (holes ? " with transparent runs" : " opaque"));
            GuardedSurface s(30, 22);
            anim->Draw(s.Info(), c.pen, 1);
            ExpectDrawn(s, c.pen, kW, kH, 1, holes);
        }
    }
}

TEST(GlyphBlitter, RunLengthRunsStraddlingEitherCutLandAtTheirOwnPositions) {
    // Row of 12: runs at 1-3, 5, 8-10; cuts at every column on both sides.
    const int w = 12, h = 3;
    std::vector<uint16_t> px(w * h, kTransparent);
    for (int y = 0; y < h; ++y)
        for (int x : {1, 2, 3, 5, 8, 9, 10}) px[y * w + x] = TestPixel(0, x, y);
    px[2 * w + 0] = kTransparent;  // row 2 stays as in row 0, row 1 fully transparent:
    for (int x = 0; x < w; ++x) px[1 * w + x] = kTransparent;
    Animation anim(w, h, 1, 1);
    const std::vector<uint16_t> lle = EncodeLle(px, w, h, kTransparent);
    ASSERT_EQ(lle[1 + 2 + 3 + 2 + 1 + 2 + 3], 0) << "a fully transparent row is a single 0";
    anim.frames[0] = new uint16_t[lle.size()];
    std::copy(lle.begin(), lle.end(), anim.frames[0]);
    for (int x = -w; x <= 20; ++x) {
        ClipScope clip({4, 0, 18, 3});
        GuardedSurface s(24, 3);
        anim.Draw(s.Info(), Pen{x, 0}, 0);
        for (int y = 0; y < h; ++y)
            for (int sx = 0; sx < 24; ++sx) {
                const int cx = sx - x;
                uint16_t expected = s.Fill();
                if (sx >= 4 && sx < 18 && cx >= 0 && cx < w && px[y * w + cx] != kTransparent)
                    expected = px[y * w + cx];
                ASSERT_EQ(s.At(sx, y), expected) << "pen x " << x << " at (" << sx << ", " << y << ")";
            }
        ASSERT_TRUE(s.GuardsIntact());
    }
}

TEST(GlyphBlitter, ThreeByOneRunLengthFrameFromTheExample) {
    ClipScope clip({0, 0, 20, 1});
    Animation anim(3, 1, 1, 1);
    anim.frames[0] = new uint16_t[4]{2, 1, 1, 0x0BEE};
    GuardedSurface s(20, 1);
    anim.Draw(s.Info(), Pen{10, 0}, 0);
    EXPECT_EQ(s.At(10, 0), s.Fill());
    EXPECT_EQ(s.At(11, 0), 0x0BEE);
    EXPECT_EQ(s.At(12, 0), s.Fill());
    EXPECT_TRUE(s.GuardsIntact());
}

TEST(GlyphBlitter, CellTallerThanTheOffsetLosesItsTopRowsAtMinusTen) {
    ClipScope clip({0, 0, 40, 30});
    for (bool lle : {false, true}) {
        SCOPED_TRACE(lle ? "run-length" : "raw");
        auto anim = MakeAnimation(8, 16, 1, lle, kTransparent, lle);
        GuardedSurface s(40, 30);
        anim->Draw(s.Info(), Pen{4, -10}, 0);
        ExpectDrawn(s, Pen{4, -10}, 8, 16, 0, lle);
    }
}

TEST(GlyphBlitter, FramesOutsideTheTableAreRecordedButNotDrawn) {
    ClipScope clip(kClip);
    for (bool lle : {false, true}) {
        auto anim = MakeAnimation(kW, kH, 2, lle);
        for (int frame : {2, 99, 100, 1000, -1, INT_MIN}) {
            GuardedSurface s(30, 22);
            anim->Draw(s.Info(), Pen{8, 6}, frame);
            EXPECT_EQ(anim->currentFrame, frame);
            anim->DrawDimmed(s.Info(), Pen{8, 6}, frame, 1);
            EXPECT_EQ(anim->currentFrame, frame);
            ExpectDrawn(s, Pen{-100, -100}, kW, kH, 0, false);
        }
    }
}

TEST(GlyphBlitter, NothingIsDrawnBeforeTheClipRectangleIsSet) {
    ClipScope clip({0, 0, 0, 0});
    auto anim = MakeAnimation(kW, kH, 1, false);
    GuardedSurface s(30, 22);
    anim->Draw(s.Info(), Pen{0, 0}, 0);
    anim->DrawDimmed(s.Info(), Pen{0, 0}, 0, 2);
    ExpectDrawn(s, Pen{-100, -100}, kW, kH, 0, false);
}

TEST(GlyphBlitter, DimmedDrawingAtEachShadeAndLayout) {
    struct Case {
        ColorType layout;
        int shade;
        uint16_t mask;
        int shift;
    };
    const Case cases[] = {
        {kColor555, 1, 0x7BDE, 1}, {kColor555, 2, 0x739C, 2}, {kColor555, 3, 0x6318, 3},
        {kColor565, 1, 0xF7DE, 1}, {kColor565, 2, 0xE79C, 2}, {kColor565, 3, 0xC718, 3},
        {kColor565, 0, 0xFFFF, 0}, {kColor565, 4, 0xFFFF, 0}, {kColor555, -1, 0xFFFF, 0},
    };
    auto anim = MakeAnimation(kW, kH, 1, false);
    for (const Case& c : cases) {
        for (const PenCase& p : kPens) {
            SCOPED_TRACE(testing::Message() << "layout " << c.layout << " shade " << c.shade << " " << p.name);
            ClipScope clip(kClip, c.layout);
            GuardedSurface s(30, 22);
            anim->DrawDimmed(s.Info(), p.pen, 0, c.shade);
            ExpectDrawn(s, p.pen, kW, kH, 0, false,
                        [&](uint16_t px) { return static_cast<uint16_t>((px & c.mask) >> c.shift); });
        }
    }
}

TEST(GlyphBlitter, DimmedDrawingOfRunLengthFramesDrawsNothing) {
    ClipScope clip(kClip);
    auto anim = MakeAnimation(kW, kH, 1, true, kTransparent, true);
    GuardedSurface s(30, 22);
    anim->DrawDimmed(s.Info(), Pen{8, 6}, 0, 1);
    EXPECT_EQ(anim->currentFrame, 0);
    ExpectDrawn(s, Pen{-100, -100}, kW, kH, 0, false);
}

TEST(DimRow, EveryPixelOfBothLayoutsDimsEachChannelSeparately) {
    for (ColorType layout : {kColor555, kColor565}) {
        const int redShift = layout == kColor565 ? 11 : 10;
        const int greenBits = layout == kColor565 ? 6 : 5;
        const int limit = layout == kColor565 ? 0x10000 : 0x8000;
        for (int shade = 1; shade <= 3; ++shade) {
            std::vector<uint16_t> src(limit), dst(limit);
            for (int p = 0; p < limit; ++p) src[p] = static_cast<uint16_t>(p);
            DimRow(dst.data(), src.data(), limit, layout, shade);
            for (int p = 0; p < limit; ++p) {
                const int r = (p >> redShift) & 31, g = (p >> 5) & ((1 << greenBits) - 1), b = p & 31;
                const int expected = ((r >> shade) << redShift) | ((g >> shade) << 5) | (b >> shade);
                ASSERT_EQ(dst[p], expected) << "layout " << layout << " shade " << shade << " pixel " << p;
            }
        }
    }
}

TEST(DimRow, KnownValues) {
    struct Case {
        ColorType layout;
        int shade;
        uint16_t in, out;
    };
    const Case cases[] = {
        {kColor555, 1, 0x7FFF, 0x3DEF}, {kColor555, 2, 0x7FFF, 0x1CE7}, {kColor555, 3, 0x7FFF, 0x0C63},
        {kColor565, 1, 0xFFFF, 0x7BEF}, {kColor565, 2, 0xFFFF, 0x39E7}, {kColor565, 3, 0xFFFF, 0x18E3},
        {kColor565, 1, 0x07E0, 0x03E0},
    };
    for (const Case& c : cases) {
        uint16_t out = 0;
        DimRow(&out, &c.in, 1, c.layout, c.shade);
        EXPECT_EQ(out, c.out) << std::hex << "layout " << c.layout << " shade " << c.shade << " of " << c.in;
    }
}

TEST(RowOperations, WriteExactlyNPixelsAtAnyAlignment) {
    std::vector<std::function<void(uint16_t*, const uint16_t*, int32_t)>> ops = {CopyRow};
    for (ColorType layout : {kColor555, kColor565})
        for (int shade = 1; shade <= 3; ++shade)
            ops.push_back([=](uint16_t* d, const uint16_t* s, int32_t n) { DimRow(d, s, n, layout, shade); });
    uint16_t src[16];
    for (int i = 0; i < 16; ++i) src[i] = 0x7FFF;
    for (size_t op = 0; op < ops.size(); ++op)
        for (int offset = 0; offset < 2; ++offset)  // offset 1: address 2 modulo 4
            for (int n = -2; n <= 11; ++n) {
                alignas(4) uint16_t dst[16];
                for (uint16_t& d : dst) d = 0xDEAD;
                ops[op](dst + offset, src, n);
                for (int i = 0; i < 16; ++i) {
                    const bool written = i >= offset && i < offset + n;
                    ASSERT_EQ(dst[i] != 0xDEAD, written)
                        << "op " << op << " offset " << offset << " n " << n << " index " << i;
                }
            }
}
