#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/png_writer.h"

namespace {

TEST(ExpandPixel, FullAndZeroChannelsMapToTheEndsOfTheRange) {
    struct Case {
        uint16_t pixel;
        ColorType layout;
        Rgb8 want;
    };
    const Case cases[] = {
        {0x0000, kColor555, {0, 0, 0}},       {0x7FFF, kColor555, {255, 255, 255}},
        {0xFFFF, kColor565, {255, 255, 255}}, {0x07E0, kColor565, {0, 255, 0}},
        {0x03E0, kColor555, {0, 255, 0}},     {0x7C1F, kColor555, {255, 0, 255}},
        {0xF81F, kColor565, {255, 0, 255}},   {0x8000, kColor555, {0, 0, 0}},    // bit 15 is not red in 5-5-5
        {0x8000, kColor565, {132, 0, 0}},     {0x0400, kColor565, {0, 130, 0}},  // 6-bit 32 -> 130
        {0x0200, kColor555, {0, 132, 0}},     {0x0001, kColor565, {0, 0, 8}},
        {0x03E0, kColor565, {0, 125, 0}},  // 5-5-5 green read as 5-6-5 is half green
    };
    for (const Case& c : cases) {
        const Rgb8 got = ExpandPixel(c.pixel, c.layout);
        EXPECT_EQ(got.red, c.want.red) << std::hex << c.pixel;
        EXPECT_EQ(got.green, c.want.green) << std::hex << c.pixel;
        EXPECT_EQ(got.blue, c.want.blue) << std::hex << c.pixel;
    }
}

TEST(ExpandPixel, IsMonotonicInEachChannel) {
    for (ColorType layout : {kColor555, kColor565}) {
        const int greenBits = layout == kColor565 ? 6 : 5;
        int last = -1;
        for (unsigned g = 0; g < (1u << greenBits); ++g) {
            const int v = ExpandPixel(static_cast<uint16_t>(g << 5), layout).green;
            EXPECT_GT(v, last);
            last = v;
        }
    }
}

// Reads a PNG back with libpng's simplified API as 8-bit RGB.
bool ReadPng(const std::string& path, png_image& image, std::vector<uint8_t>& rgb) {
    image = png_image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

std::string TempPath(const char* name) { return ::testing::TempDir() + name; }

TEST(WritePng, WritesTheVisibleWidthOfEachRowNotThePitch) {
    // 3 x 2 picture inside rows of pitch 5; the padding must not show.
    std::vector<uint16_t> pixels = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xFFFF,  //
                                    0x0000, 0xFFFF, 0x8410, 0xFFFF, 0xFFFF};
    const SurfaceInfo surface{pixels.data(), 3, 2, 5};
    const std::string path = TempPath("vorlex_png_writer_565.png");
    std::string error;
    ASSERT_TRUE(WritePng(path, surface, kColor565, error)) << error;

    png_image image;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPng(path, image, rgb));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    const std::vector<uint8_t> want = {255, 0, 0, 0,   255, 0,   0,   0,   255,  //
                                       0,   0, 0, 255, 255, 255, 132, 130, 132};
    EXPECT_EQ(rgb, want);
    std::remove(path.c_str());
}

TEST(WritePng, UsesTheLayoutItIsGiven) {
    uint16_t pixel = 0x03E0;
    const SurfaceInfo surface{&pixel, 1, 1, 1};
    const std::string path = TempPath("vorlex_png_writer_555.png");
    std::string error;
    ASSERT_TRUE(WritePng(path, surface, kColor555, error)) << error;
    png_image image;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPng(path, image, rgb));
    EXPECT_EQ(rgb, (std::vector<uint8_t>{0, 255, 0}));
    std::remove(path.c_str());
}

TEST(WritePng, SamePixelsGiveTheSameFile) {
    std::vector<uint16_t> pixels(64 * 48);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint16_t>(i * 2654435761u >> 16);
    const SurfaceInfo surface{pixels.data(), 64, 48, 64};
    std::string bytes[2];
    for (int run = 0; run < 2; ++run) {
        const std::string path = TempPath("vorlex_png_writer_same.png");
        std::string error;
        ASSERT_TRUE(WritePng(path, surface, kColor565, error)) << error;
        FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes[run].append(buffer, n);
        std::fclose(f);
        std::remove(path.c_str());
    }
    EXPECT_GT(bytes[0].size(), 8u);
    EXPECT_EQ(bytes[0], bytes[1]);
}

TEST(WritePng, FailsWithAReasonAndLeavesNoFile) {
    uint16_t pixel = 0;
    std::string error;
    EXPECT_FALSE(WritePng("/nonexistent-dir/x.png", SurfaceInfo{&pixel, 1, 1, 1}, kColor565, error));
    EXPECT_NE(error.find("/nonexistent-dir/x.png"), std::string::npos);

    const std::string path = TempPath("vorlex_png_writer_empty.png");
    error.clear();
    EXPECT_FALSE(WritePng(path, SurfaceInfo{}, kColor565, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(std::fopen(path.c_str(), "rb"), nullptr);
}

}  // namespace
