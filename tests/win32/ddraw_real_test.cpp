// The display manager on Wine's DirectDraw, windowed on the 16-bit test screen.

#include <gtest/gtest.h>

#include "display/ddraw_manager_win32.h"
#include "win32_test_support.h"

namespace {

using win32test::DesktopCaps;

TEST(RealDirectDraw, WindowedFrameShowsInTheWindow) {
    if (DesktopCaps(BITSPIXEL) != 16) GTEST_SKIP() << "needs a 16-bit desktop";
    HWND window = win32test::TestWindow(100, 120, 256, 192);
    DDrawManager m;
    ASSERT_TRUE(m.CreateDirectDraw(window, 256, 192, false));
    EXPECT_EQ(m.GetColorType(), kColor565);
    for (int frame = 0; frame < 3; ++frame) {
        const SurfaceInfo* s = m.GetBackBuffer();
        ASSERT_NE(s, nullptr);
        win32test::Fill(*s, 0x07E0);
        ASSERT_TRUE(win32test::WaitFor([&] { return m.Present() == 0; }, 2000));
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

}  // namespace
