// The off-screen surface table and the explicit restore, over the DirectDraw double.

#include <gtest/gtest.h>

#include <string>

#include "win32_test_support.h"

namespace {

using win32test::Rig;

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
