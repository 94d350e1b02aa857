// The display manager over the DirectDraw double.

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
}

// A failure at set-up or of an off-screen surface is logged, leaves nothing behind and ends in bounded time.
// Off-screen surfaces stay only in local video memory, keyed magenta.
TEST(DDrawManager, FailuresAreLoggedAndLeaveNothingBehind) {
    const std::string tag = "LOG_ERROR: [DDrawManager::CreateDirectDraw] ", off = ": [DDrawManager::CreateOffSurface] ";
    const struct {
        const char* call;  // null: none, or at set-up a 32-bit desktop
        bool full;
        DWORD mask, caps;  // caps of the off-screen surface; 0: the failure is at set-up
        int index, count;  // AddOffSurface's answer, OffCount after it
        std::string line;
    } cases[] = {
        {"DirectDrawCreate", false, 0x07E0, 0, 0, 0,
         "LOG_ERROR: Unable to initialize DirectDraw.\n\nMake sure you have DirectX installed, or go to\n"
         "http://www.microsoft.com/directx and download the latest version"},
        {"SetCooperativeLevel", true, 0x07E0, 0, 0, 0, tag + "Unable to set Cooperative Mode"},
        {"SetDisplayMode", true, 0x07E0, 0, 0, 0,
         "LOG_ERROR: Unable to set display mode. Try a diffrent resolution setting"},
        {"CreateSurface.primary", false, 0x07E0, 0, 0, 0, tag + "Unable to create primary surface"},
        {nullptr, false, 0xFF00, 0, 0, 0, "LOG_PANIC: [DDrawManager::CreateDirectDraw] Color mode not supported"},
        {"CreateClipper", false, 0x07E0, 0, 0, 0, tag + "Unable to create Clipper object"},
        {"primary.GetAttachedSurface", true, 0x07E0, 0, 0, 0, tag + "Unable to create BackBuffer surface"},
        {"CreateSurface.back", false, 0x07E0, 0, 0, 0, tag + "Unable to create BackBuffer surface (not fullscreen)"},
        {"back.Lock", false, 0x07E0, 0, 0, 0, tag + "Unable to lock BackBuffer surface"},
        {"back.GetFlipStatus", true, 0x07E0, 0, 0, 0, tag + "Unable to present BackBuffer surface"},
        {nullptr, false, 0x03E0, DDSCAPS_LOCALVIDMEM, 0, 1, "LOG_SPAM" + off + "Surface in local video memory"},
        {nullptr, false, 0x07E0, DDSCAPS_SYSTEMMEMORY, -1, 0,
         "LOG_INFO" + off + "Offscreen surface not in video RAM -> Releasing surface"},
        {"off.GetCaps", false, 0x07E0, DDSCAPS_LOCALVIDMEM, -1, 0,
         "LOG_ERROR" + off + "Unable to get surface capabilities"},
        {"CreateSurface.off", false, 0x07E0, DDSCAPS_LOCALVIDMEM, -1, 0,
         "LOG_ERROR" + off + "Unable to create surface"},
        {"off.SetColorKey", false, 0x07E0, DDSCAPS_LOCALVIDMEM, -1, 1, "LOG_ERROR" + off + "Unable to set color key"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const DWORD start = GetTickCount();
        Rig r(c.full, nullptr, {300, 20, 20, false}, c.mask, c.caps == 0 ? c.call : nullptr);
        EXPECT_TRUE(r.ok == (c.caps != 0) && GetTickCount() - start < 1300u) << "gave up, in bounded time";
        if (c.caps == 0) {
            EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
        } else {
            if (c.call != nullptr) r.dd.Fail(c.call, DDERR_GENERIC, 1);
            r.dd.offCaps = DDSCAPS_OFFSCREENPLAIN | c.caps;
            EXPECT_EQ(r.m->AddOffSurface(16, 8), c.index);
            EXPECT_EQ(r.m->OffCount(), c.count);
        }
        EXPECT_TRUE(r.log.Has(c.line));
        if (c.caps == 0 || c.index < 0) continue;
        const fake::Surface& s = *r.dd.surfaces.back();  // the one kept carries the colour key
        EXPECT_EQ(s.key.dwColorSpaceLowValue, c.mask == 0x03E0 ? 0x7C1Fu : 0xF81Fu);
        EXPECT_EQ(s.key.dwColorSpaceHighValue, s.key.dwColorSpaceLowValue);
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
    EXPECT_TRUE(r.m->GetBackBuffer() == nullptr && GetTickCount() - start < 500u);
    r.dd.Fail("back.GetFlipStatus", DD_OK);
    EXPECT_TRUE(r.Frame());
}

// A surface lost mid-frame is restored by Present, never shown undrawn, and drawn at its new address next;
// where memory may be touched only while locked, the lock is held for the frame.
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
    POINT o = {0, 0};
    ClientToScreen(window, &o);
    ASSERT_TRUE(r.ok && r.Frame());
    const RECT& d = r.dd.primary->lastDst;
    EXPECT_TRUE(d.left == o.x && d.top == o.y && d.right == o.x + win32test::kW && d.bottom == o.y + win32test::kH);
    ShowWindow(window, SW_HIDE);  // destroying costs Wine seconds without a window manager
}

// The table has no gaps and 200 places; a lock outside it gives nothing.
TEST(OffSurfaces, TableIndices) {
    Rig r(false);
    ASSERT_TRUE(r.ok);
    EXPECT_FALSE(r.m->CreateOffSurface(1, 8, 8)) << "a slot ahead of the count";
    EXPECT_TRUE(r.log.Has("LOG_ERROR: [DDrawManager::CreateOffSurface] Invalid surface index"));
    for (int i = 0; i < DDrawManager::kMaxOffSurfaces; ++i) ASSERT_EQ(r.m->AddOffSurface(4, 2 + i % 3), i);
    EXPECT_EQ(r.m->AddOffSurface(4, 2), -1);
    for (int index : {-1, 200}) EXPECT_EQ(r.m->LockOffSurface(index), nullptr) << index;
    const SurfaceInfo* info = r.m->LockOffSurface(199);
    ASSERT_NE(info, nullptr);
    const fake::Surface& s = *r.dd.surfaces.back();
    EXPECT_TRUE(info->pixels == s.mem.data() && info->width == 4 && info->height == 2 + 199 % 3 &&
                info->pitch == s.Pitch());
    r.m->UnlockOffSurface(199);
    EXPECT_FALSE(s.locked);
}

TEST(OffSurfaces, RestoreIsLogged) {
    for (bool works : {true, false}) {
        Rig r(true);
        r.dd.primary->lost = r.dd.back->lost = true;
        r.dd.Fail("primary.Restore", works ? DD_OK : DDERR_WRONGMODE);
        EXPECT_EQ(r.m->Restore(), works);
        EXPECT_TRUE(r.log.Has(works ? "LOG_INFO: [DDrawManager::Restore] Surfaces restored"
                                    : "LOG_ERROR: [DDrawManager::Restore] Unable to restore surfaces"));
        EXPECT_TRUE(!works || r.Frame());
    }
}

}  // namespace
