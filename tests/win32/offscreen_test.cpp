// Off-screen surfaces and the explicit restore, over the DirectDraw double.

#include <gtest/gtest.h>

#include <string>

#include "win32_test_support.h"

namespace {

using win32test::Rig;

TEST(OffSurfaces, OnlyKeyedSurfacesInLocalVideoMemoryStay) {
    const struct {
        const char* name;
        const char* fail;  // a call that fails, if any
        DWORD caps;
        DWORD mask;
        int index, count;  // AddOffSurface's answer, OffCount after it
        const char *level, *text;
    } cases[] = {
        {"local 5-6-5", nullptr, DDSCAPS_LOCALVIDMEM, 0x07E0, 0, 1, "LOG_SPAM", "Surface in local video memory"},
        {"local 5-5-5", nullptr, DDSCAPS_LOCALVIDMEM, 0x03E0, 0, 1, "LOG_SPAM", "Surface in local video memory"},
        {"system memory", nullptr, DDSCAPS_SYSTEMMEMORY, 0x07E0, -1, 0, "LOG_INFO",
         "Offscreen surface not in video RAM -> Releasing surface"},
        {"caps unknown", "off.GetCaps", DDSCAPS_LOCALVIDMEM, 0x07E0, -1, 0, "LOG_ERROR",
         "Unable to get surface capabilities"},
        {"not created", "CreateSurface.off", 0, 0x07E0, -1, 0, "LOG_ERROR", "Unable to create surface"},
        {"no colour key", "off.SetColorKey", DDSCAPS_LOCALVIDMEM, 0x07E0, -1, 1, "LOG_ERROR",  // stays in its slot
         "Unable to set color key"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(false, nullptr, {1000, 20, 20, false}, c.mask);
        ASSERT_TRUE(r.ok);
        if (c.fail != nullptr) r.dd.Fail(c.fail, DDERR_GENERIC, 1);
        r.dd.offCaps = DDSCAPS_OFFSCREENPLAIN | c.caps;
        EXPECT_EQ(r.m->AddOffSurface(16, 8), c.index);
        EXPECT_EQ(r.m->OffCount(), c.count);
        EXPECT_TRUE(r.log.Has(std::string(c.level) + ": [DDrawManager::CreateOffSurface] " + c.text));
        if (c.index < 0) continue;
        const fake::Surface& s = *r.dd.surfaces.back();
        EXPECT_EQ(s.key.dwColorSpaceLowValue, c.mask == 0x03E0 ? 0x7C1Fu : 0xF81Fu);
        EXPECT_EQ(s.key.dwColorSpaceHighValue, s.key.dwColorSpaceLowValue);
    }
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
    EXPECT_TRUE(info->pixels == s.mem.data() && info->width == 4 && info->height == 2 + 199 % 3);
    EXPECT_EQ(info->pitch, s.Pitch());
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
