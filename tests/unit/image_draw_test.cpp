#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "display/glyph_blitter.h"
#include "display/image_draw.h"
#include "glyphs/image.h"
#include "helpers/clip_scope.h"
#include "helpers/guarded_surface.h"
#include "helpers/test_glyphs.h"

namespace {

struct Channels {
    int r, g, b;
};

Channels Split(uint16_t p, ColorType layout) {
    if (layout == kColor555) return {(p >> 10) & 31, (p >> 5) & 31, p & 31};
    return {p >> 11, (p >> 5) & 63, p & 31};
}

uint16_t Join(Channels c, ColorType layout) {
    if (layout == kColor555) return static_cast<uint16_t>(c.r << 10 | c.g << 5 | c.b);
    return static_cast<uint16_t>(c.r << 11 | c.g << 5 | c.b);
}

// The blend worked out channel by channel: each term drops the bits its shift loses.
uint16_t ExpectedBlend(uint16_t d, uint16_t s, uint8_t m, ColorType layout) {
    if (m == 0) return d;
    if (m >= 4) return s;
    auto mix = [m](int cd, int cs) {
        if (m == 1) return (cd >> 2) + (cs >> 2) + (cd >> 1);
        if (m == 2) return (cd >> 1) + (cs >> 1);
        return (cd >> 2) + (cs >> 2) + (cs >> 1);
    };
    const Channels a = Split(d, layout), b = Split(s, layout);
    return Join({mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)}, layout);
}

uint16_t Blended(uint16_t d, uint16_t s, uint8_t m) {
    BlendPixel(&d, s, m);
    return d;
}

TEST(BlendPixel, KnownMixes) {
    struct Case {
        ColorType layout;
        uint16_t d, s;
        uint8_t m;
        uint16_t result;
    };
    const Case cases[] = {
        {kColor555, 0x0000, 0x7FFF, 0, 0x0000},   {kColor555, 0x0000, 0x7FFF, 1, 0x1CE7},
        {kColor555, 0x0000, 0x7FFF, 2, 0x3DEF},   {kColor555, 0x0000, 0x7FFF, 3, 0x5AD6},
        {kColor555, 0x0000, 0x7FFF, 4, 0x7FFF},   {kColor555, 0x0000, 0x7FFF, 9, 0x7FFF},
        {kColor555, 0x0000, 0x7FFF, 255, 0x7FFF}, {kColor555, 0x7FFF, 0x0000, 1, 0x5AD6},
        {kColor555, 0x7C00, 0x001F, 2, 0x3C0F},  // red and blue halves stay apart
        {kColor565, 0x0000, 0xFFFF, 1, 0x39E7},   {kColor565, 0x0000, 0xFFFF, 2, 0x7BEF},
        {kColor565, 0x0000, 0xFFFF, 3, 0xB5D6},   {kColor565, 0xFFFF, 0x0000, 3, 0x39E7},
        {kColor565, 0x07E0, 0x0000, 2, 0x03E0},  // the sixth green bit halves too
        {kColor565, 0x1234, 0xFFFF, 0, 0x1234},   {kColor565, 0x1234, 0xFFFF, 200, 0xFFFF},
    };
    for (const Case& c : cases) {
        ClipScope scope({0, 0, 0, 0}, c.layout);
        EXPECT_EQ(Blended(c.d, c.s, c.m), c.result)
            << std::hex << "layout " << c.layout << " d " << c.d << " s " << c.s << " m " << int(c.m);
    }
}

