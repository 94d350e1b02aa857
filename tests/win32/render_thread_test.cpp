// DrawVorlex over the DirectDraw double, with faults thrown at the display.

#include <gtest/gtest.h>

#include <process.h>

#include "app/render_thread_win32.h"
#include "app/saver_state.h"
#include "display/glyph_blitter.h"
#include "glyphs/animation.h"
#include "win32_test_support.h"

namespace {

using win32test::WaitFor;

// Frames flow again after the fault; in any display state the thread ends once running is cleared.
TEST(RenderThread, RecoversFromDisplayFaultsOrEndsWhenAsked) {
    const struct {
        const char* name;
        bool full, primaryLost, backLost;
        const char* fail;  // a call that fails `times` times (for good: -1)
        HRESULT hr;
        int times;
        bool recovers;
    } cases[] = {
        {"lost chain", true, true, true, nullptr, DD_OK, 0, true},
        {"flips never finish", true, false, false, "back.GetFlipStatus", DDERR_WASSTILLDRAWING, -1, false},
        {"restore never works", true, true, false, "primary.Restore", DDERR_WRONGMODE, -1, false},
    };
    Animation glyphs(8, 8, kRequiredGlyphFrames, 0);
    for (int f = 0; f < kRequiredGlyphFrames; ++f)
        std::fill_n(glyphs.frames[f] = new uint16_t[64], 64, win32test::kDrawn);
    clipRect = {0, 0, win32test::kW, win32test::kH};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        win32test::Rig r(c.full);
        ASSERT_TRUE(r.ok);
        RandomSource seed(9);
        ASSERT_TRUE(saverState.rain.Allocate(win32test::kW / 8 + 1, win32test::kH / 8 + 2));
        saverState.rain.Seed(100, seed);
        saverState.glyphs = &glyphs, saverState.displayManager = r.m.get();
        saverState.running = saverState.active = 1, saverState.threadEnded = 0;
        ASSERT_NE(_beginthread(DrawVorlex, 0, nullptr), static_cast<uintptr_t>(-1));
        EXPECT_TRUE(WaitFor([&] { return r.dd.Shown() > 20; }));
        r.dd.Arm([&] {
            const auto& shown = r.Shown().mem;
            EXPECT_NE(std::count(shown.begin(), shown.end(), win32test::kDrawn), 0) << "no rain on screen";
            if (c.fail != nullptr) r.dd.Fail(c.fail, c.hr, c.times);
            r.dd.primary->lost |= c.primaryLost, r.dd.back->lost |= c.backLost;
        });
        const int shown = r.dd.Shown();
        EXPECT_TRUE(!c.recovers || WaitFor([&] { return r.dd.Shown() > shown + 5; }, 5000)) << "frames flow again";
        saverState.running = 0;
        EXPECT_TRUE(WaitFor([] { return saverState.threadEnded != 0; }, 2000)) << "ends when asked";
        saverState.active = 0;  // frees a thread that did not end, so the next case can run
        ASSERT_TRUE(WaitFor([] { return saverState.threadEnded != 0; }));
        saverState.displayManager = nullptr, saverState.glyphs = nullptr;
        saverState.rain.Release();
    }
}

}  // namespace
