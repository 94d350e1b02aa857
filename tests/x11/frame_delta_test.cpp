#include "x11/frame_delta.h"

#include <gtest/gtest.h>

#include <vector>

#include "helpers/clip_scope.h"
#include "helpers/test_glyphs.h"
#include "x11/rain_effect.h"

// 1,000 frames with the frame counter, a resize at 400, and at 700 an Expose and a new image
// (the window and the buffers lose their pixels): what the window holds after the changed rectangles is the whole
// redraw's frame. Odd frames of the 24/32-bit cases widen the changed cells as they are drawn.
TEST(FrameDelta, ChangedRectanglesGiveTheWholeFrame) {
    const struct {
        int width, height, resizedW, resizedH, glyphW, glyphH;
        ColorType layout;
        uint32_t red, blue;  // 0: a 16-bit window
        bool runLength;      // glyphs drawn and handed over one cell at a time
    } cases[] = {
        {203, 157, 317, 95, 16, 20, kColor565, 0, 0, false},
        {160, 121, 96, 250, 13, 9, kColor555, 0, 0, false},
        {250, 170, 131, 77, 16, 20, kColor565, 0xFF0000, 0xFF, false},   // computed widening
        {171, 133, 240, 200, 12, 22, kColor555, 0xFF, 0xFF0000, false},  // widening by tables
        {317, 95, 290, 120, 2, 5, kColor565, 0xFF0000, 0xFF, false},     // rows of more than 128 cells
        {250, 200, 300, 190, 70, 90, kColor565, 0xFF0000, 0xFF, false},  // cells too large to keep widened
        {190, 150, 230, 110, 16, 20, kColor555, 0xFF0000, 0xFF, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " layout " << c.layout << " red " << c.red);
        ClipScope clip({}, c.layout);
        PixelConverter widen;
        ASSERT_TRUE(c.red == 0 || widen.Build(c.layout, c.red, 0xFF00, c.blue));
        auto glyphs = [&] { return MakeAnimation(c.glyphW, c.glyphH, 55, c.runLength); };
        RainEffect whole(glyphs(), c.layout, 300, 30, 5);
        RainEffect part(glyphs(), c.layout, 300, 30, 5);
        FrameDelta delta;
        std::vector<uint16_t> wholeFrame, partFrame;
        std::vector<uint32_t> wholeImage, partImage, window;
        int w = 0, h = 0;
        long long sent = 0, area = 0;
        for (int frame = 0; frame < 1000; ++frame) {
            if (frame == 0 || frame == 400) {
                w = frame == 0 ? c.width : c.resizedW;
                h = frame == 0 ? c.height : c.resizedH;
                ASSERT_TRUE(whole.Reshape(w, h) && part.Reshape(w, h));
                delta.Reshape(w, h, part.CellWidth(), part.CellHeight());
                for (auto* v : {&wholeFrame, &partFrame}) v->assign(static_cast<size_t>(w) * h, 0x1234);
                for (auto* v : {&wholeImage, &partImage, &window}) v->assign(static_cast<size_t>(w) * h, 0xABCDEF);
            }
            if (frame == 700) {
                for (auto* v : {&partImage, &window}) v->assign(v->size(), 0x55);
                // Run-length sets draw no dimmed cells (those keep the frame's pixels), so their frame stays.
                if (!c.runLength) partFrame.assign(partFrame.size(), 0x66);
                delta.DrawWhole();
            }
            const SurfaceInfo wholeSurface{wholeFrame.data(), w, h, w}, partSurface{partFrame.data(), w, h, w};
            whole.Draw(wholeSurface);
            DrawFpsCounter(wholeSurface, c.layout, frame * 0.7);
            delta.Redraw({0, 0, kFpsCounterWidth, kFpsCounterHeight});
            if (c.red != 0 && frame % 2 != 0) delta.WidenAsDrawn(widen, partImage.data(), w);
            part.Draw(
                partSurface, [] { return false; }, delta.Begin());
            DrawFpsCounter(partSurface, c.layout, frame * 0.7);
            const std::vector<PixelRect>& rects = delta.End();
            if (c.red != 0) {
                widen.ConvertFrame(wholeSurface, wholeImage.data(), w);
                delta.Convert(widen, partSurface, partImage.data(), w);
            } else {
                std::copy(wholeFrame.begin(), wholeFrame.end(), wholeImage.begin());
                std::copy(partFrame.begin(), partFrame.end(), partImage.begin());
            }
            for (size_t k = 1; k < rects.size(); ++k) {  // bands of equal rows top to bottom, each left to right
                const PixelRect &a = rects[k - 1], &b = rects[k];
                ASSERT_TRUE(a.y == b.y ? a.height == b.height && a.x + a.width <= b.x : a.y + a.height <= b.y);
            }
            for (const PixelRect& r : rects) {
                for (int y = r.y; y < r.y + r.height; ++y)
                    std::copy_n(&partImage[y * w + r.x], r.width, &window[y * w + r.x]);
                sent += r.width * r.height;
            }
            area += w * h;
            ASSERT_TRUE(window == wholeImage) << "frame " << frame;
        }
        EXPECT_LT(sent, area / 2);
    }
}
