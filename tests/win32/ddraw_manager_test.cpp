// The display manager driven through test doubles of DirectDraw: every set-up step and
// failure, presentation, and the surface faults the platform can throw at it. Each case
// ends with the doubles' reference counts back at 0 and no call on a released object.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ddraw_fakes.h"
#include "diag/log.h"
#include "diag/log_core.h"
#include "display/ddraw_manager_win32.h"
#include "display/glyph_blitter.h"
#include "win32_test_support.h"

namespace {

using fakes::FakeDirectDraw;
using fakes::FakeSurface;
using win32test::LogCapture;

constexpr int kW = 320;
constexpr int kH = 240;
constexpr uint16_t kDrawn = 0x2222;

class FakeDDraw : public ::testing::Test {
protected:
    FakeDDraw() : use(dd), m(std::make_unique<DDrawManager>()) {
        m->captureTimeoutMs = 200;
        m->frameWaitMs = 20;
    }
    void TearDown() override {
        m.reset();
        EXPECT_EQ(dd.Leaks(), "");
        EXPECT_FALSE(dd.AnyUsedAfterRelease());
        for (FakeSurface* s : {dd.primary, dd.back}) {
            if (s != nullptr) {
                EXPECT_TRUE(s->RetiredBlocksIntact()) << s->name << ": drawn through a stale address";
            }
        }
    }

    bool Create(bool full, HWND window = nullptr) { return m->CreateDirectDraw(window, kW, kH, full); }

    // What the render thread does with a frame: draw through the buffer it is given. The
    // buffer must be the memory that is behind the back buffer now.
    bool DrawFrame() {
        const SurfaceInfo* s = m->GetBackBuffer();
        if (s == nullptr) return false;
        EXPECT_EQ(s, &m->buffers[m->current]);
        EXPECT_EQ(s->pixels, dd.back->Memory()) << "address handed out is not the back buffer's memory";
        EXPECT_EQ(s->pitch, kW + dd.pitchExtra);
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) s->pixels[y * s->pitch + x] = kDrawn;
        return true;
    }
    // Present until shown; the number of calls it took, or -1.
    int PresentCalls(int limit = 10) {
        for (int i = 1; i <= limit; ++i)
            if (m->Present() == 0) return i;
        return -1;
    }
    // Frames are drawn at the back buffer's memory now and shown at the first Present.
    void FramesFlow(int frames = 3) {
        for (int frame = 0; frame < frames; ++frame) {
            ASSERT_TRUE(DrawFrame()) << frame;
            ASSERT_EQ(PresentCalls(), 1) << frame;
        }
    }
    size_t TraceSize() const { return dd.trace.calls.size(); }
    std::vector<std::string> TraceFrom(size_t from) const {
        return std::vector<std::string>(dd.trace.calls.begin() + static_cast<long>(from), dd.trace.calls.end());
    }

    FakeDirectDraw dd;
    fakes::UseFakeDirectDraw use;
    LogCapture log;
    std::unique_ptr<DDrawManager> m;
};

bool AllEqual(const uint16_t* p, int width, int height, int pitch, uint16_t v) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (p[y * pitch + x] != v) return false;
    return true;
}

