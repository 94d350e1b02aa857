#include <gtest/gtest.h>

#include <climits>

#include "host/dismissal.h"

namespace {

struct MoveCase {
    ScreenPoint from, to;
    uint32_t distance;
    bool hostCloses;    // more than 4
    bool trapSwallows;  // 3 or less
};

TEST(CursorDistance, AddsTheAbsoluteDifferences) {
    const MoveCase cases[] = {
        {{100, 100}, {100, 100}, 0, false, true},
        {{100, 100}, {102, 101}, 3, false, true},
        {{100, 100}, {102, 102}, 4, false, false},  // trap passes it on, host keeps running
        {{100, 100}, {98, 98}, 4, false, false},
        {{100, 100}, {105, 100}, 5, true, false},
        {{100, 100}, {97, 102}, 5, true, false},
        {{0, 0}, {0, -5}, 5, true, false},
        {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}, 0xFFFFFFFFu, true, false},  // saturates, no wrap
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CursorDistance(c.from, c.to), c.distance) << c.to.x << "," << c.to.y;
        EXPECT_EQ(MovedBeyondThreshold(c.from, c.to), c.hostCloses) << c.to.x << "," << c.to.y;
        EXPECT_EQ(TrapSwallowsMove(c.from, c.to), c.trapSwallows) << c.to.x << "," << c.to.y;
    }
}

TEST(WithinRefusalWindow, CountsTwoHundredMillisecondsAcrossTheTickWrap) {
    EXPECT_FALSE(WithinRefusalWindow(1000, kNeverVerified));
    EXPECT_FALSE(WithinRefusalWindow(0, kNeverVerified));
    EXPECT_TRUE(WithinRefusalWindow(1000, 1000));
    EXPECT_TRUE(WithinRefusalWindow(1199, 1000));
    EXPECT_FALSE(WithinRefusalWindow(1200, 1000));
    EXPECT_FALSE(WithinRefusalWindow(5000, 1000));
    EXPECT_TRUE(WithinRefusalWindow(50, 0xFFFFFFF0u));    // 66 ms across the wrap
    EXPECT_FALSE(WithinRefusalWindow(300, 0xFFFFFFF0u));  // 316 ms
}

struct InputCase {
    uint32_t message;
    uintptr_t wParam;
    bool postClose, hideCursor, checkMouse, returnOne;
};

TEST(ClassifySaverInput, ClosesOnPressesAndSystemEventsOnly) {
    const InputCase cases[] = {
        {msg::kKeyDown, 'A', true, false, false, false},
        {msg::kSysKeyDown, 0x12, true, false, false, false},
        {msg::kLButtonDown, 0, true, false, false, false},
        {msg::kRButtonDown, 0, true, false, false, false},
        {msg::kMButtonDown, 0, true, false, false, false},
        {msg::kPowerBroadcast, 0, true, false, false, false},
        {msg::kPowerBroadcast, 7, true, false, false, false},
        {msg::kPower, 3, true, false, false, false},
        {msg::kPower, 1, false, false, false, false},
        {msg::kActivateApp, 0, true, false, false, false},
        {msg::kActivateApp, 1, false, false, false, false},
        {msg::kShowWindow, 1, false, true, false, false},
        {msg::kShowWindow, 0, false, false, false, false},
        {msg::kSetCursor, 0, false, true, false, true},
        {msg::kMouseMove, 0, false, false, true, false},
        {0x0101 /* key up */, 'A', false, false, false, false},
        {0x0102 /* char */, 'a', false, false, false, false},
        {0x0202 /* button up */, 0, false, false, false, false},
        {0x0203 /* double click */, 0, false, false, false, false},
        {0x020A /* wheel */, 0, false, false, false, false},
        {msg::kTimer, 1, false, false, false, false},
    };
    for (const auto& c : cases) {
        const InputVerdict v = ClassifySaverInput(c.message, c.wParam);
        EXPECT_EQ(v.postClose, c.postClose) << std::hex << c.message << " " << c.wParam;
        EXPECT_EQ(v.hideCursor, c.hideCursor) << std::hex << c.message;
        EXPECT_EQ(v.checkMouse, c.checkMouse) << std::hex << c.message;
        EXPECT_EQ(v.returnOne, c.returnOne) << std::hex << c.message;
    }
}

struct RouteCase {
    uint32_t message;
    uintptr_t wParam;
    bool preview, approved;
    SaverRoute route;
};

TEST(RouteSaverMessage, FiltersBeforeTheApplication) {
    using R = SaverRoute;
    const RouteCase cases[] = {
        {msg::kSetText, 0, false, false, R::kReturnZero},
        {msg::kSetText, 0, true, true, R::kReturnZero},
        {msg::kPaint, 0, false, false, R::kHideCursorThenPassOn},
        {msg::kPaint, 0, true, false, R::kPassOn},
        {msg::kPaint, 0, false, true, R::kDefault},
        {msg::kHelp, 0, true, false, R::kForwardToParent},
        {msg::kContextMenu, 0, true, false, R::kForwardToParent},
        {msg::kHelp, 0, false, false, R::kPassOn},
        {msg::kKeyDown, 0, false, false, R::kPassOn},
        {msg::kKeyDown, 0, false, true, R::kDefault},
        {msg::kMouseMove, 0, true, false, R::kPassOn},
        {msg::kMButtonDown, 0, false, true, R::kDefault},
        {msg::kSysCommand, msg::kScScreenSave, false, false, R::kReturnZero},
        {msg::kSysCommand, msg::kScNextWindow, false, false, R::kReturnZero},
        {msg::kSysCommand, msg::kScPrevWindow, false, true, R::kReturnZero},
        {msg::kSysCommand, msg::kScScreenSave, true, false, R::kPassOn},
        {msg::kSysCommand, 0xF060 /* close */, false, false, R::kPassOn},
        {msg::kTimer, 1, false, false, R::kSleepThenPassOn},
        {msg::kTimer, 1, false, true, R::kReturnZero},
        {msg::kClose, 0, false, true, R::kPassOn},
        {msg::kVerifyPassword, 0, false, false, R::kPassOn},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RouteSaverMessage(c.message, c.wParam, c.preview, c.approved), c.route)
            << std::hex << c.message << " preview " << c.preview << " approved " << c.approved;
}

}  // namespace
