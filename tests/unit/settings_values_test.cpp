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

TEST(DialogNumbers, AreClampedAndNonNumbersCountAsZero) {
    EXPECT_EQ(ClampDensity(DialogNumber(1000, true)), 400u);
    EXPECT_EQ(ClampDensity(DialogNumber(400, true)), 400u);
    EXPECT_EQ(ClampDensity(DialogNumber(401, true)), 400u);
    EXPECT_EQ(ClampDensity(DialogNumber(0, true)), 0u);
    EXPECT_EQ(ClampDensity(DialogNumber(4294967295u, true)), 400u);
    EXPECT_EQ(ClampDensity(DialogNumber(77, false)), 0u);  // "abc", "-5": not an unsigned number
    EXPECT_EQ(ClampHighlightDensity(DialogNumber(250, true)), 100u);
    EXPECT_EQ(ClampHighlightDensity(DialogNumber(100, true)), 100u);
    EXPECT_EQ(ClampHighlightDensity(DialogNumber(99, true)), 99u);
    EXPECT_EQ(ClampHighlightDensity(DialogNumber(5, false)), 0u);
}

}  // namespace