TEST_F(FakeDDraw, WindowedSetUpStepsInOrder) {
    ::colorType = kColor555;
    ASSERT_TRUE(Create(false));
    EXPECT_FALSE(m->lockEachFrame);
    const std::vector<std::string> setUp = {
        "DirectDrawCreate(default)",
        "dd.SetCooperativeLevel(0x8)",
        "dd.CreateSurface(0x1, 0x200)",
        "primary.GetSurfaceDesc(0x1000)",
        "dd.CreateClipper(0x0)",
        "clipper.SetHWnd(0x0)",
        "primary.SetClipper",
        "dd.CreateSurface(0x7, 0x40, 320x240)",
        "back.Lock(whole, 0x0)",
        "back.Unlock",
        "primary.Blt(0x0)",
        "back.Lock(whole, 0x0)",
        "back.Unlock",
        "primary.Blt(0x0)",
        "back.Blt(0x1000400, fill 0x0)",
        "primary.Blt(0x0)",
        "back.Blt(0x1000400, fill 0x0)",
        "primary.Blt(0x0)",
    };
    EXPECT_EQ(dd.trace.calls, setUp);
    EXPECT_EQ(m->notReady, 0);
    EXPECT_EQ(m->displayModeSet, 0);
    EXPECT_EQ(m->GetColorType(), kColor565);
    EXPECT_EQ(::colorType, kColor565);
    EXPECT_EQ(m->current, 0);
    EXPECT_EQ(m->buffers[0].pixels, dd.back->Memory());
    EXPECT_EQ(m->buffers[0].pitch, kW + dd.pitchExtra);  // bytes / 2
    EXPECT_EQ(m->buffers[0].width, kW);
    EXPECT_EQ(m->buffers[0].height, kH);
    EXPECT_TRUE(AllEqual(dd.back->Memory(), kW, kH, m->buffers[0].pitch, 0));

    // Off-screen slots are the manager's too: a surface left in one is released with it.
    DDSURFACEDESC d = {};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = d.dwHeight = 8;
    ASSERT_EQ(dd.CreateSurface(&d, &m->offSurfaces[7], nullptr), DD_OK);

    const size_t before = TraceSize();
    m.reset();
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{"dd.Release"}) << "windowed: no mode change on the way out";
    const std::string text = log.Stop();
    EXPECT_NE(text.find("LOG_SPAM: [DDrawManager::CreateDirectDraw] Color type 5x6x5 detected\n"), std::string::npos);
}

TEST_F(FakeDDraw, FullScreenSetUpStepsInOrder) {
    ASSERT_TRUE(Create(true));
    const std::vector<std::string> setUp = {
        "DirectDrawCreate(default)",       "dd.SetCooperativeLevel(0x13)",
        "dd.SetDisplayMode(320, 240, 16)", "dd.CreateSurface(0x21, 0x218, 1)",
        "primary.GetSurfaceDesc(0x1000)",  "primary.GetAttachedSurface(0x4)",
        "back.Lock(whole, 0x0)",           "back.Unlock",
        "back.GetFlipStatus(0x2)",         "primary.Flip(next, 0x0)",
        "back.Lock(whole, 0x0)",           "back.Unlock",
        "back.GetFlipStatus(0x2)",         "primary.Flip(next, 0x0)",
        "back.Blt(0x1000400, fill 0x0)",   "back.GetFlipStatus(0x2)",
        "primary.Flip(next, 0x0)",         "back.Blt(0x1000400, fill 0x0)",
        "back.GetFlipStatus(0x2)",         "primary.Flip(next, 0x0)",
    };
    EXPECT_EQ(dd.trace.calls, setUp);
    EXPECT_EQ(m->displayModeSet, 1);
    EXPECT_EQ(m->current, 0);
    EXPECT_EQ(m->buffers[0].pixels, dd.back->Memory());
    EXPECT_EQ(m->buffers[1].pixels, dd.primary->Memory());
    EXPECT_TRUE(AllEqual(dd.back->Memory(), kW, kH, kW + dd.pitchExtra, 0));
    EXPECT_TRUE(AllEqual(dd.primary->Memory(), kW, kH, kW + dd.pitchExtra, 0));

    const size_t before = TraceSize();
    m.reset();
    const std::vector<std::string> tearDown = {"dd.SetDisplayMode(" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) +
                                                   ", " + std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ", " +
                                                   std::to_string(DDrawManager().desktopBits) + ")",
                                               "dd.Release"};
    EXPECT_EQ(TraceFrom(before), tearDown);
}

