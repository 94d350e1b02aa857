#include "x11/pixel_convert.h"

#include <gtest/gtest.h>

#include <vector>

TEST(PixelConverter, WidensEachChannelToFullRange) {
    const struct {
        ColorType layout;
        uint32_t red, green, blue;
        uint16_t pixel;
        uint32_t expected;
    } cases[] = {
        {kColor565, 0xFF0000, 0xFF00, 0xFF, 0xFFFF, 0xFFFFFF},
        {kColor565, 0xFF0000, 0xFF00, 0xFF, 0x0400, 0x008200},  // the top bits repeated below
        {kColor565, 0xFF, 0xFF00, 0xFF0000, 0xF800, 0x0000FF},
        {kColor555, 0xFF0000, 0xFF00, 0xFF, 0x83E0, 0x00FF00},  // the top bit is not part of it
        {kColor565, 0x3FF00000, 0xFFC00, 0x3FF, 0xFFFF, 0x3FFFFFFF},
    };
    for (const auto& c : cases) {
        PixelConverter convert;
        ASSERT_TRUE(convert.Build(c.layout, c.red, c.green, c.blue));
        EXPECT_EQ(convert.Convert(c.pixel), c.expected) << c.pixel;
    }
    PixelConverter overlapping;
    EXPECT_FALSE(overlapping.Build(kColor565, 0xFF0000, 0xFFFF00, 0xFF));
}

// The 0x00RRGGBB pass is computed, not looked up: it agrees with the tables for every value, in rows
// that are no multiple of the vector width.
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
        ASSERT_EQ(wide[i], i % kPitch < kWidth ? convert.Convert(frame[i]) : 0xDEADBEEF) << i;
}
