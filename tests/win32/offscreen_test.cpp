// The display manager's off-screen surfaces and its restore: against test doubles of
// DirectDraw for every branch and fault, and against Wine's DirectDraw (16-bit windowed
// desktop) for what the platform really does with them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "ddraw_fakes.h"
#include "diag/log.h"
#include "diag/log_core.h"
#include "display/ddraw_manager_win32.h"
#include "glyphs/graphics_loader.h"
#include "support/fixed_string.h"
#include "win32_test_support.h"

namespace {

using fakes::FakeDirectDraw;
using fakes::FakeSurface;
using fakes::Hex;
using fakes::Script;
using win32test::LogCapture;

constexpr int kW = 320;
constexpr int kH = 240;
constexpr DWORD kInVideoMemory = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;

// ---------------------------------------------------------------------------------------
// Doubles: a surface that also answers what off-screen surfaces are asked, and a device
// that makes such surfaces for the windowed back buffer and every off-screen request.

class OffSurface : public FakeSurface {
public:
    OffSurface(fakes::Trace& t, std::string n, int w, int h, int pitchPixels, DWORD green)
        : FakeSurface(t, std::move(n), w, h, pitchPixels, green) {}

    DWORD caps = kInVideoMemory;
    Script colorKeyScript, capsScript, bltFastScript, bltStatusScript;
    DDCOLORKEY key = {};
    int bltFasts = 0;

    HRESULT STDMETHODCALLTYPE SetColorKey(DWORD flags, LPDDCOLORKEY k) override {
        Note("SetColorKey(" + Hex(flags) + ", " + Hex(k->dwColorSpaceLowValue) + "-" + Hex(k->dwColorSpaceHighValue) +
             ")");
        const HRESULT hr = colorKeyScript.Take();
        if (hr == DD_OK) key = *k;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDDSCAPS c) override {
        Note("GetCaps");
        const HRESULT hr = capsScript.Take();
        if (hr == DD_OK) c->dwCaps = caps;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE BltFast(DWORD x, DWORD y, LPDIRECTDRAWSURFACE src, LPRECT r, DWORD flags) override {
        auto* source = static_cast<FakeSurface*>(src);
        Note("BltFast(" + std::to_string(x) + ", " + std::to_string(y) + ", " + source->name + ", " +
             std::to_string(r->left) + " " + std::to_string(r->top) + " " + std::to_string(r->right) + " " +
             std::to_string(r->bottom) + ", " + Hex(flags) + ")");
        ++bltFasts;
        if (lost || source->lost) return DDERR_SURFACELOST;
        if (isLocked || source->isLocked) return DDERR_SURFACEBUSY;
        return bltFastScript.Take();
    }
    HRESULT STDMETHODCALLTYPE GetBltStatus(DWORD flags) override {
        Note("GetBltStatus(" + Hex(flags) + ")");
        return bltStatusScript.Take();
    }

private:
    void Note(const std::string& what) {
        if (refs <= 0) usedAfterRelease = true;
        trace.Add(name + "." + what);
    }
};

class OffDevice : public FakeDirectDraw {
public:
    Script offScript;                               // answers to off-screen CreateSurface calls
    std::function<void(OffSurface&)> offSetUp;      // arms each off-screen surface as it is made
    std::vector<std::unique_ptr<OffSurface>> offs;  // windowed back buffer first, if any
    OffSurface* windowedBack = nullptr;

    OffSurface* Off(int n) const { return offs.at(static_cast<size_t>(n + (windowedBack != nullptr))).get(); }

    HRESULT STDMETHODCALLTYPE CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown* outer) override {
        if (desc->ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE) return FakeDirectDraw::CreateSurface(desc, out, outer);
        trace.Add("dd.CreateSurface(" + Hex(desc->dwFlags) + ", " + Hex(desc->ddsCaps.dwCaps) + ", " +
                  std::to_string(desc->dwWidth) + "x" + std::to_string(desc->dwHeight) + ")");
        const bool isBack = back == nullptr;  // windowed set-up asks for its back buffer first
        const HRESULT hr = isBack ? backScript.Take() : offScript.Take();
        if (hr != DD_OK) return hr;
        const int w = static_cast<int>(desc->dwWidth);
        const int offIndex = static_cast<int>(offs.size()) - (windowedBack != nullptr);
        offs.push_back(std::make_unique<OffSurface>(trace, isBack ? "back" : "off" + std::to_string(offIndex), w,
                                                    static_cast<int>(desc->dwHeight), w + pitchExtra, greenMask));
        OffSurface* s = offs.back().get();
        if (isBack) {
            back = windowedBack = s;
        } else if (offSetUp) {
            offSetUp(*s);
        }
        *out = s;
        return DD_OK;
    }

