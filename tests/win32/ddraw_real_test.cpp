// The display manager against the platform's DirectDraw. Windowed cases expect a 16-bit
// desktop (the default test screen); the VirtualDesktop cases run inside a Wine virtual
// desktop on a 24-bit screen, where full-screen mode switches work.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/frame_composer.h"
#include "diag/log.h"
#include "diag/log_core.h"
#include "display/ddraw_manager_win32.h"
#include "display/glyph_blitter.h"
#include "glyphs/animation.h"
#include "rain/rain_model.h"
#include "win32_test_support.h"

namespace {

using win32test::DesktopCaps;
using win32test::LogCapture;
using win32test::ReadSurface;
using win32test::ScreenPixel;
using win32test::TestWindow;

constexpr uint16_t kGreen565 = 0x07E0;

bool PresentShown(DDrawManager& m) {
    for (int i = 0; i < 1000; ++i) {
        if (m.Present() == 0) return true;
        Sleep(1);
    }
    return false;
}

// A rain frame of solid green cells: every cell of a full grid is drawn, so the whole
// clip rectangle turns green (dimmed cells are darker greens, never black).
struct GreenFrame {
    Animation glyphs{8, 8, kRequiredGlyphFrames, 0};
    RainModel model;
    RandomSource random{1};
    explicit GreenFrame(int width, int height) {
        win32test::FillSolidGlyphs(glyphs, kGreen565);
        model.Allocate(width / 8 + 1, height / 8 + 2);
        model.Seed(50, random);
        clipRect = {0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height)};
    }
    void Draw(const SurfaceInfo& s) { ComposeFrame(model, random, 100, glyphs, s); }
};

bool Greenish(COLORREF c) { return GetGValue(c) > 0 && GetRValue(c) == 0 && GetBValue(c) == 0; }

TEST(RealDirectDrawWindowed, SetUpDetects565AndCapturesOneBuffer) {
    ASSERT_EQ(DesktopCaps(BITSPIXEL), 16) << "needs a 16-bit desktop";
    LogCapture log;
    TestWindow window(40, 60, 320, 240);
    ::colorType = kColor555;
    {
        DDrawManager m;
        EXPECT_EQ(m.desktopBits, 16);
        EXPECT_EQ(m.desktopWidth, DesktopCaps(HORZRES));
        ASSERT_TRUE(m.CreateDirectDraw(window.Handle(), 320, 240, false));
        EXPECT_EQ(m.notReady, 0);
        EXPECT_EQ(m.GetColorType(), kColor565);
        EXPECT_EQ(::colorType, kColor565);
        EXPECT_EQ(m.displayModeSet, 0);
        EXPECT_EQ(m.current, 0);
        EXPECT_NE(m.clipper, nullptr);
        ASSERT_NE(m.buffers[0].pixels, nullptr);
        EXPECT_EQ(m.buffers[0].width, 320);
        EXPECT_EQ(m.buffers[0].height, 240);
        EXPECT_GE(m.buffers[0].pitch, 320);
        EXPECT_EQ(m.buffers[1].pixels, nullptr);  // windowed has one buffer
        EXPECT_EQ(m.GetBackBuffer(), &m.buffers[0]);
        const std::vector<uint16_t> pixels = ReadSurface(m.backBuffer, 320, 240);
        ASSERT_EQ(pixels.size(), 320u * 240u);
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), 320 * 240) << "cleared to black";
    }
    EXPECT_EQ(DesktopCaps(BITSPIXEL), 16);
    const std::string text = log.Stop();
    EXPECT_NE(text.find("LOG_SPAM: [DDrawManager::CreateDirectDraw] Color type 5x6x5 detected\n"), std::string::npos)
        << text;
    EXPECT_LT(MostSevereLevel(), LOG_WARNING) << text;
}

// The frame is drawn through the recorded address and presented; the window shows it.
TEST(RealDirectDrawWindowed, PresentedFrameShowsInTheWindow) {
    ASSERT_EQ(DesktopCaps(BITSPIXEL), 16) << "needs a 16-bit desktop";
    TestWindow window(100, 120, 256, 192);
    DDrawManager m;
    ASSERT_TRUE(m.CreateDirectDraw(window.Handle(), 256, 192, false));
    POINT origin = {0, 0};
    ClientToScreen(window.Handle(), &origin);
    EXPECT_FALSE(Greenish(ScreenPixel(origin.x + 100, origin.y + 100)));

    GreenFrame frame(256, 192);
    for (int i = 0; i < 3; ++i) {
        const SurfaceInfo* s = m.GetBackBuffer();
        ASSERT_NE(s, nullptr);
        frame.Draw(*s);
        ASSERT_TRUE(PresentShown(m));
        EXPECT_EQ(m.current, 0);
    }
    int green = 0;
    for (int y = 4; y < 192; y += 37)
        for (int x = 3; x < 256; x += 41) green += Greenish(ScreenPixel(origin.x + x, origin.y + y));
    EXPECT_EQ(green, 6 * 7) << "window pixels that show the frame";
    EXPECT_FALSE(Greenish(ScreenPixel(origin.x + 300, origin.y + 100))) << "nothing beyond the window";
}

