#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "app/settings_values.h"
#include "host/command_line.h"
#include "host/dismissal.h"

namespace {

using Words = std::vector<uint32_t>;

// The dialog's edit boxes: unsigned decimal with blanks around, anything else 0; then clamped.
TEST(Settings, DialogNumbers) {
    const struct {
        const char* text;
        uint32_t value, density, highlight;
    } cases[] = {{"401", 401, 400, 100},
                 {"400", 400, 400, 100},
                 {" 99 ", 99, 99, 99},
                 {"12abc", 0, 0, 0},
                 {"-5", 0, 0, 0},
                 {nullptr, 0, 0, 0},
                 {"99999999999999999999", 4294967295u, 400, 100}};
    for (const auto& c : cases) {
        const uint32_t value = ParseDialogNumber(c.text);
        EXPECT_EQ(Words({value, ClampDensity(value), ClampHighlightDensity(value)}),
                  Words({c.value, c.density, c.highlight}))
            << &c - cases;
    }
}

TEST(CommandLine, Modes) {
    const struct {
        const char *line, *arguments;
        SaverMode mode;
        uint32_t handle;
    } cases[] = {
        {"\"C:\\Program Files\\v s.scr\" /s", "/s", SaverMode::kFullScreen, 0},
        {"\"C:\\odd\\v.scr\"/p 12", "/p 12", SaverMode::kPreview, 12},
        {"v.scr   \t -L 77", "-L 77", SaverMode::kPreview, 77},
        {"v.scr /c:4567", "/c:4567", SaverMode::kConfigureOwned, 4567},
        {"v.scr /C 4567", "/C 4567", SaverMode::kConfigureOwned, 0},  // no colon, no handle
        {"v.scr", "", SaverMode::kConfigure, 0},
    };
    for (const auto& c : cases) {
        const char* arguments = SkipProgramName(c.line);
        EXPECT_STREQ(arguments, c.arguments);
        const SaverCommand command = ParseSaverCommand(arguments);
        EXPECT_EQ(Words({uint32_t(command.mode), command.handle}), Words({uint32_t(c.mode), c.handle})) << c.line;
    }
}

// Presses, system events and mouse moves beyond four pixels end the saver.
TEST(Dismissal, Input) {
    const struct {
        uint32_t message;
        uintptr_t wParam;
        int verdict;  // bits: post close, hide cursor, check mouse, return 1
    } cases[] = {{msg::kKeyDown, 'A', 0b1000},
                 {msg::kPowerBroadcast, 7, 0b1000},
                 {msg::kPower, msg::kPwrCriticalResume, 0b1000},
                 {msg::kPower, 1, 0b0000},
                 {msg::kActivateApp, 0, 0b1000},
                 {msg::kShowWindow, 1, 0b0100},
                 {msg::kSetCursor, 0, 0b0101},
                 {msg::kMouseMove, 0, 0b0010},
                 {msg::kRButtonDown, 0, 0b1000},
                 {msg::kMButtonDown, 0, 0b1000},
                 {msg::kSysKeyDown, 0x12 /* Alt */, 0b1000},
                 {0x0101 /* key up */, 'A', 0b0000},
                 {0x0202 /* left button up */, 0, 0b0000},
                 {0x0203 /* left double click */, 0, 0b0000},
                 {0x020A /* wheel */, 0x780000, 0b0000},
                 {0x0102 /* character */, 'a', 0b0000}};
    for (const auto& c : cases) {
        const InputVerdict v = ClassifySaverInput(c.message, c.wParam);
        EXPECT_EQ(v.postClose * 8 + v.hideCursor * 4 + v.checkMouse * 2 + v.returnOne, c.verdict)
            << std::hex << c.message << " " << c.wParam;
    }
    // Switching away and another saver: refused full-screen, passed on in the preview.
    for (const uintptr_t command : {msg::kScScreenSave, msg::kScNextWindow, msg::kScPrevWindow}) {
        EXPECT_EQ(RouteSaverMessage(msg::kSysCommand, command, false, false), SaverRoute::kReturnZero) << command;
        EXPECT_EQ(RouteSaverMessage(msg::kSysCommand, command, true, false), SaverRoute::kPassOn) << command;
    }
    EXPECT_EQ(RouteSaverMessage(msg::kSysCommand, 0xF060 /* close */, false, false), SaverRoute::kPassOn);
    EXPECT_EQ(RouteSaverMessage(msg::kSetText, 0, true, false), SaverRoute::kReturnZero);  // the title stays
    // Moves from (100, 100): the distance (saturated, not wrapped), whether it closes, whether the trap swallows it.
    const ScreenPoint from{100, 100};
    Words moved;
    for (const ScreenPoint& to : {ScreenPoint{102, 99}, {98, 98}, {97, 102}, {100, 95}, {INT_MIN, INT_MIN}})
        moved.insert(moved.end(),
                     {CursorDistance(from, to), MovedBeyondThreshold(from, to), TrapSwallowsMove(from, to)});
    EXPECT_EQ(moved, (Words{3, 0, 1, 4, 0, 0, 5, 1, 0, 5, 1, 0, 0xFFFFFFFFu, 1, 0}));
}

}  // namespace
