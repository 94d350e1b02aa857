#include "x11/pixel_convert.h"

#include <gtest/gtest.h>

#include <vector>

TEST(PixelConverter, WidensEachChannelToFullRange) {
    const struct {
        const char* name;
        ColorType layout;
        uint32_t red, green, blue;
        uint16_t pixel;
        uint32_t expected;
    } cases[] = {
        {"white 565 to RGB", kColor565, 0xFF0000, 0xFF00, 0xFF, 0xFFFF, 0xFFFFFF},
        {"red 565 to RGB", kColor565, 0xFF0000, 0xFF00, 0xFF, 0xF800, 0xFF0000},
        {"half green 565 to RGB", kColor565, 0xFF0000, 0xFF00, 0xFF, 0x0400, 0x008200},
        {"lowest steps 565 to RGB", kColor565, 0xFF0000, 0xFF00, 0xFF, 0x0841, 0x080808},
        {"red 565 to BGR", kColor565, 0xFF, 0xFF00, 0xFF0000, 0xF800, 0x0000FF},
        {"blue 565 to BGR", kColor565, 0xFF, 0xFF00, 0xFF0000, 0x001F, 0xFF0000},
        {"green 555 to RGB", kColor555, 0xFF0000, 0xFF00, 0xFF, 0x03E0, 0x00FF00},
        {"top bit of 555 ignored", kColor555, 0xFF0000, 0xFF00, 0xFF, 0x8000, 0x000000},
        {"white 565 to 10-bit", kColor565, 0x3FF00000, 0xFFC00, 0x3FF, 0xFFFF, 0x3FFFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PixelConverter convert;
        ASSERT_TRUE(convert.Build(c.layout, c.red, c.green, c.blue));
        EXPECT_EQ(convert.Convert(c.pixel), c.expected);
    }
    PixelConverter overlapping;
    EXPECT_FALSE(overlapping.Build(kColor565, 0xFF0000, 0xFFFF00, 0xFF));
}

// The whole-frame pass for 0x00RRGGBB is computed, not looked up: it must agree with the
// tables over the whole range of values, in rows whose width is no multiple of the
// vector width.
TEST(PixelConverter, FramePassAgreesWithTablesForEveryPixel) {
    constexpr int kWidth = 251, kPitch = 256, kHeight = 256;
    std::vector<uint16_t> frame(kPitch * kHeight);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<uint16_t>(i * 251);  // 251 is odd: every value once
    std::vector<uint32_t> wide(kPitch * kHeight, 0xDEADBEEF);
    PixelConverter convert;
    ASSERT_TRUE(convert.Build(kColor565, 0xFF0000, 0xFF00, 0xFF));
    convert.ConvertFrame(SurfaceInfo{frame.data(), kWidth, kHeight, kPitch}, wide.data(), kPitch);
    for (size_t i = 0; i < frame.size(); ++i)
        ASSERT_EQ(wide[i], i % kPitch < kWidth ? convert.Convert(frame[i]) : 0xDEADBEEF) << "pixel " << i;
}
