#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <vector>

#include "display/image_draw.h"
#include "glyphs/image.h"
#include "helpers/clip_scope.h"
#include "helpers/test_glyphs.h"

namespace {

const ClipRect kClip = {3, 2, 23, 17};  // on a 30 x 22 surface; pens around each edge of it
const Pen kPens[] = {{8, 6},  {3, 2},  {17, 12}, {18, 6}, {8, 13}, {1, 6},   {-2, 6},
                     {-3, 6}, {8, -1}, {22, 6},  {23, 6}, {8, 16}, {20, 15}, {INT_MIN + 5, INT_MAX - 5}};

int Channel(uint16_t p, ColorType layout, int c) {
    return c == 0 ? (p >> (10 + layout)) & 31 : c == 1 ? (p >> 5) & (31 + 32 * layout) : p & 31;
}

// Each channel shifted down on its own: a 1/2, 1/4 or 1/8 pixel; other shades copy.
uint16_t Dimmed(uint16_t p, ColorType layout, int shade) {
    if (shade < 1 || shade > 3) return p;
    return uint16_t((Channel(p, layout, 0) >> shade) << (10 + layout) | (Channel(p, layout, 1) >> shade) << 5 |
                    Channel(p, layout, 2) >> shade);
}

// Raw, run-length and run-length cells with holes, drawn plain (shade -1) or dimmed, each
// frame at each pen: inside the clip only; dimmed run-length cells and missing frames not at all.
TEST(GlyphBlitter, DrawsEachKindOfCellInsideTheClipOnly) {
    for (int kind = 0; kind < 3; ++kind)
        for (ColorType layout : {kColor555, kColor565})
            for (int shade = -1; shade <= 4; ++shade)
                for (int frame : {2, 3, -1}) {
                    auto anim = MakeAnimation(6, 5, 3, kind > 0, kMagenta555, kind == 2);
                    const std::vector<uint16_t> px = TestFrame(2, 6, 5, kMagenta555, kind == 2);
                    const bool drawn = frame == 2 && (kind == 0 || shade < 0);
                    for (const Pen& p : kPens) {
                        SCOPED_TRACE(testing::Message() << "kind " << kind << " layout " << layout << " shade " << shade
                                                        << " frame " << frame << " pen " << p.x << "," << p.y);
                        ClipScope clip(kClip, layout);
                        GuardedSurface s(30, 22);
                        shade < 0 ? anim->Draw(s.Info(), p, frame) : anim->DrawDimmed(s.Info(), p, frame, shade);
                        EXPECT_EQ(anim->currentFrame, frame);
                        ExpectDrawn(s, p, 6, 5, [&](int x, int y) {
                            const uint16_t v = px[y * 6 + x];
                            return !drawn || v == kMagenta555 ? -1 : Dimmed(v, layout, shade);
                        });
                    }
                }
}

// Whole cells dimmed in either layout: each bit stays in its own channel (the frames above
// never set the bits where the two layouts' masks differ).
TEST(GlyphBlitter, DimsWholeCellsInEitherLayout) {
    const uint16_t kPixels[] = {0xFFFF, 0x8421, 0x7BEF, 0x0C63, 0xF81F, 0x07E0};
    for (ColorType layout : {kColor555, kColor565})
        for (int shade = 1; shade <= 3; ++shade) {
            SCOPED_TRACE(testing::Message() << "layout " << layout << " shade " << shade);
            Animation a(6, 1, 1, 0);
            a.frames[0] = new uint16_t[6];
            std::copy(std::begin(kPixels), std::end(kPixels), a.frames[0]);
            ClipScope clip(kClip, layout);
            GuardedSurface s(30, 22);
            a.DrawDimmed(s.Info(), {4, 3}, 0, shade);
            for (int x = 0; x < 6; ++x) EXPECT_EQ(s.At(4 + x, 3), Dimmed(kPixels[x], layout, shade)) << x;
        }
}

// Every pixel value of both layouts at each shade; exactly n pixels are written.
TEST(DimRow, DimsEachChannelOfEveryPixelOnItsOwn) {
    std::vector<uint16_t> src(0x10000);
    for (int p = 0; p < 0x10000; ++p) src[p] = static_cast<uint16_t>(p);
    for (ColorType layout : {kColor555, kColor565})
        for (int shade = 0; shade <= 4; ++shade) {
            std::vector<uint16_t> dst(0x10001, 0xDEAD);
            const int n = layout == kColor565 ? 0x10000 : 0x8000;
            DimRow(dst.data(), src.data(), -1, layout, shade);
            EXPECT_EQ(dst[0], 0xDEAD);
            DimRow(dst.data(), src.data(), n, layout, shade);
            for (int p = 0; p < n; ++p) ASSERT_EQ(dst[p], Dimmed(src[p], layout, shade)) << layout << shade << p;
            EXPECT_EQ(dst[n], 0xDEAD);
        }
}

// Map byte m puts m quarters of the picture over the background (0 none, 4 and up all):
// each channel on its own lands at most 2 below the exact weighted mean, never above.
TEST(BlendPixel, MixesEachChannelByTheMapWeight) {
    for (ColorType layout : {kColor555, kColor565}) {
        ClipScope scope({0, 0, 0, 0}, layout);
        for (uint32_t i = 0, seed = 1; i < 3000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint16_t d = uint16_t(seed >> 8 & (0x7FFFu | layout << 15)), s = uint16_t(seed >> 15);
            for (uint8_t m : {0, 1, 2, 3, 4, 9, 255}) {
                uint16_t got = d;
                BlendPixel(&got, s, m);
                for (int c = 0, w = m > 4 ? 4 : m; c < 3; ++c) {
                    const double exact = (Channel(d, layout, c) * (4 - w) + Channel(s, layout, c) * w) / 4.0;
                    const int out = Channel(got, layout, c);
                    ASSERT_TRUE(out <= exact && out >= (w % 4 ? exact - 2 : exact)) << d << " " << s << " " << int(m);
                }
            }
        }
    }
}

// Raw pictures with a map are blended (also where clipped), without map bytes copied,
// run-length ones drawn through their colour key whatever the map says.
TEST(ImageDraw, EachKindAtEveryPenStaysInsideTheClip) {
    for (int kind = 0; kind < 3; ++kind) {
        const bool lle = kind == 2, mapBytes = kind != 1;
        const std::vector<uint16_t> px = TestFrame(3, 7, 5, kMagenta565, lle);
        auto frames = MakeAnimation(7, 5, 4, lle, kMagenta565, lle);
        Image image(7, 5, lle, frames->frames[3]);  // the image owns the frame now
        frames->frames[3] = nullptr;
        image.hasMap = true;  // without map bytes the flag alone changes nothing
        image.map = mapBytes ? new uint8_t[35] : nullptr;
        for (int i = 0; mapBytes && i < 35; ++i) image.map[i] = lle ? 0 : "\0\1\2\3\4\x09\xff"[(i * 3 + i / 7) % 7];
        for (ColorType layout : {kColor555, kColor565})
            for (const Pen& p : kPens) {
                SCOPED_TRACE(testing::Message() << "kind " << kind << ", " << layout << " pen " << p.x << "," << p.y);
                ClipScope scope(kClip, layout);
                GuardedSurface s(30, 22, 5, 0x5A5A);
                image.Draw(s.Info(), p.x, p.y);
                ExpectDrawn(s, p, 7, 5, [&](int x, int y) -> int {
                    uint16_t v = px[y * 7 + x], blended = s.Fill();
                    if (lle || !mapBytes) return lle && v == kMagenta565 ? -1 : v;
                    BlendPixel(&blended, v, image.map[y * 7 + x]);
                    return blended;
                });
            }
    }
}

}  // namespace