TEST_F(FakeDDraw, GreenMaskSelectsTheLayout) {
    struct Case {
        DWORD mask;
        ColorType expected;
    };
    for (const Case& c : {Case{0x03E0, kColor555}, Case{0x07E0, kColor565}}) {
        FakeDirectDraw device;
        device.greenMask = c.mask;
        fakes::UseFakeDirectDraw installed(device);
        ::colorType = 1 - c.expected;
        {
            DDrawManager manager;
            ASSERT_TRUE(manager.CreateDirectDraw(nullptr, 64, 48, false));
            EXPECT_EQ(manager.GetColorType(), c.expected) << fakes::Hex(c.mask);
            EXPECT_EQ(::colorType, c.expected) << fakes::Hex(c.mask);
        }
        EXPECT_EQ(device.Leaks(), "");
    }
}

struct SetUpFailure {
    const char* name;
    bool fullScreen;
    void (*inject)(FakeDirectDraw&);
    const char* lastCall;  // the failing call ends the set-up; null: not fixed
    const char* message;
    LogLevel level;
};

// Arms a standing failure on a surface as soon as the double creates it.
void OnSurface(FakeDirectDraw& d, const char* name, fakes::Script FakeSurface::*script, HRESULT hr) {
    const std::string which = name;
    d.surfaceSetUp = [which, script, hr](FakeSurface& s) {
        if (s.name == which) (s.*script).standing = hr;
    };
}

const SetUpFailure kSetUpFailures[] = {
    {"DirectDrawCreate", false, [](FakeDirectDraw& d) { d.createScript.next = {DDERR_NODIRECTDRAWHW}; },
     "DirectDrawCreate(default)",
     "Unable to initialize DirectDraw.\n\nMake sure you have DirectX installed, or go to\n"
     "http://www.microsoft.com/directx and download the latest version",
     LOG_ERROR},
    {"SetCooperativeLevel", true, [](FakeDirectDraw& d) { d.coopScript.next = {DDERR_EXCLUSIVEMODEALREADYSET}; },
     "dd.SetCooperativeLevel(0x13)", "[DDrawManager::CreateDirectDraw] Unable to set Cooperative Mode", LOG_ERROR},
    {"SetDisplayMode", true, [](FakeDirectDraw& d) { d.modeScript.next = {DDERR_UNSUPPORTEDMODE}; },
     "dd.SetDisplayMode(320, 240, 16)", "Unable to set display mode. Try a diffrent resolution setting", LOG_ERROR},
    {"CreatePrimary", false, [](FakeDirectDraw& d) { d.primaryScript.next = {DDERR_OUTOFVIDEOMEMORY}; },
     "dd.CreateSurface(0x1, 0x200)", "[DDrawManager::CreateDirectDraw] Unable to create primary surface", LOG_ERROR},
    {"GetSurfaceDesc", true,
     [](FakeDirectDraw& d) { OnSurface(d, "primary", &FakeSurface::descScript, DDERR_GENERIC); },
     "primary.GetSurfaceDesc(0x1000)", "[DDrawManager::CreateDirectDraw] Unable to get pixel format", LOG_ERROR},
    {"Mask32Bit", false, [](FakeDirectDraw& d) { d.greenMask = 0xFF00; }, "primary.GetSurfaceDesc(0x1000)",
     "[DDrawManager::CreateDirectDraw] Color mode not supported", LOG_PANIC},
    {"Mask8Bit", true, [](FakeDirectDraw& d) { d.greenMask = 0x1C; }, "primary.GetSurfaceDesc(0x1000)",
     "[DDrawManager::CreateDirectDraw] Color mode not supported", LOG_PANIC},
    {"CreateClipper", false, [](FakeDirectDraw& d) { d.clipperScript.next = {DDERR_OUTOFMEMORY}; },
     "dd.CreateClipper(0x0)", "[DDrawManager::CreateDirectDraw] Unable to create Clipper object", LOG_ERROR},
    {"SetHWnd", false,
     [](FakeDirectDraw& d) {
         d.clipperSetUp = [](fakes::FakeClipper& c) { c.setHWndScript.standing = DDERR_INVALIDPARAMS; };
     },
     "clipper.SetHWnd(0x0)", "[DDrawManager::CreateDirectDraw] Clipper not assigned to hWnd", LOG_ERROR},
    {"SetClipper", false,
     [](FakeDirectDraw& d) { OnSurface(d, "primary", &FakeSurface::setClipperScript, DDERR_NOCLIPPERATTACHED); },
     "primary.SetClipper", "[DDrawManager::CreateDirectDraw] Clipper not set on primary surface", LOG_ERROR},
    {"GetAttachedSurface", true,
     [](FakeDirectDraw& d) { OnSurface(d, "primary", &FakeSurface::attachScript, DDERR_NOTFOUND); },
     "primary.GetAttachedSurface(0x4)", "[DDrawManager::CreateDirectDraw] Unable to create BackBuffer surface",
     LOG_ERROR},
    {"CreateBackBuffer", false, [](FakeDirectDraw& d) { d.backScript.next = {DDERR_OUTOFMEMORY}; },
     "dd.CreateSurface(0x7, 0x40, 320x240)",
     "[DDrawManager::CreateDirectDraw] Unable to create BackBuffer surface (not fullscreen)", LOG_ERROR},
    {"LockNeverSucceeds", false,
     [](FakeDirectDraw& d) { OnSurface(d, "back", &FakeSurface::lockScript, DDERR_SURFACEBUSY); }, nullptr,
     "[DDrawManager::CreateDirectDraw] Unable to lock BackBuffer surface", LOG_ERROR},
    {"LockFailsOtherwise", true,
     [](FakeDirectDraw& d) { OnSurface(d, "back", &FakeSurface::lockScript, DDERR_GENERIC); }, nullptr,
     "[DDrawManager::CreateDirectDraw] Unable to lock BackBuffer surface", LOG_ERROR},
    {"FlipNeverFinishes", true,
     [](FakeDirectDraw& d) { OnSurface(d, "back", &FakeSurface::flipStatusScript, DDERR_WASSTILLDRAWING); }, nullptr,
     "[DDrawManager::CreateDirectDraw] Unable to present BackBuffer surface", LOG_ERROR},
    {"BlitNeverSucceeds", false,
     [](FakeDirectDraw& d) { OnSurface(d, "primary", &FakeSurface::bltScript, DDERR_GENERIC); }, nullptr,
     "[DDrawManager::CreateDirectDraw] Unable to present BackBuffer surface", LOG_ERROR},
};