    std::string AllLeaks() const {
        std::string out = Leaks();
        for (const auto& s : offs)
            if (s->refs != 0) out += s->name + " refs " + std::to_string(s->refs) + "; ";
        return out;
    }
    bool AnyOffUsedAfterRelease() const {
        for (const auto& s : offs)
            if (s->usedAfterRelease) return true;
        return AnyUsedAfterRelease();
    }
};

class OffscreenFakes : public ::testing::Test {
protected:
    OffscreenFakes() : use(dd), m(std::make_unique<DDrawManager>()) {
        m->captureTimeoutMs = 200;
        m->frameWaitMs = 20;
        m->offWaitMs = 30;
    }
    void TearDown() override {
        m.reset();
        EXPECT_EQ(dd.AllLeaks(), "");
        EXPECT_FALSE(dd.AnyOffUsedAfterRelease());
        for (FakeSurface* s : {static_cast<FakeSurface*>(dd.primary), dd.back})
            if (s != nullptr) {
                EXPECT_TRUE(s->RetiredBlocksIntact()) << s->name << ": drawn through a stale address";
            }
    }

    bool Create(bool full = false) { return m->CreateDirectDraw(nullptr, kW, kH, full); }
    size_t TraceSize() const { return dd.trace.calls.size(); }
    std::vector<std::string> TraceFrom(size_t from) const {
        return std::vector<std::string>(dd.trace.calls.begin() + static_cast<long>(from), dd.trace.calls.end());
    }
    bool Traced(size_t from, const std::string& prefix) const {
        for (const std::string& c : TraceFrom(from))
            if (c.rfind(prefix, 0) == 0) return true;
        return false;
    }
    // Draws into the buffer GetBackBuffer hands out, which must be the back buffer's
    // memory now.
    bool DrawFrame(uint16_t colour) {
        const SurfaceInfo* s = m->GetBackBuffer();
        if (s == nullptr) return false;
        EXPECT_EQ(s->pixels, dd.back->Memory()) << "address handed out is not the back buffer's memory";
        for (int y = 0; y < s->height; ++y)
            for (int x = 0; x < s->width; ++x) s->pixels[y * s->pitch + x] = colour;
        return true;
    }
    void ExpectBackBlack() {
        const SurfaceInfo& b = m->buffers[0];
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) ASSERT_EQ(b.pixels[y * b.pitch + x], 0) << x << "," << y;
    }
    // A wait that cannot succeed is given up after offWaitMs (tick granularity allowed for).
    void ExpectGaveUpInTime(DWORD start) {
        const DWORD took = GetTickCount() - start;
        EXPECT_GE(took, m->offWaitMs - 16);
        EXPECT_LT(took, m->offWaitMs + 500);
    }
    bool Presented() {
        for (int i = 0; i < 10; ++i)
            if (m->Present() == 0) return true;
        return false;
    }

    OffDevice dd;
    fakes::UseFakeDirectDraw use;
    LogCapture log;
    std::unique_ptr<DDrawManager> m;
};

bool Has(const std::string& text, const std::string& line) { return text.find(line + "\n") != std::string::npos; }

// A device of its own per layout (doubles are installed one at a time, never nested).
TEST(OffscreenDoubles, AddedSurfaceCarriesMagentaKeyInTheDisplaysLayout) {
    struct Case {
        DWORD greenMask;
        const char* key;
    };
    for (const Case& c : {Case{0x03E0, "0x7c1f-0x7c1f"}, Case{0x07E0, "0xf81f-0xf81f"}}) {
        OffDevice device;
        device.greenMask = c.greenMask;
        fakes::UseFakeDirectDraw installed(device);
        LogCapture caseLog;
        {
            DDrawManager manager;
            ASSERT_TRUE(manager.CreateDirectDraw(nullptr, 64, 48, false));
            const size_t before = device.trace.calls.size();
            ASSERT_EQ(manager.AddOffSurface(16, 8), 0);
            const std::vector<std::string> want = {"dd.CreateSurface(0x7, 0x40, 16x8)",
                                                   std::string("off0.SetColorKey(0x8, ") + c.key + ")", "off0.GetCaps"};
            EXPECT_EQ(std::vector<std::string>(device.trace.calls.begin() + static_cast<long>(before),
                                               device.trace.calls.end()),
                      want);
            EXPECT_EQ(manager.offCount, 1);
            EXPECT_EQ(manager.offSurfaces[0], device.Off(0));
            EXPECT_EQ(manager.offWidths[0], 16);
            EXPECT_EQ(manager.offHeights[0], 8);
            ASSERT_EQ(manager.AddOffSurface(3, 5), 1);
            EXPECT_EQ(manager.offWidths[1], 3);
            EXPECT_EQ(manager.offHeights[1], 5);
        }
        EXPECT_EQ(device.AllLeaks(), "") << "the destructor releases the table";
    }
}

