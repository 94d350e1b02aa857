#include <gtest/gtest.h>

#include <string>

#include "host/command_line.h"

namespace {

struct ProgramNameCase {
    const char* commandLine;
    const char* arguments;
};

TEST(SkipProgramName, LeavesTheArgumentText) {
    const ProgramNameCase cases[] = {
        {"vorlex.scr /s", "/s"},
        {"\"C:\\Program Files\\vorlex code emulator.scr\" /s", "/s"},
        {"\"C:\\odd path\\v.scr\"/p 12", "/p 12"},  // closing quote ends the name
        {"\"C:\\unterminated /s", ""},              // no closing quote: all of it is the name
        {"vorlex.scr", ""},
        {"vorlex.scr   \t /c:99", "/c:99"},
        {"", ""},
        {"   /s", "/s"},  // no name before the blanks
        {"v.scr \x01\x02-S", "-S"},
    };
    for (const auto& c : cases) EXPECT_EQ(std::string(SkipProgramName(c.commandLine)), c.arguments) << c.commandLine;
}

TEST(SkipProgramName, UsesTheGivenCharacterStep) {
    // A double-byte step that swallows the byte after 0x81 whole, even a quote.
    NextCharFn dbcs = [](const char* p) -> const char* {
        if (!*p) return p;
        if (static_cast<unsigned char>(*p) == 0x81 && p[1]) return p + 2;
        return p + 1;
    };
    const char* line = "\"a\x81\"b\" /s";
    EXPECT_EQ(std::string(SkipProgramName(line, dbcs)), "/s");
    EXPECT_EQ(std::string(SkipProgramName(line)), "b\" /s");  // byte stepping stops at the embedded quote
}

TEST(ParseHandleValue, ReadsDecimalDigitsAndWraps) {
    EXPECT_EQ(ParseHandleValue(""), 0u);
    EXPECT_EQ(ParseHandleValue("abc"), 0u);
    EXPECT_EQ(ParseHandleValue("-5"), 0u);
    EXPECT_EQ(ParseHandleValue("0x1F"), 0u);
    EXPECT_EQ(ParseHandleValue("65794"), 65794u);
    EXPECT_EQ(ParseHandleValue("123abc"), 123u);
    EXPECT_EQ(ParseHandleValue("4294967295"), 4294967295u);
    EXPECT_EQ(ParseHandleValue("4294967296"), 0u);  // 2^32 wraps to 0
    EXPECT_EQ(ParseHandleValue("4294967297"), 1u);
    EXPECT_EQ(ParseHandleValue("99999999999"), 1215752191u);  // 99999999999 mod 2^32
}

struct CommandCase {
    const char* arguments;
    SaverMode mode;
    uint32_t handle;
};

TEST(ParseSaverCommand, SelectsTheModeFromTheFirstLetter) {
    const CommandCase cases[] = {
        {"", SaverMode::kConfigure, 0},
        {"  -/ ", SaverMode::kConfigure, 0},
        {"/s", SaverMode::kFullScreen, 0},
        {"-S", SaverMode::kFullScreen, 0},
        {"s", SaverMode::kFullScreen, 0},
        {"//s", SaverMode::kFullScreen, 0},
        {"/screensaver", SaverMode::kFullScreen, 0},
        {"- /-S 123", SaverMode::kFullScreen, 0},
        {"/p 1234", SaverMode::kPreview, 1234},
        {"/P1234", SaverMode::kPreview, 1234},
        {"/l   77", SaverMode::kPreview, 77},
        {"/L 77", SaverMode::kPreview, 77},
        {"/p", SaverMode::kPreview, 0},
        {"/p 0", SaverMode::kPreview, 0},
        {"/p x12", SaverMode::kPreview, 0},
        {"/p 4294967297", SaverMode::kPreview, 1},
        {"/c:4567", SaverMode::kConfigureOwned, 4567},
        {"/C:12", SaverMode::kConfigureOwned, 12},
        {"/c", SaverMode::kConfigureOwned, 0},
        {"/c 4567", SaverMode::kConfigureOwned, 0},  // a blank instead of the colon: no handle
        {"/c: 4567", SaverMode::kConfigureOwned, 0},
        {"/a 99", SaverMode::kChangePassword, 0},
        {"/x", SaverMode::kInvalid, 0},
        {"/?", SaverMode::kInvalid, 0},
        {"\t/s", SaverMode::kInvalid, 0},  // only blanks, '-' and '/' are skipped
        {"\xE9", SaverMode::kInvalid, 0},
        {"1", SaverMode::kInvalid, 0},
    };
    for (const auto& c : cases) {
        const SaverCommand command = ParseSaverCommand(c.arguments);
        EXPECT_EQ(command.mode, c.mode) << c.arguments;
        EXPECT_EQ(command.handle, c.handle) << c.arguments;
    }
}

TEST(ParseSaverCommand, PasswordChangeKeepsTheTextAfterTheLetter) {
    EXPECT_EQ(std::string(ParseSaverCommand("/a   1234").rest), "1234");
    EXPECT_EQ(std::string(ParseSaverCommand("-A").rest), "");
    EXPECT_EQ(ParseSaverCommand("/s").rest, nullptr);
}

}  // namespace
