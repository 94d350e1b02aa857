// The display manager over the DirectDraw double.

#include "ddraw_fake.h"
#include "display/glyph_blitter.h"

namespace {

using fake::kDrawn;
using fake::Rig;

// Frames reach the screen, windowed the window's client area; a flip that never ends costs a frame (the frame's
// wait, not the set-up's). Off-screen surfaces stay only in video memory, keyed magenta, their table without gaps.
TEST(DDrawManager, SetUpFramesAndTearDown) {
    HDC screen = GetDC(nullptr);
    auto caps = [&](int index) { return static_cast<DWORD>(GetDeviceCaps(screen, index)); };
    const std::vector<DWORD> desktop = {caps(HORZRES), caps(VERTRES), caps(BITSPIXEL)};
    ReleaseDC(nullptr, screen);
    HWND window =
        CreateWindowExA(0, "STATIC", "", WS_CAPTION | WS_VISIBLE, 70, 90, 400, 300, nullptr, nullptr, nullptr, nullptr);
    POINT o = {0, 0};
    ClientToScreen(window, &o);
    for (bool full : {false, true}) {
        SCOPED_TRACE(full);
        ::colorType = kColor555;
        Rig r({10000, 20, 20, false});
        ASSERT_TRUE(r.Start(full, window));
        EXPECT_EQ(::colorType, kColor565);
        EXPECT_TRUE(r.dd.back->Filled(0) && r.Shown().Filled(0)) << "both buffers cleared";
        // FlipToGDI may flip the chain behind the manager's back.
        for (int frame = 0; frame < 4; ++frame) {
            EXPECT_TRUE(r.Frame(0x100 + frame)) << frame;
            r.m->FlipToGDI();
        }
        const RECT client = full ? RECT{} : RECT{o.x, o.y, o.x + fake::kW, o.y + fake::kH};
        EXPECT_TRUE(EqualRect(&r.dd.primary->lastDst, &client));
        r.dd.fail["back.GetFlipStatus"] = DDERR_WASSTILLDRAWING;
        const DWORD start = GetTickCount();
        EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
        EXPECT_LT(GetTickCount() - start, 5000u) << "waited the set-up's 10 s";  // half of it: generous for 20 ms
        r.dd.fail.clear();
        EXPECT_TRUE(r.Frame());
        EXPECT_EQ(r.m->AddOffSurface(16, 8), 0);
        EXPECT_EQ(r.dd.objects.back()->key.dwColorSpaceHighValue, 0xF81Fu);
        EXPECT_FALSE(r.m->CreateOffSurface(2, 8, 8)) << "a slot ahead of the count";
        r.dd.offCaps = DDSCAPS_SYSTEMMEMORY;
        EXPECT_EQ(r.m->AddOffSurface(16, 8), -1);
        r.m.reset();
        EXPECT_EQ(r.dd.mode, full ? desktop : std::vector<DWORD>{}) << "the desktop's mode put back";
    }
    ShowWindow(window, SW_HIDE);  // destroying costs Wine seconds without a window manager
}

// A failure at set-up is logged and leaves nothing behind.
TEST(DDrawManager, SetUpFailuresAreLogged) {
    const std::string tag = "[DDrawManager::CreateDirectDraw] ";
    const struct {
        const char* call;  // fails; "": a 32-bit desktop
        bool full;
        std::string line;
    } cases[] = {
        {"dd.Create", false,
         "Unable to initialize DirectDraw.\n\nMake sure you have DirectX installed, or go to\n"
         "http://www.microsoft.com/directx and download the latest version"},
        {"dd.SetDisplayMode", true, "Unable to set display mode. Try a diffrent resolution setting"},
        {"", false, tag + "Color mode not supported"},
        {"back.GetFlipStatus", true, tag + "Unable to present BackBuffer surface"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Rig r;
        r.dd.fail[c.call] = DDERR_GENERIC;
        if (*c.call == 0) r.dd.greenMask = 0xFF00;
        EXPECT_FALSE(r.Start(c.full));
        EXPECT_EQ(r.m->GetBackBuffer(), nullptr);
        EXPECT_EQ(r.Logged(), c.line);
    }
}

// A surface lost mid-frame is restored, by Present or on request, never shown undrawn, and drawn at its
// new address next; where memory may be touched only while locked, the lock is held for the frame.
TEST(DDrawManager, LostSurfacesAreRestoredAndNeverShownUndrawn) {
    const struct {
        bool full, primaryLost, backLost, restoreFails, lockEachFrame;
    } cases[] = {
        {true, true, true, false, false},
        {false, false, true, false, false},
        {false, true, false, true, false},
        {true, true, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        Rig r({1000, 20, 20, c.lockEachFrame});
        ASSERT_TRUE(r.Start(c.full));
        for (const bool onRequest : {false, true}) {
            ASSERT_TRUE(r.Draw());
            EXPECT_EQ(r.dd.back->locked, c.lockEachFrame);
            r.dd.primary->lost = c.primaryLost;
            r.dd.back->lost = c.backLost;
            if (c.restoreFails) r.dd.fail["primary.Restore"] = DDERR_WRONGMODE;
            if (onRequest) {
                EXPECT_EQ(r.m->Restore(), !c.restoreFails);
            }
            EXPECT_EQ(r.Presents() == -1, c.restoreFails);
            r.dd.fail.clear();
            ASSERT_NE(r.Presents(), -1);
            EXPECT_TRUE(r.Shown().Filled(0) || r.Shown().Filled(kDrawn)) << "restored memory on screen";
            for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(r.Frame(0x300 + frame));
        }
        ASSERT_TRUE(r.Draw());  // a frame abandoned: the manager's end unlocks it
        r.m.reset();
        EXPECT_FALSE(r.dd.back->locked);
        EXPECT_EQ(r.Logged(), c.restoreFails ? "[DDrawManager::Restore] Unable to restore surfaces"
                                             : "[DDrawManager::Restore] Surfaces restored");
    }
}

}  // namespace
