// The display manager over the DirectDraw double: set-up and tear-down, every set-up
// failure, presentation, and recovery from the faults the platform can throw at it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "display/glyph_blitter.h"
#include "win32_test_support.h"

namespace {

using win32test::Rig;

TEST(DDrawManager, SetUpAndTearDown) {
    HDC screen = GetDC(nullptr);
    auto caps = [&](int index) { return std::to_string(GetDeviceCaps(screen, index)); };
    const std::string desktopMode =
        "SetDisplayMode(" + caps(HORZRES) + "x" + caps(VERTRES) + "x" + caps(BITSPIXEL) + ")";
    ReleaseDC(nullptr, screen);
    for (bool full : {false, true}) {
        SCOPED_TRACE(full ? "full-screen" : "windowed");
        ::colorType = kColor555;
        Rig r(full);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.m->GetColorType(), kColor565);
        EXPECT_EQ(::colorType, kColor565);
        EXPECT_TRUE(r.dd.back->Filled(0) && r.Shown().Filled(0)) << "both buffers cleared";
        // FlipToGDI may flip the chain behind the manager's back: frames still reach the screen.
        for (int frame = 0; frame < 4; ++frame, r.m->FlipToGDI())
            EXPECT_TRUE(r.Frame(static_cast<uint16_t>(0x100 + frame))) << frame;
        r.m.reset();  // the desktop's mode put back before DirectDraw goes
        const auto& t = r.dd.trace;
        EXPECT_EQ(std::vector<std::string>(t.end() - 2, t.end()),
                  (std::vector<std::string>{full ? desktopMode : "Release(1)", "Release(0)"}));
        EXPECT_TRUE(r.log.Has("LOG_SPAM: [DDrawManager::CreateDirectDraw] Color type 5x6x5 detected"));
    }
    EXPECT_EQ(Rig(false, nullptr, {1000, 20, 20, false}, 0x03E0).m->GetColorType(), kColor555);
}

TEST(DDrawManager, SetUpFailuresAreLoggedAndLeaveNothingBehind) {
    const std::string tag = "LOG_ERROR: [DDrawManager::CreateDirectDraw] ";
    const struct {
        const char* call;  // fails for good; null: a 32-bit desktop
        bool full;
        std::string line;
    } cases[] = {
        {"DirectDrawCreate", false,
         "LOG_ERROR: Unable to initialize DirectDraw.\n\nMake sure you have DirectX installed, or go to\n"
         "http://www.microsoft.com/directx and download the latest version"},
        {"SetCooperativeLevel", true, tag + "Unable to set Cooperative Mode"},
        {"SetDisplayMode", true, "LOG_ERROR: Unable to set display mode. Try a diffrent resolution setting"},
        {"CreateSurface.primary", false, tag + "Unable to create primary surface"},
        {nullptr, false, "LOG_PANIC: [DDrawManager::CreateDirectDraw] Color mode not supported"},
        {"CreateClipper", false, tag + "Unable to create Clipper object"},
        {"primary.GetAttachedSurface", true, tag + "Unable to create BackBuffer surface"},
        {"CreateSurface.back", false, tag + "Unable to create BackBuffer surface (not fullscreen)"},
        {"back.Lock", false, tag + "Unable to lock BackBuffer surface"},
        {"back.GetFlipStatus", true, tag + "Unable to present BackBuffer surface"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const DWORD start = GetTickCount();
        Rig r(c.full, nullptr, {300, 20, 20, false}, c.call ? 0x07E0 : 0xFF00, c.call);
        EXPECT_LT(GetTickCount() - start, 1300u) << "gave up in bounded time";
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
        EXPECT_TRUE(r.log.Has(c.line));
    }
}

// A flip still being shown: Present answers 1 and flips nothing; one that never ends costs
// a frame (within the frame wait, not the set-up's), never a hang.
TEST(DDrawManager, FlipInProgress) {
    Rig r(true);
    r.dd.back->flipBusy = 3;
    EXPECT_EQ(r.Presents(3), -1);
    EXPECT_EQ(r.dd.shown, 4) << "set-up's flips only";
    r.dd.Fail("back.GetFlipStatus", DDERR_WASSTILLDRAWING);
    const DWORD start = GetTickCount();
    EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
    EXPECT_LT(GetTickCount() - start, 500u);
    r.dd.Fail("back.GetFlipStatus", DD_OK);
    EXPECT_TRUE(r.Frame());
}

// A surface lost while a frame is drawn: Present restores it (through the chain's primary
// full-screen), the screen never shows restored memory before it was cleared or drawn,
// and the frames after it are drawn at the new addresses. Where memory may only be
// touched while locked, the lock (without the system-wide one) is held for the frame.
TEST(DDrawManager, LostSurfacesAreRestoredAndNeverShownUndrawn) {
    const struct {
        const char* name;
        bool full, primaryLost, backLost;
        int restoreFailures;
        bool lockEachFrame = false;
    } cases[] = {
        {"full-screen chain", true, true, true, 0},       {"full-screen primary", true, true, false, 0},
        {"windowed back", false, false, true, 0},         {"windowed primary", false, true, false, 0},
        {"restore fails 3 times", true, true, true, 3},   {"windowed restore fails", false, true, true, 2},
        {"locked each frame", true, true, true, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(c.full, nullptr, {1000, 20, 20, c.lockEachFrame});
        ASSERT_TRUE(r.ok);
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(r.Draw());
            EXPECT_EQ(r.dd.back->locked ? r.dd.trace.back() : "", c.lockEachFrame ? "back.Lock(2048)" : "");
            r.dd.primary->lost = c.primaryLost;
            r.dd.back->lost = c.backLost;
            if (c.restoreFailures > 0) r.dd.Fail("primary.Restore", DDERR_WRONGMODE, c.restoreFailures);
            ASSERT_NE(r.Presents(c.restoreFailures + 3), -1);
            EXPECT_TRUE(r.Shown().Filled(0) || r.Shown().Filled(win32test::kDrawn)) << "restored memory on screen";
            for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(r.Frame(static_cast<uint16_t>(0x300 + frame)));
        }
        ASSERT_TRUE(r.Draw());  // a frame abandoned: the manager's end unlocks it
        r.m.reset();
        EXPECT_FALSE(r.dd.back->locked);
    }
}

TEST(DDrawManager, WindowedFramesGoToTheClientArea) {
    HWND window =
        CreateWindowExA(0, "STATIC", "", WS_CAPTION | WS_VISIBLE, 70, 90, 400, 300, nullptr, nullptr, nullptr, nullptr);
    Rig r(false, window);
    ASSERT_TRUE(r.ok);
    for (int move = 0; move < 2; ++move) {
        POINT o = {0, 0};
        ClientToScreen(window, &o);
        ASSERT_TRUE(r.Frame());
        const RECT& d = r.dd.primary->lastDst;
        EXPECT_TRUE(d.left == o.x && d.top == o.y && d.right == o.x + win32test::kW && d.bottom == o.y + win32test::kH);
        SetWindowPos(window, nullptr, 150, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    ShowWindow(window, SW_HIDE);  // destroying costs Wine seconds without a window manager
}

}  // namespace