// Every weight in both layouts over spread-out pixel pairs: each channel comes out as
// its own mix, near the exact weighted mean, with nothing carried into its neighbour.
TEST(BlendPixel, EachChannelIsMixedOnItsOwn) {
    for (ColorType layout : {kColor555, kColor565}) {
        ClipScope scope({0, 0, 0, 0}, layout);
        const uint16_t top = layout == kColor555 ? 0x7FFF : 0xFFFF;
        uint32_t seed = 12345;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const uint16_t d = static_cast<uint16_t>((seed >> 8) & top);
            const uint16_t s = static_cast<uint16_t>((seed >> 3) * 40503u & top);
            for (uint8_t m : {0, 1, 2, 3, 4, 5, 128, 255}) {
                const uint16_t got = Blended(d, s, m);
                ASSERT_EQ(got, ExpectedBlend(d, s, m, layout))
                    << std::hex << "layout " << layout << " d " << d << " s " << s << " m " << int(m);
                if (m >= 1 && m <= 3) {
                    const Channels a = Split(d, layout), b = Split(s, layout), c = Split(got, layout);
                    // Three truncating terms: at most 2 below the exact mean, never above.
                    auto mean = [m](int cd, int cs) { return (cd * (4 - m) + cs * m) / 4.0; };
                    for (const auto& [got1, exact] :
                         {std::pair<int, double>{c.r, mean(a.r, b.r)}, {c.g, mean(a.g, b.g)}, {c.b, mean(a.b, b.b)}}) {
                        EXPECT_LE(got1, exact);
                        EXPECT_GE(got1, exact - 2);
                    }
                }
            }
        }
    }
}

// A w x h raw image with distinct pixels and a map cycling through every kind of byte.
std::unique_ptr<Image> MakeImage(int w, int h, bool withMap, bool lle = false) {
    std::vector<uint16_t> px = TestFrame(3, w, h, kMagenta565, lle);
    if (lle) px = EncodeLle(px, w, h, kMagenta565);
    auto image = std::make_unique<Image>(w, h, lle ? 1 : 0, new uint16_t[px.size()]);
    std::memcpy(image->pixels, px.data(), px.size() * sizeof(uint16_t));
    if (withMap) {
        static const uint8_t kinds[] = {0, 1, 2, 3, 4, 9, 255};
        image->hasMap = true;
        image->map = new uint8_t[static_cast<size_t>(w) * h];
        for (int i = 0; i < w * h; ++i) image->map[i] = kinds[(i * 3 + i / w) % 7];
    }
    return image;
}

enum class Expect { kCopy, kBlend, kLle };

// The surface must hold, inside both clipRect and the image, the image pixel (copied,
// blended by its map, or skipped where LLE is transparent); everywhere else the fill.
void ExpectDrawn(const GuardedSurface& s, int x0, int y0, int w, int h, const std::vector<uint16_t>& px,
                 const uint8_t* map, Expect mode) {
    int mismatches = 0;
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x) {
            uint16_t expected = s.Fill();
            const bool inClip = x >= clipRect.left && x < clipRect.right && y >= clipRect.top && y < clipRect.bottom;
            const long long cx = static_cast<long long>(x) - x0, cy = static_cast<long long>(y) - y0;
            if (inClip && cx >= 0 && cx < w && cy >= 0 && cy < h) {
                const size_t i = static_cast<size_t>(cy * w + cx);
                if (mode == Expect::kCopy) expected = px[i];
                if (mode == Expect::kBlend) expected = ExpectedBlend(s.Fill(), px[i], map[i], colorType);
                if (mode == Expect::kLle && px[i] != kMagenta565) expected = px[i];
            }
            if (s.At(x, y) != expected && ++mismatches <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << s.At(x, y) << ", expected " << expected;
        }
    EXPECT_TRUE(s.GuardsIntact()) << "a write landed outside the surface";
}

struct PenCase {
    const char* name;
    int x, y;
};

// Clip rectangle (3, 2)-(23, 17) on a 30 x 22 surface; images of 7 x 5.
const ClipRect kClip = {3, 2, 23, 17};
const int kW = 7, kH = 5;
const PenCase kPens[] = {
    {"inside", 8, 6},
    {"touching left and top", 3, 2},
    {"ending exactly on right and bottom", 16, 12},
    {"one column left of the clip", 2, 6},
    {"cut on the left", 0, 6},
    {"just outside the left", -4, 6},
    {"cut on the top", 8, 0},
    {"just outside the top", 8, -3},
    {"cut on the right", 19, 6},
    {"one column left on the right", 22, 6},
    {"starting on the right edge", 23, 6},
    {"cut on the bottom", 8, 14},
    {"one row at the bottom", 8, 16},
    {"starting on the bottom edge", 8, 17},
    {"cut top left corner", 0, -1},
    {"cut bottom right corner", 20, 15},
    {"far away", INT_MIN + 5, INT_MAX - 5},
    {"far away the other way", INT_MAX - 3, INT_MIN + 3},
};