TEST_F(OffscreenFakes, EverythingRefusesWhileNotReady) {
    // Once before any set-up, once after a set-up that failed with the device in hand.
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            dd.clipperScript.next = {DDERR_OUTOFMEMORY};
            ASSERT_FALSE(Create());
        }
        const size_t before = TraceSize();
        EXPECT_EQ(m->AddOffSurface(8, 8), -1);
        EXPECT_FALSE(m->CreateOffSurface(0, 8, 8));
        EXPECT_EQ(m->LockOffSurface(0), nullptr);
        m->UnlockOffSurface(0);
        EXPECT_FALSE(m->BltOffSurface(0, 0, 0));
        m->ClearBackBuffer();
        EXPECT_FALSE(m->IsBltBusy());
        EXPECT_EQ(TraceFrom(before), std::vector<std::string>{}) << "round " << round;
        EXPECT_EQ(m->offCount, 0);
    }
}

// Which surfaces stay in the table, and what each failure leaves behind.
struct CreateCase {
    const char* name;
    std::function<void(OffSurface&)> setUp;
    HRESULT create;
    bool kept;
    int countAfter;   // offCount once AddOffSurface has answered
    bool slotFilled;  // offSurfaces[0] still holds the surface
    const char* line;
};

class OffscreenCreate : public OffscreenFakes, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(OffscreenCreate, KeepsOnlyLocalVideoMemory) {
    const CreateCase& c = GetParam();
    dd.offSetUp = c.setUp;
    dd.offScript.next = {c.create};
    ASSERT_TRUE(Create());
    const int index = m->AddOffSurface(32, 16);
    EXPECT_EQ(index, c.kept ? 0 : -1);
    EXPECT_EQ(m->offCount, c.countAfter);
    EXPECT_EQ(m->offSurfaces[0] != nullptr, c.slotFilled);
    const bool made = dd.offs.size() > 1;
    if (made && !c.slotFilled) {
        EXPECT_EQ(dd.Off(0)->refs, 0) << "a surface taken out of the table is released";
    }
    if (!c.kept) {
        EXPECT_EQ(m->offWidths[0], 0) << "a failed surface's size is not recorded";
        EXPECT_EQ(m->LockOffSurface(0) == nullptr, !c.slotFilled);
        if (c.slotFilled) m->UnlockOffSurface(0);
    }
    // The next surface takes the next free place.
    dd.offSetUp = nullptr;
    dd.offScript = Script{};
    EXPECT_EQ(m->AddOffSurface(4, 4), c.countAfter);
    const std::string text = log.Stop();
    EXPECT_TRUE(Has(text, c.line)) << text;
}

const char kNotInVideoRam[] =
    "LOG_INFO: [DDrawManager::CreateOffSurface] Offscreen surface not in video RAM -> Releasing surface";
const CreateCase kCreateCases[] = {
    {"LocalVideoMemory", nullptr, DD_OK, true, 1, true,
     "LOG_SPAM: [DDrawManager::CreateOffSurface] Surface in local video memory"},
    {"SystemMemory", [](OffSurface& s) { s.caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY; }, DD_OK, false, 0,
     false, kNotInVideoRam},
    {"NonLocalVideoMemory",
     [](OffSurface& s) { s.caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY | DDSCAPS_NONLOCALVIDMEM; }, DD_OK,
     false, 0, false, kNotInVideoRam},
    {"GetCapsFails", [](OffSurface& s) { s.capsScript.standing = DDERR_GENERIC; }, DD_OK, false, 0, false,
     "LOG_ERROR: [DDrawManager::CreateOffSurface] Unable to get surface capabilities"},
    {"CreateSurfaceFails", nullptr, DDERR_OUTOFVIDEOMEMORY, false, 0, false,
     "LOG_ERROR: [DDrawManager::CreateOffSurface] Unable to create surface"},
    // The surface stays in its place and counted, though AddOffSurface reports failure.
    {"SetColorKeyFails", [](OffSurface& s) { s.colorKeyScript.standing = DDERR_NOCOLORKEYHW; }, DD_OK, false, 1, true,
     "LOG_ERROR: [DDrawManager::CreateOffSurface] Unable to set color key"},
};

