#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "display/image_draw.h"
#include "glyphs/image.h"
#include "helpers/clip_scope.h"
#include "helpers/guarded_surface.h"
#include "helpers/test_glyphs.h"

namespace {

const ClipRect kClip = {3, 2, 23, 17};  // on a 30 x 22 surface; pens around each edge of it
const Pen kPens[] = {{8, 6},  {3, 2},  {17, 12}, {18, 6}, {8, 13}, {1, 6},   {-2, 6},
                     {-3, 6}, {8, -1}, {22, 6},  {23, 6}, {8, 16}, {20, 15}, {INT_MIN + 5, INT_MAX - 5}};

int Channel(uint16_t p, ColorType layout, int c) {
    return c == 0 ? (p >> (10 + layout)) & 31 : c == 1 ? (p >> 5) & (31 + 32 * layout) : p & 31;
}

// Shades 1 to 3 halve each channel on its own once, twice, three times; others copy.
uint16_t Dimmed(uint16_t p, ColorType layout, int shade) {
    if (shade < 1 || shade > 3) return p;
    return uint16_t((Channel(p, layout, 0) >> shade) << (10 + layout) | (Channel(p, layout, 1) >> shade) << 5 |
                    Channel(p, layout, 2) >> shade);
}

// Inside the clip and the 6 x 5 cell at the pen each pixel is want(cx, cy) (negative: unchanged),
// elsewhere the fill, and outside the surface nothing changed.
template <class Want>
void ExpectDrawn(const GuardedSurface& s, Pen pen, Want want) {
    int wrong = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            const int64_t cx = x - int64_t{pen.x}, cy = y - int64_t{pen.y};
            const bool in = x >= kClip.left && x < kClip.right && y >= kClip.top && y < kClip.bottom && cx >= 0 &&
                            cx < 6 && cy >= 0 && cy < 5;
            const int v = in ? want(cx, cy) : -1;
            const uint16_t expected = v < 0 ? s.Fill() : static_cast<uint16_t>(v);
            if (s.At(x, y) != expected && ++wrong <= 3)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << s.At(x, y) << ", expected " << expected;
        }
    EXPECT_TRUE(s.GuardsIntact());
}

// Cells (raw, run-length, run-length with holes; plain at shade -1 or dimmed; frames 3 and -1 do not
// exist) and pictures (raw with map bytes, raw without, run-length) at each pen. Raw pictures with a
// map are blended, also where clipped; run-length ones keep their colour key.
TEST(Drawing, InsideTheClipOnly) {
    const struct {
        bool picture, lle, holes, map;
    } kinds[] = {{0, 0, 0, 0}, {0, 1, 0, 0}, {0, 1, 1, 0}, {1, 0, 0, 1}, {1, 0, 0, 0}, {1, 1, 1, 1}};
    for (const auto& k : kinds)
        for (ColorType layout : {kColor555, kColor565})
            for (int shade = -1; shade <= 4; ++shade)
                for (int frame : {2, 3, -1}) {
                    if (k.picture && (shade > -1 || frame != 2)) continue;  // one frame, not dimmed
                    const uint16_t key = k.picture ? kMagenta565 : kMagenta555;
                    auto anim = MakeAnimation(6, 5, 3, k.lle, key, k.holes);
                    const std::vector<uint16_t> px = TestFrame(2, 6, 5, key, k.holes);
                    Image image(6, 5, k.lle, k.picture ? std::exchange(anim->frames[2], nullptr) : nullptr);
                    image.hasMap = true;  // without map bytes the flag alone changes nothing
                    image.map = k.map ? new uint8_t[30] : nullptr;
                    for (int i = 0; k.map && i < 30; ++i)
                        image.map[i] = k.lle ? 0 : "\0\1\2\3\4\x09\xff"[(i * 3 + i / 6) % 7];
                    const bool drawn = frame == 2 && (!k.lle || shade < 0);
                    for (const Pen& p : kPens) {
                        SCOPED_TRACE(testing::Message()
                                     << &k - kinds << layout << shade << frame << " " << p.x << "," << p.y);
                        ClipScope clip(kClip, layout);
                        GuardedSurface s(30, 22, 5, 0x5A5A);
                        if (k.picture) {
                            image.Draw(s.Info(), p.x, p.y);
                        } else {
                            shade < 0 ? anim->Draw(s.Info(), p, frame) : anim->DrawDimmed(s.Info(), p, frame, shade);
                            EXPECT_EQ(anim->currentFrame, frame);
                        }
                        ExpectDrawn(s, p, [&](int64_t x, int64_t y) -> int {
                            uint16_t v = px[y * 6 + x], blended = s.Fill();
                            if (!drawn || (k.lle && v == key)) return -1;
                            if (!image.map || k.lle) return Dimmed(v, layout, shade);
                            BlendPixel(&blended, v, image.map[y * 6 + x]);
                            return blended;
                        });
                    }
                }
}

// Random pixels of both layouts. A whole cell dimmed is as Dimmed says. Map byte m lays m quarters
// of the picture over the background (4 and up: all); each channel lands at most 2 below the exact
// weighted mean, never above.
TEST(PixelMixing, DimsAndBlendsEachChannel) {
    Animation cell(1, 1, 1, 0);
    cell.frames[0] = new uint16_t[1];
    for (ColorType layout : {kColor555, kColor565}) {
        ClipScope scope({0, 0, 1, 1}, layout);
        for (uint32_t i = 0, seed = 1; i < 3000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint16_t d = uint16_t(seed >> 8 & (0x7FFFu | layout << 15)), s = uint16_t(seed >> 15);
            cell.frames[0][0] = s;
            for (int shade = 1; shade <= 3; ++shade) {
                uint16_t dimmed = 0;
                cell.DrawDimmed(SurfaceInfo{&dimmed, 1, 1, 1}, {0, 0}, 0, shade);
                ASSERT_EQ(dimmed, Dimmed(s, layout, shade)) << s << " " << shade;
            }
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

}  // namespace
