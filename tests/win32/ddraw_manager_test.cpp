// The display manager over the DirectDraw double.

#include <gtest/gtest.h>

#include <string>

#include "display/glyph_blitter.h"
#include "win32_test_support.h"

namespace {

using win32test::kH;
using win32test::kW;
using win32test::Rig;

TEST(DDrawManager, SetUpFramesAndTearDown) {
    HDC screen = GetDC(nullptr);
    auto caps = [&](int index) { return std::to_string(GetDeviceCaps(screen, index)); };
    const std::string desktop = caps(HORZRES) + "x" + caps(VERTRES) + "x" + caps(BITSPIXEL);
    ReleaseDC(nullptr, screen);
    HWND window =
        CreateWindowExA(0, "STATIC", "", WS_CAPTION | WS_VISIBLE, 70, 90, 400, 300, nullptr, nullptr, nullptr, nullptr);
    POINT o = {0, 0};
    ClientToScreen(window, &o);
    for (bool full : {false, true}) {
        SCOPED_TRACE(full ? "full-screen" : "windowed");
        ::colorType = kColor555;
        Rig r;
        ASSERT_TRUE(r.Start(full, window));
        EXPECT_EQ(::colorType, kColor565);
        EXPECT_TRUE(r.dd.back->Filled(0) && r.Shown().Filled(0)) << "both buffers cleared";
        // FlipToGDI may flip the chain behind the manager's back: frames still reach the screen.
        for (int frame = 0; frame < 4; ++frame) {
            EXPECT_TRUE(r.Frame(static_cast<uint16_t>(0x100 + frame))) << frame;
            r.m->FlipToGDI();
        }
        const RECT client = full ? RECT{} : RECT{o.x, o.y, o.x + kW, o.y + kH};
        EXPECT_TRUE(EqualRect(&r.dd.primary->lastDst, &client)) << "windowed frames go to the client area";
        r.m.reset();
        EXPECT_EQ(r.dd.mode, full ? desktop : "") << "the desktop's mode put back";
    }
    ShowWindow(window, SW_HIDE);  // destroying costs Wine seconds without a window manager
}

// A failure at set-up is logged and leaves nothing behind.
TEST(DDrawManager, SetUpFailuresAreLogged) {
    const std::string tag = "LOG_ERROR: [DDrawManager::CreateDirectDraw] ";
    const struct {
        const char* call;  // fails for good; null: a 32-bit desktop
        bool full;
        std::string line;
    } cases[] = {
        {"DirectDrawCreate", false,
         "LOG_ERROR: Unable to initialize DirectDraw.\n\nMake sure you have DirectX installed, or go to\n"
         "http://www.microsoft.com/directx and download the latest version"},
        {"dd.SetCooperativeLevel", true, tag + "Unable to set Cooperative Mode"},
        {"dd.SetDisplayMode", true, "LOG_ERROR: Unable to set display mode. Try a diffrent resolution setting"},
        {"CreateSurface.primary", false, tag + "Unable to create primary surface"},
        {nullptr, false, "LOG_PANIC: [DDrawManager::CreateDirectDraw] Color mode not supported"},
        {"dd.CreateClipper", false, tag + "Unable to create Clipper object"},
        {"primary.GetAttachedSurface", true, tag + "Unable to create BackBuffer surface"},
        {"CreateSurface.back", false, tag + "Unable to create BackBuffer surface (not fullscreen)"},
        {"back.Lock", false, tag + "Unable to lock BackBuffer surface"},
        {"back.GetFlipStatus", true, tag + "Unable to present BackBuffer surface"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Rig r;
        if (c.call == nullptr) r.dd.greenMask = 0xFF00;
        if (c.call != nullptr) r.dd.Fail(c.call, DDERR_GENERIC);
        EXPECT_FALSE(r.Start(c.full));
        EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
        EXPECT_TRUE(r.log.Has(c.line));
    }
}

// A flip still being shown: Present answers 1 and flips nothing; one that never ends costs a frame
// (the frame's wait, not the set-up's), never a hang.
TEST(DDrawManager, FlipInProgress) {
    Rig r({10000, 20, 20, false});
    ASSERT_TRUE(r.Start(true));
    r.dd.Fail("back.GetFlipStatus", DDERR_WASSTILLDRAWING, 3);
    EXPECT_EQ(r.Presents(3), -1);
    EXPECT_EQ(r.dd.shown, 4) << "set-up's flips only";
    r.dd.Fail("back.GetFlipStatus", DDERR_WASSTILLDRAWING);
    const DWORD start = GetTickCount();
    EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
    EXPECT_LT(GetTickCount() - start, 5000u) << "waited the set-up's 10 s";  // half of it: generous for 20 ms
    r.dd.Fail("back.GetFlipStatus", DD_OK);
    EXPECT_TRUE(r.Frame());
}

// A surface lost mid-frame is restored, by Present or on request, never shown undrawn, and drawn at its
// new address next; where memory may be touched only while locked, the lock is held for the frame.
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
        Rig r({1000, 20, 20, c.lockEachFrame});
        ASSERT_TRUE(r.Start(c.full));
        for (int round = 0; round < 2; ++round) {
            ASSERT_TRUE(r.Draw());
            EXPECT_EQ(r.dd.back->locked, c.lockEachFrame);
            r.dd.primary->lost = c.primaryLost;
            r.dd.back->lost = c.backLost;
            if (c.restoreFailures > 0) r.dd.Fail("primary.Restore", DDERR_WRONGMODE, c.restoreFailures);
            if (round == 1) {
                EXPECT_EQ(r.m->Restore(), c.restoreFailures == 0);
            }
            ASSERT_NE(r.Presents(c.restoreFailures + 3), -1);
            EXPECT_TRUE(r.Shown().Filled(0) || r.Shown().Filled(win32test::kDrawn)) << "restored memory on screen";
            for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(r.Frame(static_cast<uint16_t>(0x300 + frame)));
        }
        ASSERT_TRUE(r.Draw());  // a frame abandoned: the manager's end unlocks it
        r.m.reset();
        EXPECT_FALSE(r.dd.back->locked);
        EXPECT_TRUE(r.log.Has(c.restoreFailures ? "LOG_ERROR: [DDrawManager::Restore] Unable to restore surfaces"
                                                : "LOG_INFO: [DDrawManager::Restore] Surfaces restored"));
    }
}