INSTANTIATE_TEST_SUITE_P(Branches, OffscreenCreate, ::testing::ValuesIn(kCreateCases),
                         [](const ::testing::TestParamInfo<CreateCase>& info) { return info.param.name; });

TEST_F(OffscreenFakes, TableHoldsTwoHundredSurfaces) {
    ASSERT_TRUE(Create());
    for (int i = 0; i < DDrawManager::kMaxOffSurfaces; ++i) ASSERT_EQ(m->AddOffSurface(4, 2), i);
    const size_t before = TraceSize();
    EXPECT_EQ(m->AddOffSurface(4, 2), -1);
    EXPECT_FALSE(m->CreateOffSurface(0, 4, 2)) << "a slot in use is not overwritten";
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{}) << "nothing created beyond the table";
    EXPECT_EQ(m->offCount, 200);
    EXPECT_EQ(m->offSurfaces[199], dd.Off(199));
    for (int i = 0; i < 200; ++i) EXPECT_EQ(dd.Off(i)->refs, 1);
    // TearDown: the destructor releases all 200.
}

TEST_F(OffscreenFakes, CreateOffSurfaceRefusesSlotsOutsideTheTableOrInUse) {
    ASSERT_TRUE(Create());
    ASSERT_TRUE(m->CreateOffSurface(1, 8, 8));
    EXPECT_EQ(m->offCount, 1);
    const size_t before = TraceSize();
    for (int index : {-1, 200, 1}) {
        EXPECT_FALSE(m->CreateOffSurface(index, 8, 8)) << index;
        EXPECT_EQ(MostSevereLevel(), LOG_ERROR);
        EXPECT_STREQ(RememberedErrorMsg().Text(), "[DDrawManager::CreateOffSurface] Invalid surface index");
    }
    EXPECT_EQ(m->offCount, 1);
    // Slot 1 is offCount itself: not lockable, but released with the manager.
    EXPECT_EQ(m->LockOffSurface(1), nullptr);
    m->UnlockOffSurface(1);
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{});
}

TEST_F(OffscreenFakes, LockDescribesTheSurfaceUntilUnlocked) {
    ASSERT_TRUE(Create());
    ASSERT_EQ(m->AddOffSurface(24, 10), 0);
    ASSERT_EQ(m->AddOffSurface(7, 3), 1);
    OffSurface& s = *dd.Off(1);
    const SurfaceInfo* info = m->LockOffSurface(1);
    ASSERT_EQ(info, &m->offLock);
    EXPECT_EQ(info->pixels, s.Memory());
    EXPECT_EQ(info->width, 7);
    EXPECT_EQ(info->height, 3);
    EXPECT_EQ(info->pitch, 7 + dd.pitchExtra);
    EXPECT_TRUE(s.isLocked);
    EXPECT_EQ(dd.trace.calls.back(), "off1.Lock(whole, 0x0)");
    m->UnlockOffSurface(1);
    EXPECT_FALSE(s.isLocked);

    // Indices outside 0 .. offCount - 1 lock and unlock nothing.
    const size_t before = TraceSize();
    for (int index : {-1, 2, 200}) {
        EXPECT_EQ(m->LockOffSurface(index), nullptr) << index;
        m->UnlockOffSurface(index);
    }
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{});
}

TEST_F(OffscreenFakes, LockWaitsOutBusySurfacesAndRestoresLostOnes) {
    ASSERT_TRUE(Create());
    ASSERT_EQ(m->AddOffSurface(8, 4), 0);
    OffSurface& s = *dd.Off(0);

    s.lockScript.next = {DDERR_SURFACEBUSY, DDERR_WASSTILLDRAWING, DDERR_SURFACEBUSY};
    const int locks = s.locks;
    ASSERT_NE(m->LockOffSurface(0), nullptr);
    EXPECT_EQ(s.locks - locks, 4);
    m->UnlockOffSurface(0);

    // Known lost before the lock: restored first; its memory has moved.
    s.lost = true;
    size_t before = TraceSize();
    const SurfaceInfo* info = m->LockOffSurface(0);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(TraceFrom(before), (std::vector<std::string>{"off0.Restore", "off0.Lock(whole, 0x0)"}));
    EXPECT_EQ(s.Blocks(), 2);
    EXPECT_EQ(info->pixels, s.Memory());
    m->UnlockOffSurface(0);

    // Lost as the lock finds out: restored, then locked again (busy answers waited out).
    s.lockScript.next = {DDERR_SURFACELOST, DDERR_SURFACEBUSY};
    before = TraceSize();
    ASSERT_NE(m->LockOffSurface(0), nullptr);
    EXPECT_EQ(TraceFrom(before), (std::vector<std::string>{"off0.Lock(whole, 0x0)", "off0.Restore",
                                                           "off0.Lock(whole, 0x0)", "off0.Lock(whole, 0x0)"}));
    m->UnlockOffSurface(0);

    // A restore that fails, and any other lock failure, give nothing.
    s.lockScript.next = {DDERR_SURFACELOST};
    s.restoreScript.next = {DDERR_WRONGMODE};
    EXPECT_EQ(m->LockOffSurface(0), nullptr);
    s.lockScript.next = {DDERR_INVALIDPARAMS};
    EXPECT_EQ(m->LockOffSurface(0), nullptr);
    EXPECT_FALSE(s.isLocked);
    EXPECT_LT(MostSevereLevel(), LOG_WARNING) << "these fail silently";
}

