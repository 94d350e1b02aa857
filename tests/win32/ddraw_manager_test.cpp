// The display manager over the DirectDraw double: set-up and tear-down, every set-up
// failure, presentation, and recovery from the faults the platform can throw at it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ddraw_rig.h"
#include "display/glyph_blitter.h"

namespace {

using win32test::DesktopCaps;
using win32test::Rig;

std::vector<std::string> From(const std::vector<std::string>& trace, size_t from) {
    return std::vector<std::string>(trace.begin() + static_cast<long>(from), trace.end());
}

TEST(DDrawManager, SetUpAndTearDown) {
    const std::vector<std::string> windowed = {"DirectDrawCreate",
                                               "SetCooperativeLevel(0x8)",
                                               "CreateSurface.primary(0x1, 0x200)",
                                               "primary.GetSurfaceDesc",
                                               "CreateClipper",
                                               "clipper.SetHWnd",
                                               "primary.SetClipper",
                                               "CreateSurface.back(0x7, 0x40)",
                                               "back.Lock(0x0)",
                                               "back.Unlock",
                                               "primary.Blt",
                                               "back.Lock(0x0)",
                                               "back.Unlock",
                                               "primary.Blt",
                                               "back.Blt",
                                               "primary.Blt",
                                               "back.Blt",
                                               "primary.Blt"};
    const std::vector<std::string> fullScreen = {"DirectDrawCreate",
                                                 "SetCooperativeLevel(0x13)",
                                                 "SetDisplayMode(320x240x16)",
                                                 "CreateSurface.primary(0x21, 0x218)",
                                                 "primary.GetSurfaceDesc",
                                                 "primary.GetAttachedSurface",
                                                 "back.Lock(0x0)",
                                                 "back.Unlock",
                                                 "back.GetFlipStatus",
                                                 "primary.Flip",
                                                 "back.Lock(0x0)",
                                                 "back.Unlock",
                                                 "back.GetFlipStatus",
                                                 "primary.Flip",
                                                 "back.Blt",
                                                 "back.GetFlipStatus",
                                                 "primary.Flip",
                                                 "back.Blt",
                                                 "back.GetFlipStatus",
                                                 "primary.Flip"};
    const std::string desktopMode = "SetDisplayMode(" + std::to_string(DesktopCaps(HORZRES)) + "x" +
                                    std::to_string(DesktopCaps(VERTRES)) + "x" +
                                    std::to_string(DesktopCaps(BITSPIXEL)) + ")";
    for (bool full : {false, true}) {
        SCOPED_TRACE(full ? "full-screen" : "windowed");
        ::colorType = kColor555;
        Rig r(full);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.dd.trace, full ? fullScreen : windowed);
        EXPECT_EQ(r.m->GetColorType(), kColor565);
        EXPECT_EQ(::colorType, kColor565);
        EXPECT_TRUE(r.dd.back->Filled(0) && r.Shown().Filled(0)) << "both buffers cleared";
        // FlipToGDI may flip the chain behind the manager's back: frames still reach the screen.
        for (int frame = 0; frame < 4; ++frame, r.m->FlipToGDI())
            EXPECT_TRUE(r.Frame(static_cast<uint16_t>(0x100 + frame))) << frame;
        const size_t before = r.dd.trace.size();
        r.m.reset();
        const std::vector<std::string> tearDown =
            full ? std::vector<std::string>{desktopMode, "Release"} : std::vector<std::string>{"Release"};
        EXPECT_EQ(From(r.dd.trace, before), tearDown);
        const std::string text = r.log.Stop();
        EXPECT_NE(text.find("LOG_SPAM: [DDrawManager::CreateDirectDraw] Color type 5x6x5 detected\n"),
                  std::string::npos);
    }
    fake::Device dd;
    dd.greenMask = 0x03E0;
    DDrawManager m;
    ASSERT_TRUE(m.CreateDirectDraw(nullptr, 64, 48, false));
    EXPECT_EQ(m.GetColorType(), kColor555);
}