// Off-screen surfaces stay only in local video memory, keyed magenta; the table has no gaps.
TEST(OffSurfaces, KeptInVideoMemoryAndKeyed) {
    const std::string off = ": [DDrawManager::CreateOffSurface] ";
    const struct {
        const char* call;  // fails once
        DWORD caps;
        int index, count;  // AddOffSurface's answer, OffCount after it
        std::string line;
    } cases[] = {
        {nullptr, DDSCAPS_LOCALVIDMEM, 0, 1, "LOG_SPAM" + off + "Surface in local video memory"},
        {nullptr, DDSCAPS_SYSTEMMEMORY, -1, 0, "LOG_INFO" + off + "Offscreen surface not in video RAM -> Releasing surface"},
        {"off.GetCaps", DDSCAPS_LOCALVIDMEM, -1, 0, "LOG_ERROR" + off + "Unable to get surface capabilities"},
        {"CreateSurface.off", DDSCAPS_LOCALVIDMEM, -1, 0, "LOG_ERROR" + off + "Unable to create surface"},
        {"off.SetColorKey", DDSCAPS_LOCALVIDMEM, -1, 1, "LOG_ERROR" + off + "Unable to set color key"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Rig r;
        r.dd.greenMask = 0x03E0;
        ASSERT_TRUE(r.Start(false));
        EXPECT_FALSE(r.m->CreateOffSurface(1, 8, 8)) << "a slot ahead of the count";
        if (c.call != nullptr) r.dd.Fail(c.call, DDERR_GENERIC, 1);
        r.dd.offCaps = DDSCAPS_OFFSCREENPLAIN | c.caps;
        EXPECT_EQ(r.m->AddOffSurface(16, 8), c.index);
        EXPECT_EQ(r.m->OffCount(), c.count);
        if (c.index == 0) {
            const fake::Object& s = *r.dd.objects.back();
            EXPECT_EQ(s.key.dwColorSpaceLowValue, 0x7C1Fu);
            EXPECT_EQ(s.key.dwColorSpaceHighValue, 0x7C1Fu);
            const SurfaceInfo* info = r.m->LockOffSurface(0);
            ASSERT_NE(info, nullptr);
            EXPECT_TRUE(info->pixels == s.mem.data() && info->width == 16 && info->pitch == fake::kPitch);
            r.m->UnlockOffSurface(0);
            EXPECT_FALSE(s.locked);
        }
        EXPECT_TRUE(r.log.Has(c.line));
    }
}

}  // namespace