// Every kind of image at every pen position: raw pictures with a map are blended (also
// where clipped), raw ones without a map (or with the flag but no map) copied, LLE ones
// drawn through their colour key without consulting a map.
TEST(ImageDraw, EachKindAtEveryPenStaysInsideTheClip) {
    struct Kind {
        const char* name;
        bool lle;
        bool hasMap;
        bool mapBytes;
        Expect expect;
    };
    const Kind kinds[] = {
        {"raw with map", false, true, true, Expect::kBlend},
        {"raw", false, false, false, Expect::kCopy},
        {"raw with the flag only", false, true, false, Expect::kCopy},
        {"LLE with an all-transparent map", true, true, true, Expect::kLle},
    };
    for (const Kind& k : kinds) {
        for (int w : {kW, 12}) {
            auto image = MakeImage(w, kH, k.mapBytes && !k.lle, k.lle);
            image->hasMap = k.hasMap;
            if (k.lle) image->map = new uint8_t[static_cast<size_t>(w) * kH]();  // would hide everything
            const std::vector<uint16_t> px = k.lle ? TestFrame(3, w, kH, kMagenta565, true)
                                                   : std::vector<uint16_t>(image->pixels, image->pixels + w * kH);
            for (ColorType layout : {kColor555, kColor565}) {
                ClipScope scope(kClip, layout);
                for (const PenCase& p : kPens) {
                    SCOPED_TRACE(testing::Message()
                                 << k.name << ", width " << w << ", " << p.name << ", layout " << layout);
                    GuardedSurface s(30, 22, 5, 0x5A5A);
                    image->Draw(s.Info(), p.x, p.y);
                    ExpectDrawn(s, p.x, p.y, w, kH, px, image->map, k.expect);
                }
            }
        }
    }
}

TEST(ImageDraw, MapOverBlack) {
    const uint8_t map[] = {2, 0, 9, 1, 3, 4};
    auto image = std::make_unique<Image>(3, 2, 0, new uint16_t[6]);
    for (int i = 0; i < 6; ++i) image->pixels[i] = 0x7FFF;
    image->hasMap = true;
    image->map = new uint8_t[6];
    std::memcpy(image->map, map, sizeof map);
    ClipScope scope({0, 0, 10, 10}, kColor555);
    GuardedSurface s(10, 10, 3, 0x0000);
    image->Draw(s.Info(), 4, 5);
    EXPECT_EQ(s.At(4, 5), 0x3DEF);  // half
    EXPECT_EQ(s.At(5, 5), 0x0000);  // transparent
    EXPECT_EQ(s.At(6, 5), 0x7FFF);  // opaque
    EXPECT_EQ(s.At(4, 6), 0x1CE7);  // a quarter
    EXPECT_EQ(s.At(5, 6), 0x5AD6);  // three quarters
    EXPECT_EQ(s.At(6, 6), 0x7FFF);

    // One column outside the clip: the visible part still keeps its see-through pixels.
    GuardedSurface cut(10, 10, 3, 0x0000);
    clipRect = {5, 0, 10, 10};
    image->Draw(cut.Info(), 4, 5);
    EXPECT_EQ(cut.At(4, 5), 0x0000);  // outside the clip
    EXPECT_EQ(cut.At(5, 5), 0x0000);  // map byte 0
    EXPECT_EQ(cut.At(6, 5), 0x7FFF);
    EXPECT_EQ(cut.At(5, 6), 0x5AD6);
    EXPECT_TRUE(cut.GuardsIntact());
}

TEST(ImageDraw, EmptyImagesDrawNothing) {
    ClipScope scope({0, 0, 8, 8}, kColor565);
    GuardedSurface s(8, 8);
    Image none;
    none.Draw(s.Info(), 0, 0);
    Image zeroWide(0, 3, 0, new uint16_t[1]);
    zeroWide.Draw(s.Info(), 0, 0);
    Image negative(-2, 3, 0, new uint16_t[1]);
    negative.Draw(s.Info(), 0, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(s.At(x, y), s.Fill());
    EXPECT_TRUE(s.GuardsIntact());
}

}  // namespace