TEST_F(OffscreenFakes, BltCopiesTheWholeSurfaceWithItsColourKey) {
    ASSERT_TRUE(Create());
    ASSERT_EQ(m->AddOffSurface(16, 8), 0);
    ASSERT_EQ(m->AddOffSurface(5, 9), 1);
    size_t before = TraceSize();
    EXPECT_TRUE(m->BltOffSurface(10, 20, 1));
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{"back.BltFast(10, 20, off1, 0 0 5 9, 0x11)"});

    // Failures are retried until one succeeds.
    dd.windowedBack->bltFastScript.next = {DDERR_GENERIC, DDERR_WASSTILLDRAWING, DDERR_SURFACEBUSY};
    before = TraceSize();
    EXPECT_TRUE(m->BltOffSurface(0, 0, 0));
    EXPECT_EQ(TraceFrom(before).size(), 4u);

    // A lost source is restored on the way.
    dd.Off(0)->lost = true;
    before = TraceSize();
    EXPECT_TRUE(m->BltOffSurface(1, 2, 0));
    EXPECT_EQ(TraceFrom(before), (std::vector<std::string>{"back.BltFast(1, 2, off0, 0 0 16 8, 0x11)", "off0.Restore",
                                                           "back.BltFast(1, 2, off0, 0 0 16 8, 0x11)"}));

    // No surface there: nothing is copied.
    before = TraceSize();
    for (int index : {-1, 2, 200}) EXPECT_FALSE(m->BltOffSurface(0, 0, index)) << index;
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{});
    EXPECT_LT(MostSevereLevel(), LOG_WARNING);
}

// A lock that stays busy, or a blit that never succeeds (here a back buffer that stays
// lost until the next Present), is given up after offWaitMs, logged, not spun on for ever.
TEST_F(OffscreenFakes, WaitsThatCannotEndGiveUpInBoundedTime) {
    ASSERT_TRUE(Create());
    ASSERT_EQ(m->AddOffSurface(16, 8), 0);
    dd.Off(0)->lockScript.standing = DDERR_WASSTILLDRAWING;
    const DWORD lockStart = GetTickCount();
    EXPECT_EQ(m->LockOffSurface(0), nullptr);
    ExpectGaveUpInTime(lockStart);
    EXPECT_GT(dd.Off(0)->locks, 2);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[DDrawManager::LockOffSurface] Unable to lock surface");
    for (int round = 0; round < 2; ++round) {
        if (round == 0) dd.windowedBack->lost = true;
        if (round == 1) dd.windowedBack->bltFastScript.standing = DDERR_INVALIDRECT;
        const int calls = dd.windowedBack->bltFasts;
        const DWORD start = GetTickCount();
        EXPECT_FALSE(m->BltOffSurface(0, 0, 0));
        ExpectGaveUpInTime(start);
        EXPECT_GT(dd.windowedBack->bltFasts - calls, 2) << "retried";
        EXPECT_EQ(MostSevereLevel(), LOG_WARNING);
        EXPECT_STREQ(RememberedErrorMsg().Text(), "[DDrawManager::BltOffSurface] Unable to blit surface");
    }
    // Once the device recovers, blits work again.
    dd.windowedBack->bltFastScript.standing = DD_OK;
    EXPECT_EQ(Presented(), true);  // restores the lost back buffer
    EXPECT_TRUE(m->BltOffSurface(0, 0, 0));
}

TEST_F(OffscreenFakes, BltBusyIsAnythingButDone) {
    ASSERT_TRUE(Create());
    struct Case {
        HRESULT status;
        bool busy;
    };
    for (const Case& c : {Case{DD_OK, false}, Case{DDERR_WASSTILLDRAWING, true}, Case{DDERR_SURFACELOST, true},
                          Case{DDERR_GENERIC, true}}) {
        dd.windowedBack->bltStatusScript.next = {c.status};
        EXPECT_EQ(m->IsBltBusy(), c.busy) << Hex(static_cast<DWORD>(c.status));
        EXPECT_EQ(dd.trace.calls.back(), "back.GetBltStatus(0x2)");
    }
}

