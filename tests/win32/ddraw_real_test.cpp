// The display manager on Wine's DirectDraw: windowed on the 16-bit test screen, and the
// full-screen mode switch inside a Wine virtual desktop on a 24-bit screen.

#include <gtest/gtest.h>

#include <vector>

#include "display/ddraw_manager_win32.h"
#include "win32_test_support.h"

namespace {

using win32test::DesktopCaps;

bool PresentShown(DDrawManager& m) {
    return win32test::WaitFor([&] { return m.Present() == 0; }, 2000);
}

void Fill(const SurfaceInfo& s, uint16_t colour) {
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x) s.pixels[y * s.pitch + x] = colour;
}

TEST(RealDirectDraw, WindowedFrameShowsInTheWindow) {
    if (DesktopCaps(BITSPIXEL) != 16) GTEST_SKIP() << "needs a 16-bit desktop";
    HWND window = win32test::TestWindow(100, 120, 256, 192);
    DDrawManager m;
    ASSERT_TRUE(m.CreateDirectDraw(window, 256, 192, false));
    EXPECT_EQ(m.GetColorType(), kColor565);
    for (int frame = 0; frame < 3; ++frame) {
        const SurfaceInfo* s = m.GetBackBuffer();
        ASSERT_NE(s, nullptr);
        Fill(*s, 0x07E0);
        ASSERT_TRUE(PresentShown(m));
    }
    POINT o = {0, 0};
    ClientToScreen(window, &o);
    HDC dc = GetDC(nullptr);
    auto green = [dc](int x, int y) {
        const COLORREF c = GetPixel(dc, x, y);
        return GetRValue(c) == 0 && GetGValue(c) > 240 && GetBValue(c) == 0;
    };
    for (POINT p : {POINT{3, 4}, POINT{128, 96}, POINT{255, 191}}) EXPECT_TRUE(green(o.x + p.x, o.y + p.y)) << p.x;
    EXPECT_FALSE(green(o.x + 300, o.y + 100)) << "nothing beyond the window";
    ReleaseDC(nullptr, dc);
    ShowWindow(window, SW_HIDE);
}

TEST(RealDirectDrawVirtualDesktop, FullScreenSwitchesModeFlipsAndPutsItBack) {
    const std::vector<int> desktop = {DesktopCaps(HORZRES), DesktopCaps(VERTRES), DesktopCaps(BITSPIXEL)};
    HWND window = win32test::TestWindow(0, 0, 1024, 768, true);
    {
        DDrawManager m;
        ASSERT_TRUE(m.CreateDirectDraw(window, 1024, 768, true));
        EXPECT_EQ((std::vector<int>{DesktopCaps(HORZRES), DesktopCaps(VERTRES), DesktopCaps(BITSPIXEL)}),
                  (std::vector<int>{1024, 768, 16}));
        EXPECT_EQ(m.GetColorType(), kColor565);
        const SurfaceInfo* s = m.GetBackBuffer();
        ASSERT_NE(s, nullptr);
        Fill(*s, 0x07E0);
        ASSERT_TRUE(PresentShown(m));
        const SurfaceInfo* next = m.GetBackBuffer();
        ASSERT_NE(next, nullptr);
        EXPECT_NE(next->pixels, s->pixels) << "the other buffer of the chain";
        DDSURFACEDESC d = {};
        d.dwSize = sizeof d;
        ASSERT_EQ(m.PrimarySurface()->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
        const uint16_t shown = static_cast<const uint16_t*>(d.lpSurface)[384 * (d.lPitch / 2) + 512];
        m.PrimarySurface()->Unlock(d.lpSurface);
        EXPECT_EQ(shown, 0x07E0) << "the frame is on the primary after the flip";
    }
    EXPECT_EQ((std::vector<int>{DesktopCaps(HORZRES), DesktopCaps(VERTRES), DesktopCaps(BITSPIXEL)}), desktop);
}

}  // namespace