class FakeDDrawSetUpFailure : public FakeDDraw, public ::testing::WithParamInterface<SetUpFailure> {};

TEST_P(FakeDDrawSetUpFailure, FailsLoggedAndLeavesNothingBehind) {
    const SetUpFailure& c = GetParam();
    const std::string which = c.name;
    c.inject(dd);
    const DWORD start = GetTickCount();
    const bool ok = Create(c.fullScreen);
    const DWORD took = GetTickCount() - start;
    EXPECT_FALSE(ok);
    EXPECT_LT(took, m->captureTimeoutMs + 1000u) << "gave up in bounded time";
    if (c.lastCall != nullptr) {
        ASSERT_FALSE(dd.trace.calls.empty());
        EXPECT_EQ(dd.trace.calls.back(), c.lastCall) << "set-up goes no further than the failing step";
    }
    EXPECT_EQ(m->notReady, 1);
    EXPECT_EQ(m->GetBackBuffer(), nullptr);
    EXPECT_EQ(m->displayModeSet, which != "SetDisplayMode" && c.fullScreen && which != "SetCooperativeLevel" ? 1 : 0);
    m->FlipToGDI();
    EXPECT_EQ(dd.flipToGdiCalls, which == "DirectDrawCreate" ? 0 : 1);

    const size_t before = TraceSize();
    m.reset();
    std::vector<std::string> tearDown;
    if (which != "DirectDrawCreate") {
        if (c.fullScreen) tearDown.push_back("dd.SetDisplayMode");  // the desktop's mode, even after a failure
        tearDown.push_back("dd.Release");
    }
    std::vector<std::string> seen = TraceFrom(before);
    for (std::string& s : seen)
        if (s.rfind("dd.SetDisplayMode", 0) == 0) s = "dd.SetDisplayMode";
    EXPECT_EQ(seen, tearDown);

    EXPECT_EQ(MostSevereLevel(), c.level);
    EXPECT_STREQ(RememberedErrorMsg().Text(), c.message);
    const std::string text = log.Stop();
    const std::string prefix = c.level == LOG_PANIC ? "LOG_PANIC: " : "LOG_ERROR: ";
    EXPECT_NE(text.find(prefix + c.message + "\n"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Steps, FakeDDrawSetUpFailure, ::testing::ValuesIn(kSetUpFailures),
                         [](const ::testing::TestParamInfo<SetUpFailure>& info) { return info.param.name; });

TEST_F(FakeDDraw, FullScreenCurrentFollowsEachSuccessfulFlip) {
    ASSERT_TRUE(Create(true));
    for (int frame = 0; frame < 6; ++frame) {
        const int before = m->current;
        ASSERT_TRUE(DrawFrame());
        EXPECT_EQ(PresentCalls(), 1);
        EXPECT_EQ(m->current, 1 - before);
        EXPECT_TRUE(AllEqual(dd.primary->Memory(), kW, kH, kW + dd.pitchExtra, kDrawn)) << "the frame is shown";
    }
    // A failed presentation changes nothing.
    dd.primary->flipScript.next = {DDERR_GENERIC};
    const int before = m->current;
    EXPECT_EQ(m->Present(), 1);
    EXPECT_EQ(m->current, before);
    EXPECT_EQ(m->GetBackBuffer(), &m->buffers[before]);
}

// Showing the desktop's surface flips the chain when the desktop's memory is at the back
// (every other flip), behind current: frames after it must still go to the back buffer.
TEST_F(FakeDDraw, FramesAfterFlipToGdiGoToTheBackBuffer) {
    ASSERT_TRUE(Create(true));
    for (int frame = 0; frame < 4; ++frame) {
        m->FlipToGDI();
        FramesFlow(1);
    }
}

TEST_F(FakeDDraw, FlipStillInProgress) {
    ASSERT_TRUE(Create(true));
    // Present answers 1 without flipping while the last flip is being shown.
    dd.back->flipBusyPolls = 3;
    const int flips = dd.primary->flips;
    EXPECT_EQ(m->Present(), 1);
    EXPECT_EQ(m->Present(), 1);
    EXPECT_EQ(m->Present(), 1);
    EXPECT_EQ(dd.primary->flips, flips);
    EXPECT_EQ(m->Present(), 0);

    // GetBackBuffer waits for it to finish.
    dd.back->flipBusyPolls = 4;
    EXPECT_TRUE(DrawFrame());
    EXPECT_EQ(dd.back->flipBusyPolls, 0);

    // A flip that never finishes: no buffer this frame (bounded wait), Present keeps
    // answering 1, and nothing hangs.
    dd.back->flipStatusScript.standing = DDERR_WASSTILLDRAWING;
    const DWORD start = GetTickCount();
    EXPECT_EQ(m->GetBackBuffer(), nullptr);
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ(PresentCalls(5), -1);
    dd.back->flipStatusScript.standing = DD_OK;
    FramesFlow(1);
}

TEST_F(FakeDDraw, BusySurface) {
    ASSERT_TRUE(Create(true));
    dd.back->flipStatusScript.next = {DDERR_SURFACEBUSY, DDERR_SURFACEBUSY};
    EXPECT_EQ(PresentCalls(), 3);
    // A loss forces a fresh lock; a busy answer to it is waited out.
    dd.primary->lost = dd.back->lost = true;
    EXPECT_EQ(PresentCalls(), 2);
    dd.back->lockScript.next = {DDERR_SURFACEBUSY, DDERR_WASSTILLDRAWING, DDERR_SURFACEBUSY};
    FramesFlow(1);
}

// A lost chain is restored through its primary, whether the flip meets the loss (primary
// lost) or the flip-status poll does (back buffer lost: the platform refuses to restore a
// chain's back buffer on its own). The chain's memory moves on restore; frames after it are
// drawn at the new addresses, never at the old ones (poisoned, checked at tear-down).
TEST_F(FakeDDraw, LostChainIsRestoredThroughThePrimary) {
    ASSERT_TRUE(Create(true));
    for (bool backLost : {false, true}) {
        const int restores = dd.primary->restores;
        const int blocks = dd.primary->Blocks();
        dd.primary->lost = true;
        dd.back->lost = backLost;
        if (backLost) {
            EXPECT_EQ(m->GetBackBuffer(), nullptr) << "a lost back buffer is not drawn into";
        } else {
            ASSERT_TRUE(DrawFrame());
        }
        EXPECT_EQ(m->Present(), 1);
        EXPECT_EQ(dd.primary->restores, restores + 1);
        EXPECT_EQ(dd.primary->Blocks(), blocks + 1);
        EXPECT_FALSE(dd.back->lost);
        EXPECT_EQ(PresentCalls(), 1);
        FramesFlow(4);
    }
}

TEST_F(FakeDDraw, RestoreThatFailsKeepsAnsweringOneWithoutDrawing) {
    ASSERT_TRUE(Create(true));
    dd.primary->lost = dd.back->lost = true;
    dd.primary->restoreScript.standing = DDERR_WRONGMODE;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(m->GetBackBuffer(), nullptr);
        EXPECT_EQ(m->Present(), 1);
    }
    EXPECT_EQ(dd.back->restores, 0);
    dd.primary->restoreScript.standing = DD_OK;
    EXPECT_EQ(m->Present(), 1);
    EXPECT_EQ(PresentCalls(), 1);
    FramesFlow(1);
}

TEST_F(FakeDDraw, LockThatNeverSucceedsAfterARestoreSkipsFrames) {
    ASSERT_TRUE(Create(true));
    dd.primary->lost = dd.back->lost = true;
    EXPECT_EQ(PresentCalls(), 2);
    dd.back->lockScript.standing = DDERR_GENERIC;
    dd.primary->lockScript.standing = DDERR_GENERIC;
    const DWORD start = GetTickCount();
    for (int frame = 0; frame < 4; ++frame) {
        EXPECT_EQ(m->GetBackBuffer(), nullptr);
        EXPECT_EQ(PresentCalls(), 1);  // an undrawn frame still flips
    }
    EXPECT_LT(GetTickCount() - start, 2000u);
    dd.back->lockScript.standing = dd.primary->lockScript.standing = DD_OK;
    FramesFlow();
}

TEST_F(FakeDDraw, WindowedBlitsToTheClientOrigin) {
    win32test::TestWindow window(70, 90, kW, kH);
    ASSERT_TRUE(Create(false, window.Handle()));
    for (int move = 0; move < 2; ++move) {
        POINT origin = {0, 0};
        ClientToScreen(window.Handle(), &origin);
        ASSERT_TRUE(DrawFrame());
        EXPECT_EQ(PresentCalls(), 1);
        ASSERT_TRUE(dd.primary->lastBltHadDst);
        EXPECT_EQ(dd.primary->lastBltDst.left, origin.x);
        EXPECT_EQ(dd.primary->lastBltDst.top, origin.y);
        EXPECT_EQ(dd.primary->lastBltDst.right, origin.x + kW);
        EXPECT_EQ(dd.primary->lastBltDst.bottom, origin.y + kH);
        EXPECT_EQ(m->current, 0);
        SetWindowPos(window.Handle(), nullptr, 150, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
}

TEST_F(FakeDDraw, WindowedLostBackBufferIsRestoredAfterThePrimary) {
    ASSERT_TRUE(Create(false));
    dd.back->lost = true;
    const size_t before = TraceSize();
    EXPECT_EQ(m->Present(), 1);
    EXPECT_EQ(TraceFrom(before), (std::vector<std::string>{"primary.Blt(0x0)", "primary.Restore", "back.Restore"}));
    EXPECT_EQ(PresentCalls(), 1);
    FramesFlow();  // at the restored memory
    EXPECT_EQ(m->current, 0);
}

TEST_F(FakeDDraw, WindowedPrimaryThatWillNotRestoreLeavesTheBackBufferAlone) {
    ASSERT_TRUE(Create(false));
    dd.primary->lost = true;
    dd.primary->restoreScript.next = {DDERR_GENERIC, DDERR_GENERIC};
    EXPECT_EQ(m->Present(), 1);
    EXPECT_EQ(m->Present(), 1);
    EXPECT_EQ(dd.back->restores, 0);
    EXPECT_EQ(m->Present(), 1);  // restored now
    EXPECT_EQ(dd.back->restores, 1);
    EXPECT_EQ(PresentCalls(), 1);
    FramesFlow(1);
}

// Where memory may only be touched while locked, GetBackBuffer locks and Present unlocks.
// The doubles flag any change made to a surface's memory while it was unlocked.
TEST_F(FakeDDraw, LockEachFrameTouchesMemoryOnlyWhileLocked) {
    for (bool full : {true, false}) {
        m = std::make_unique<DDrawManager>();
        m->lockEachFrame = true;
        ASSERT_TRUE(Create(full));
        dd.back->strictLocking = dd.primary->strictLocking = true;
        for (int frame = 0; frame < 4; ++frame) {
            ASSERT_TRUE(DrawFrame());
            EXPECT_TRUE(dd.back->isLocked);
            EXPECT_EQ(dd.trace.calls.back(), "back.Lock(whole, 0x800)") << "without the system-wide lock";
            ASSERT_EQ(PresentCalls(), 1);
            EXPECT_FALSE(dd.back->isLocked);
        }
        // A frame abandoned before its Present (pause) is unlocked by the next one...
        ASSERT_TRUE(DrawFrame());
        ASSERT_TRUE(DrawFrame());
        ASSERT_EQ(PresentCalls(), 1);
        // ...or by the manager's end.
        ASSERT_TRUE(DrawFrame());
        m.reset();
        EXPECT_FALSE(dd.back->isLocked);
        EXPECT_EQ(dd.back->locks - dd.back->unlocks, 0);
        EXPECT_FALSE(dd.back->touchedWhileUnlocked) << (full ? "full-screen" : "windowed");
        EXPECT_FALSE(dd.primary->touchedWhileUnlocked);
        EXPECT_EQ(dd.Leaks(), "");
    }
}

// Memory that moves between two locks of the same surface cannot be drawn into through a
// recorded address: set-up notices and switches to a lock per frame.
TEST_F(FakeDDraw, MemoryThatMovesBetweenLocksIsLockedEveryFrame) {
    dd.surfaceSetUp = [](FakeSurface& s) {
        if (s.name == "back") s.relocateOnUnlock = true;
    };
    ASSERT_TRUE(Create(false));
    EXPECT_TRUE(m->lockEachFrame);
    FramesFlow(4);
    EXPECT_GE(dd.back->Blocks(), 6);
    const std::string text = log.Stop();
    EXPECT_NE(text.find("LOG_INFO: [DDrawManager::CreateDirectDraw] BackBuffer memory moves, locking it for every "
                        "frame\n"),
              std::string::npos);
}

// The same check catches the default mode, which draws without a lock.
TEST_F(FakeDDraw, DrawingThroughRecordedAddressesIsSeenByTheLockCheck) {
    ASSERT_TRUE(Create(true));
    dd.back->strictLocking = dd.primary->strictLocking = true;
    ASSERT_TRUE(DrawFrame());
    ASSERT_EQ(PresentCalls(), 1);
    EXPECT_TRUE(dd.back->touchedWhileUnlocked);
}

TEST_F(FakeDDraw, FlipToGdiWithoutDirectDrawDoesNothing) {
    m->FlipToGDI();
    EXPECT_TRUE(dd.trace.calls.empty());
    m.reset();
    EXPECT_TRUE(dd.trace.calls.empty());
}

}  // namespace