TEST_F(OffscreenFakes, ClearBackBufferFillsItWithBlack) {
    ASSERT_TRUE(Create());
    ASSERT_TRUE(DrawFrame(0x2222));
    ASSERT_TRUE(Presented());
    const size_t before = TraceSize();
    m->ClearBackBuffer();
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{"back.Blt(0x1000400, fill 0x0)"});
    ExpectBackBlack();
}

// Where the back buffer is held locked for the frame, the device would refuse a fill:
// the buffer is cleared through the lock, and nothing touches it unlocked. A restore
// lets the frame lock go first.
TEST_F(OffscreenFakes, LockedFrameIsClearedThroughTheLockAndReleasedByRestore) {
    m->lockEachFrame = true;
    ASSERT_TRUE(Create(true));
    dd.back->strictLocking = dd.primary->strictLocking = true;
    ASSERT_TRUE(DrawFrame(0x2222));
    const size_t before = TraceSize();
    m->ClearBackBuffer();
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{});
    ExpectBackBlack();
    ASSERT_TRUE(Presented());
    EXPECT_FALSE(dd.back->touchedWhileUnlocked);
    ASSERT_TRUE(DrawFrame(0x3333));
    EXPECT_TRUE(dd.back->isLocked);
    EXPECT_TRUE(m->Restore());
    EXPECT_FALSE(dd.back->isLocked);
    ASSERT_TRUE(Presented());
    ASSERT_TRUE(DrawFrame(0x4444));
    ASSERT_TRUE(Presented());
    EXPECT_EQ(dd.back->locks - dd.back->unlocks, 0);
}

// After a restore the flip chain's memory has moved: the next frame is drawn at the new
// addresses (the old blocks are poisoned and checked at the end).
TEST_F(OffscreenFakes, RestoreAfterLossAndFramesAtTheNewMemory) {
    ASSERT_TRUE(Create(true));
    ASSERT_TRUE(DrawFrame(0x2222));
    ASSERT_TRUE(Presented());
    dd.primary->lost = dd.back->lost = true;
    const size_t before = TraceSize();
    EXPECT_TRUE(m->Restore());
    EXPECT_EQ(TraceFrom(before), std::vector<std::string>{"primary.Restore"});
    EXPECT_FALSE(dd.back->lost);
    EXPECT_EQ(dd.back->Blocks(), 2);
    for (int frame = 0; frame < 4; ++frame) {
        ASSERT_TRUE(DrawFrame(0x3333));
        ASSERT_TRUE(Presented());
    }
    // Also when nothing was lost: the buffers are learnt again, nothing else changes.
    EXPECT_TRUE(m->Restore());
    ASSERT_TRUE(DrawFrame(0x4444));
    ASSERT_TRUE(Presented());
    const std::string text = log.Stop();
    EXPECT_TRUE(Has(text, "LOG_INFO: [DDrawManager::Restore] Surfaces restored")) << text;
}

TEST_F(OffscreenFakes, RestoreThatFailsIsLoggedAndNothingIsDrawnUntilRecovered) {
    EXPECT_FALSE(m->Restore()) << "nothing to restore before set-up";
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[DDrawManager::Restore] Unable to restore surfaces");
    ASSERT_TRUE(Create(true));
    dd.primary->lost = dd.back->lost = true;
    dd.primary->restoreScript.next = {DDERR_WRONGMODE};
    EXPECT_FALSE(m->Restore());
    EXPECT_EQ(MostSevereLevel(), LOG_ERROR);
    EXPECT_EQ(m->GetBackBuffer(), nullptr) << "a lost chain is not drawn into";
    EXPECT_TRUE(m->Restore());
    ASSERT_TRUE(DrawFrame(0x2222));
    ASSERT_TRUE(Presented());
    const std::string text = log.Stop();
    EXPECT_TRUE(Has(text, "LOG_ERROR: [DDrawManager::Restore] Unable to restore surfaces")) << text;
}

// ---------------------------------------------------------------------------------------
// Wine's DirectDraw, windowed on the 16-bit test screen.

int DesktopBits() { return win32test::DesktopCaps(BITSPIXEL); }