TEST(DDrawManager, SetUpFailuresAreLoggedAndLeaveNothingBehind) {
    const struct {
        const char* call;  // null: a 32-bit desktop
        bool full;
        HRESULT hr;
        const char* message;
    } cases[] = {
        {"DirectDrawCreate", false, DDERR_NODIRECTDRAWHW,
         "Unable to initialize DirectDraw.\n\nMake sure you have DirectX installed, or go to\n"
         "http://www.microsoft.com/directx and download the latest version"},
        {"SetCooperativeLevel", true, DDERR_EXCLUSIVEMODEALREADYSET,
         "[DDrawManager::CreateDirectDraw] Unable to set Cooperative Mode"},
        {"SetDisplayMode", true, DDERR_UNSUPPORTEDMODE,
         "Unable to set display mode. Try a diffrent resolution setting"},
        {"CreateSurface.primary", false, DDERR_OUTOFVIDEOMEMORY,
         "[DDrawManager::CreateDirectDraw] Unable to create primary surface"},
        {"primary.GetSurfaceDesc", true, DDERR_GENERIC, "[DDrawManager::CreateDirectDraw] Unable to get pixel format"},
        {nullptr, false, DD_OK, "[DDrawManager::CreateDirectDraw] Color mode not supported"},
        {"CreateClipper", false, DDERR_OUTOFMEMORY, "[DDrawManager::CreateDirectDraw] Unable to create Clipper object"},
        {"clipper.SetHWnd", false, DDERR_INVALIDPARAMS,
         "[DDrawManager::CreateDirectDraw] Clipper not assigned to hWnd"},
        {"primary.SetClipper", false, DDERR_GENERIC,
         "[DDrawManager::CreateDirectDraw] Clipper not set on primary surface"},
        {"primary.GetAttachedSurface", true, DDERR_NOTFOUND,
         "[DDrawManager::CreateDirectDraw] Unable to create BackBuffer surface"},
        {"CreateSurface.back", false, DDERR_OUTOFMEMORY,
         "[DDrawManager::CreateDirectDraw] Unable to create BackBuffer surface (not fullscreen)"},
        {"back.Lock", false, DDERR_SURFACEBUSY, "[DDrawManager::CreateDirectDraw] Unable to lock BackBuffer surface"},
        {"back.GetFlipStatus", true, DDERR_WASSTILLDRAWING,
         "[DDrawManager::CreateDirectDraw] Unable to present BackBuffer surface"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        win32test::LogCapture log;
        fake::Device dd;
        if (c.call != nullptr) dd.Fail(c.call, c.hr);
        if (c.call == nullptr) dd.greenMask = 0xFF00;
        {
            DDrawManager m({300, 20, 20, false});
            const DWORD start = GetTickCount();
            EXPECT_FALSE(m.CreateDirectDraw(nullptr, win32test::kW, win32test::kH, c.full));
            EXPECT_LT(GetTickCount() - start, 1300u) << "gave up in bounded time";
            EXPECT_FALSE(m.IsReady());
            EXPECT_EQ(m.GetBackBuffer(), nullptr);
        }
        EXPECT_EQ(dd.Leaks(), "");
        const std::string level = c.call == nullptr ? "LOG_PANIC: " : "LOG_ERROR: ";
        EXPECT_NE(log.Stop().find(level + c.message + "\n"), std::string::npos);
    }
}

// A flip still being shown: Present answers 1 and flips nothing, GetBackBuffer waits for
// it; one that never ends costs a frame (within the frame wait), never a hang.
TEST(DDrawManager, FlipInProgress) {
    Rig r(true);
    ASSERT_TRUE(r.ok);
    r.dd.back->flipBusy = 3;
    const int shown = r.dd.shown;
    EXPECT_EQ(r.Presents(3), -1);
    EXPECT_EQ(r.dd.shown, shown);
    EXPECT_EQ(r.m->Present(), 0);
    r.dd.back->flipBusy = 2;
    EXPECT_TRUE(r.Draw());
    EXPECT_EQ(r.dd.back->flipBusy, 0);
    r.dd.Fail("back.GetFlipStatus", DDERR_WASSTILLDRAWING);
    const DWORD start = GetTickCount();
    EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_EQ(r.Presents(5), -1);
    r.dd.Fail("back.GetFlipStatus", DD_OK, 0);
    EXPECT_TRUE(r.Frame());
}

// A surface lost while a frame is drawn: Present restores it (through the chain's primary
// full-screen), the screen never shows restored memory before it was cleared or drawn,
// and the frames after it are drawn at the new addresses.
TEST(DDrawManager, LostSurfacesAreRestoredAndNeverShownUndrawn) {
    const struct {
        const char* name;
        bool full, primaryLost, backLost;
        int restoreFailures;
    } cases[] = {
        {"full-screen chain", true, true, true, 0},     {"full-screen primary", true, true, false, 0},
        {"windowed back", false, false, true, 0},       {"windowed primary", false, true, false, 0},
        {"restore fails 3 times", true, true, true, 3}, {"windowed restore fails", false, true, true, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(c.full);
        ASSERT_TRUE(r.ok);
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(r.Draw());
            r.dd.primary->lost = c.primaryLost;
            r.dd.back->lost = c.backLost;
            if (c.restoreFailures > 0) r.dd.Fail("primary.Restore", DDERR_WRONGMODE, c.restoreFailures);
            ASSERT_NE(r.Presents(c.restoreFailures + 3), -1);
            EXPECT_TRUE(r.Shown().Filled(0) || r.Shown().Filled(win32test::kDrawn)) << "restored memory on screen";
            for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(r.Frame(static_cast<uint16_t>(0x300 + frame)));
        }
    }
}

// Lost between frames: GetBackBuffer restores the chain itself, since nothing is presented
// while nothing can be drawn.
TEST(DDrawManager, LossBetweenFramesIsRestoredByTheNextFrame) {
    Rig r(true);
    ASSERT_TRUE(r.ok);
    r.dd.primary->lost = r.dd.back->lost = true;
    r.dd.Fail("primary.Restore", DDERR_WRONGMODE, 2);
    EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
    EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
    EXPECT_TRUE(r.Frame());
}

TEST(DDrawManager, WindowedFramesGoToTheClientArea) {
    HWND window = win32test::TestWindow(70, 90, win32test::kW, win32test::kH);
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

// Where memory may only be touched while locked, the lock is held for the frame.
TEST(DDrawManager, LockEachFrame) {
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "full-screen" : "windowed");
        Rig r(full, nullptr, {1000, 20, 20, true});
        ASSERT_TRUE(r.ok);
        for (int frame = 0; frame < 4; ++frame) {
            ASSERT_TRUE(r.Draw());
            EXPECT_TRUE(r.dd.back->locked);
            EXPECT_EQ(r.dd.trace.back(), "back.Lock(0x800)") << "without the system-wide lock";
            ASSERT_EQ(r.Presents(), 1);
            EXPECT_FALSE(r.dd.back->locked);
        }
        ASSERT_TRUE(r.Draw());  // a frame abandoned: the manager's end unlocks it
        r.m.reset();
        EXPECT_FALSE(r.dd.back->locked);
    }
}

}  // namespace