TEST(RealDirectDrawVirtualDesktop, WindowedOn32BitDesktopFailsWithPanic) {
    if (DesktopCaps(BITSPIXEL) != 32) GTEST_SKIP() << "needs a 32-bit desktop";
    LogCapture log;
    TestWindow window(40, 60, 320, 240);
    {
        DDrawManager m;
        EXPECT_FALSE(m.CreateDirectDraw(window.Handle(), 320, 240, false));
        EXPECT_EQ(m.notReady, 1);
        EXPECT_EQ(m.GetBackBuffer(), nullptr);
        EXPECT_EQ(MostSevereLevel(), LOG_PANIC);
        EXPECT_STREQ(RememberedErrorMsg().Text(), "[DDrawManager::CreateDirectDraw] Color mode not supported");
        m.FlipToGDI();
    }  // destroying the half-made manager releases what it holds and nothing more
    EXPECT_EQ(DesktopCaps(BITSPIXEL), 32);
    const std::string text = log.Stop();
    EXPECT_NE(text.find("LOG_PANIC: [DDrawManager::CreateDirectDraw] Color mode not supported\n"), std::string::npos)
        << text;
}

TEST(RealDirectDrawVirtualDesktop, FullScreenSwitchesModeAndFlips) {
    const int bits = DesktopCaps(BITSPIXEL);
    const int width = DesktopCaps(HORZRES);
    const int height = DesktopCaps(VERTRES);
    TestWindow window(0, 0, 1024, 768, true);
    LogCapture log;
    {
        DDrawManager m;
        EXPECT_EQ(m.desktopBits, bits);
        ASSERT_TRUE(m.CreateDirectDraw(window.Handle(), 1024, 768, true)) << log.Stop();
        EXPECT_EQ(m.displayModeSet, 1);
        EXPECT_EQ(DesktopCaps(HORZRES), 1024);
        EXPECT_EQ(DesktopCaps(VERTRES), 768);
        EXPECT_EQ(DesktopCaps(BITSPIXEL), 16);
        EXPECT_EQ(m.GetColorType(), kColor565);
        EXPECT_EQ(m.current, 0);
        ASSERT_NE(m.buffers[0].pixels, nullptr);
        ASSERT_NE(m.buffers[1].pixels, nullptr);
        EXPECT_NE(m.buffers[0].pixels, m.buffers[1].pixels);
        EXPECT_GE(m.buffers[0].pitch, 1024);

        // Both buffers black: the back buffer now, and after one flip the other one.
        for (int i = 0; i < 2; ++i) {
            const std::vector<uint16_t> pixels = ReadSurface(m.backBuffer, 1024, 768);
            ASSERT_EQ(pixels.size(), 1024u * 768u);
            EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0), 1024 * 768) << "buffer " << m.current;
            const int before = m.current;
            ASSERT_TRUE(PresentShown(m));
            EXPECT_EQ(m.current, 1 - before);
            EXPECT_EQ(m.GetBackBuffer(), &m.buffers[m.current]);
        }

        // A drawn frame reaches the screen: after the flip the primary holds it.
        GreenFrame frame(1024, 768);
        const SurfaceInfo* s = m.GetBackBuffer();
        ASSERT_NE(s, nullptr);
        frame.Draw(*s);
        const int before = m.current;
        ASSERT_TRUE(PresentShown(m));
        EXPECT_EQ(m.current, 1 - before);
        const std::vector<uint16_t> shown = ReadSurface(m.primary, 1024, 768);
        ASSERT_EQ(shown.size(), 1024u * 768u);
        int green = 0;
        for (int y = 4; y < 768; y += 97)
            for (int x = 3; x < 1024; x += 101) green += (shown[y * 1024 + x] & 0x07E0) != 0;
        EXPECT_EQ(green, 8 * 11);

        // With the desktop's memory at the back (an odd number of flips), showing it flips
        // the chain: the next frame's buffer is still the back buffer's memory.
        m.FlipToGDI();
        const SurfaceInfo* next = m.GetBackBuffer();
        ASSERT_NE(next, nullptr);
        DDSURFACEDESC d;
        std::memset(&d, 0, sizeof d);
        d.dwSize = sizeof d;
        ASSERT_EQ(m.backBuffer->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        m.backBuffer->Unlock(d.lpSurface);
        EXPECT_EQ(next->pixels, d.lpSurface);
    }
    EXPECT_EQ(DesktopCaps(HORZRES), width) << "desktop mode put back";
    EXPECT_EQ(DesktopCaps(VERTRES), height);
    EXPECT_EQ(DesktopCaps(BITSPIXEL), bits);
    const std::string text = log.Stop();
    EXPECT_LT(MostSevereLevel(), LOG_WARNING) << text;
}

}  // namespace