using win32test::ReadSurface;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TempFile(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

// A deterministic picture in 5-6-5 with a magenta border and a magenta diagonal.
std::vector<uint16_t> Picture(int w, int h) {
    std::vector<uint16_t> p(static_cast<size_t>(w) * h);
    uint32_t v = 12345;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v = v * 1103515245u + 12345u;
            uint16_t c = static_cast<uint16_t>(v >> 16);
            if (c == kMagenta565) c = 0;
            if (x == 0 || y == 0 || x == w - 1 || y == h - 1 || x == y) c = kMagenta565;
            p[static_cast<size_t>(y) * w + x] = c;
        }
    return p;
}

class RealOffscreen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DesktopBits(), 16) << "needs a 16-bit desktop";
        ASSERT_EQ(directDrawCreate, &DirectDrawCreate) << "DirectDraw doubles left installed by an earlier test";
        window = std::make_unique<win32test::TestWindow>(60, 80, 200, 150);
        m = std::make_unique<DDrawManager>();
        ASSERT_TRUE(m->CreateDirectDraw(window->Handle(), 200, 150, false));
        ASSERT_EQ(m->GetColorType(), kColor565);
    }
    // The manager's references to its off-screen surfaces are its only ones, and its
    // destructor lets go of each: with the device kept alive by a reference of our own,
    // a reference taken here is the last one left once the manager is gone.
    void DestroyAndCheckReleased() {
        std::vector<IDirectDrawSurface*> held;
        for (IDirectDrawSurface* s : m->offSurfaces) {
            if (s == nullptr) continue;
            EXPECT_EQ(s->AddRef(), 2u);
            held.push_back(s);
        }
        IDirectDraw* device = m->directDraw;
        device->AddRef();
        m.reset();
        for (IDirectDrawSurface* s : held) EXPECT_EQ(s->Release(), 0u) << "released by the manager";
        device->Release();
    }

    LogCapture log;
    std::unique_ptr<win32test::TestWindow> window;
    std::unique_ptr<DDrawManager> m;
};

// Wine places off-screen plain surfaces in (emulated) local video memory, so they are
// kept; the other branch is covered by the doubles above.
TEST_F(RealOffscreen, WineKeepsOffscreenSurfacesInLocalVideoMemory) {
    const int index = m->AddOffSurface(64, 32);
    ASSERT_EQ(index, 0);
    DDSCAPS caps = {};
    ASSERT_EQ(m->offSurfaces[0]->GetCaps(&caps), DD_OK);
    std::printf("[ wine ] off-screen surface caps %s\n", Hex(caps.dwCaps).c_str());
    RecordProperty("OffscreenCaps", Hex(caps.dwCaps));
    EXPECT_NE(caps.dwCaps & DDSCAPS_LOCALVIDMEM, 0u);
    EXPECT_NE(caps.dwCaps & DDSCAPS_VIDEOMEMORY, 0u);
    DDCOLORKEY key = {};
    ASSERT_EQ(m->offSurfaces[0]->GetColorKey(DDCKEY_SRCBLT, &key), DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue, kMagenta565);
    EXPECT_EQ(key.dwColorSpaceHighValue, kMagenta565);
    DestroyAndCheckReleased();
    const std::string text = log.Stop();
    EXPECT_TRUE(Has(text, "LOG_SPAM: [DDrawManager::CreateOffSurface] Surface in local video memory")) << text;
    EXPECT_LT(MostSevereLevel(), LOG_WARNING) << text;
}

TEST_F(RealOffscreen, TableHoldsTwoHundredSurfaces) {
    for (int i = 0; i < DDrawManager::kMaxOffSurfaces; ++i) ASSERT_EQ(m->AddOffSurface(8, 4 + i % 3), i);
    EXPECT_EQ(m->AddOffSurface(8, 4), -1);
    EXPECT_EQ(m->offCount, 200);
    EXPECT_EQ(m->offHeights[199], 4 + 199 % 3);
    DestroyAndCheckReleased();
    EXPECT_LT(MostSevereLevel(), LOG_WARNING);
}

// Pixels written through the lock are what the surface holds; a lock outside the table
// gives nothing.
TEST_F(RealOffscreen, LockAndUnlock) {
    ASSERT_EQ(m->AddOffSurface(30, 12), 0);
    EXPECT_EQ(m->LockOffSurface(1), nullptr);
    EXPECT_EQ(m->LockOffSurface(-1), nullptr);
    const SurfaceInfo* info = m->LockOffSurface(0);
    ASSERT_EQ(info, &m->offLock);
    ASSERT_NE(info->pixels, nullptr);
    EXPECT_EQ(info->width, 30);
    EXPECT_EQ(info->height, 12);
    EXPECT_GE(info->pitch, 30);
    const std::vector<uint16_t> picture = Picture(30, 12);
    for (int y = 0; y < 12; ++y) std::memcpy(info->pixels + y * info->pitch, &picture[static_cast<size_t>(y) * 30], 60);
    m->UnlockOffSurface(0);
    EXPECT_EQ(ReadSurface(m->offSurfaces[0], 30, 12), picture) << "unlocked: the surface can be locked again";
}

