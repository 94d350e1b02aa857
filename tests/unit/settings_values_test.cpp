#include <gtest/gtest.h>

#include <string>

#include "app/settings_values.h"

namespace {

struct TextCase {
    const char* text;
    int32_t before;
    int32_t index;
};

TEST(ResolutionIndexFromText, MatchesExactlyOrKeepsTheIndex) {
    const TextCase cases[] = {
        {"800x600", 2, 1}, {"1024x768", 1, 2}, {"1280x1024", 2, 3}, {"1280X1024", 2, 2}, {"1280x1024 ", 2, 2},
        {"640x480", 2, 2}, {"", 2, 2},         {"", 3, 3},          {"800x600", 3, 1},   {nullptr, 2, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolutionIndexFromText(c.text, c.before), c.index) << (c.text ? c.text : "(null)");
}

TEST(ScreenSizeForIndex, MapsTheThreeSizesAndFallsBackTo800x600) {
    const struct {
        int32_t index;
        int32_t width, height;
        const char* text;
        int radio;
    } cases[] = {
        {1, 800, 600, "800x600", kIdRadio800x600},       {2, 1024, 768, "1024x768", kIdRadio1024x768},
        {3, 1280, 1024, "1280x1024", kIdRadio1280x1024}, {0, 800, 600, "800x600", kIdRadio800x600},
        {4, 800, 600, "800x600", kIdRadio800x600},       {-1, 800, 600, "800x600", kIdRadio800x600},
    };
    for (const auto& c : cases) {
        const ScreenSize size = ScreenSizeForIndex(c.index);
        EXPECT_EQ(size.width, c.width) << c.index;
        EXPECT_EQ(size.height, c.height) << c.index;
        EXPECT_EQ(std::string(ResolutionTextForIndex(c.index)), c.text) << c.index;
        EXPECT_EQ(RadioForIndex(c.index), c.radio) << c.index;
    }
}

TEST(IndexFromRadios, PrefersTheLargestCheckedSize) {
    EXPECT_EQ(IndexFromRadios(false, false), 1);
    EXPECT_EQ(IndexFromRadios(true, false), 2);
    EXPECT_EQ(IndexFromRadios(false, true), 3);
    EXPECT_EQ(IndexFromRadios(true, true), 3);
}

struct NumberCase {
    const char* text;
    uint32_t value;
    uint32_t density;    // clamped to 400
    uint32_t highlight;  // clamped to 100
};

TEST(DialogNumbers, AreReadAsUnsignedDecimalAndClamped) {
    const NumberCase cases[] = {
        {"1000", 1000, 400, 100},
        {"400", 400, 400, 100},
        {"401", 401, 400, 100},
        {"250", 250, 250, 100},
        {"100", 100, 100, 100},
        {"99", 99, 99, 99},
        {"0", 0, 0, 0},
        {"007", 7, 7, 7},
        {" 42 ", 42, 42, 42},
        {"4294967295", 4294967295u, 400, 100},
        {"99999999999999999999", 4294967295u, 400, 100},  // saturates instead of wrapping to a small number
        {"", 0, 0, 0},
        {"   ", 0, 0, 0},
        {"abc", 0, 0, 0},
        {"-5", 0, 0, 0},
        {"+5", 0, 0, 0},
        {"12abc", 0, 0, 0},
        {"1 2", 0, 0, 0},
        {"0x10", 0, 0, 0},
        {nullptr, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const uint32_t value = ParseDialogNumber(c.text);
        EXPECT_EQ(value, c.value) << (c.text ? c.text : "(null)");
        EXPECT_EQ(ClampDensity(value), c.density) << (c.text ? c.text : "(null)");
        EXPECT_EQ(ClampHighlightDensity(value), c.highlight) << (c.text ? c.text : "(null)");
    }
}

}  // namespace