// What is drawn into an off-screen surface reaches the back buffer where it is not
// magenta; where it is, the back buffer keeps its own pixels.
TEST_F(RealOffscreen, ColourKeyedBltShowsOnlyNonMagentaPixels) {
    constexpr int kSw = 40, kSh = 24, kX = 17, kY = 9;
    constexpr uint16_t kBackground = 0x001F;
    ASSERT_EQ(m->AddOffSurface(kSw, kSh), 0);
    const std::vector<uint16_t> picture = Picture(kSw, kSh);
    const SurfaceInfo* info = m->LockOffSurface(0);
    ASSERT_NE(info, nullptr);
    for (int y = 0; y < kSh; ++y)
        std::memcpy(info->pixels + y * info->pitch, &picture[static_cast<size_t>(y) * kSw], kSw * 2);
    m->UnlockOffSurface(0);

    const SurfaceInfo* back = m->GetBackBuffer();
    ASSERT_NE(back, nullptr);
    for (int y = 0; y < back->height; ++y)
        for (int x = 0; x < back->width; ++x) back->pixels[y * back->pitch + x] = kBackground;
    ASSERT_TRUE(m->BltOffSurface(kX, kY, 0));
    for (int i = 0; i < 1000 && m->IsBltBusy(); ++i) Sleep(1);
    EXPECT_FALSE(m->IsBltBusy());

    const std::vector<uint16_t> shown = ReadSurface(m->backBuffer, 200, 150);
    ASSERT_EQ(shown.size(), 200u * 150u);
    int copied = 0, keyed = 0, wrong = 0;
    for (int y = 0; y < 150; ++y)
        for (int x = 0; x < 200; ++x) {
            const bool inside = x >= kX && x < kX + kSw && y >= kY && y < kY + kSh;
            const uint16_t source = inside ? picture[static_cast<size_t>(y - kY) * kSw + (x - kX)] : kMagenta565;
            const uint16_t want = source == kMagenta565 ? kBackground : source;
            const uint16_t got = shown[static_cast<size_t>(y) * 200 + x];
            if (got != want) ++wrong;
            if (inside) (source == kMagenta565 ? keyed : copied) += 1;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(copied, 700);
    EXPECT_GT(keyed, 100);

    // Cleared: black everywhere.
    m->ClearBackBuffer();
    const std::vector<uint16_t> cleared = ReadSurface(m->backBuffer, 200, 150);
    ASSERT_EQ(cleared.size(), 200u * 150u);
    EXPECT_EQ(std::count(cleared.begin(), cleared.end(), 0), 200 * 150);
    EXPECT_LT(MostSevereLevel(), LOG_WARNING);
}

// A TGA file loaded into a locked off-screen surface and saved from it again.
TEST_F(RealOffscreen, TgaLoadedIntoASurfaceAndSavedFromIt) {
    constexpr int kSw = 33, kSh = 14;
    GraphicsLoader loader;
    loader.SetPixelFormat(m->GetColorType());
    std::vector<uint16_t> picture = Picture(kSw, kSh);
    const std::string source = TempFile("vorlex_offscreen_source.tga");
    const std::string saved = TempFile("vorlex_offscreen_saved.tga");
    ASSERT_TRUE(loader.SaveTga(FixedString(source.c_str()), SurfaceInfo{picture.data(), kSw, kSh, kSw}));

    ASSERT_EQ(m->AddOffSurface(kSw, kSh), 0);
    const SurfaceInfo* info = m->LockOffSurface(0);
    ASSERT_NE(info, nullptr);
    ASSERT_TRUE(loader.LoadTgaToSurface(FixedString(source.c_str()), *info));
    for (int y = 0; y < kSh; ++y)
        for (int x = 0; x < kSw; ++x)
            ASSERT_EQ(info->pixels[y * info->pitch + x], picture[static_cast<size_t>(y) * kSw + x]) << x << "," << y;
    ASSERT_TRUE(loader.SaveTga(FixedString(saved.c_str()), *info));
    m->UnlockOffSurface(0);

    const std::string a = ReadFile(source), b = ReadFile(saved);
    EXPECT_EQ(a.size(), 18u + kSw * kSh * 3u);
    EXPECT_EQ(a, b) << "saved from the surface, the file is the one it was loaded from";

    DeleteFileA(source.c_str());
    DeleteFileA(saved.c_str());
}

}  // namespace
