#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "glyphs/graphics_loader.h"
#include "glyphs/image.h"
#include "support/fixed_string.h"
#include "tools/render_options.h"
#include "tools/tga_writer.h"

extern char** environ;

namespace {

std::string TempPath(const std::string& name) { return ::testing::TempDir() + name; }

long FileSize(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return -1;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

// The picture LoadTga makes of the file, in the given layout (raw, no map).
std::unique_ptr<Image> LoadBack(const std::string& path, ColorType layout) {
    GraphicsLoader loader;
    loader.SetPixelFormat(layout);
    FixedString name(path.c_str());
    return std::unique_ptr<Image>(loader.LoadTga(name, false, false));
}

// Every 16-bit value once, in rows narrower than their pitch; the padding must not show.
TEST(WriteTga, EveryPixelValueReadsBackUnchanged) {
    constexpr int kSide = 256, kPitch = 259;
    std::vector<uint16_t> pixels(static_cast<size_t>(kPitch) * kSide, 0xBEEF);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            pixels[static_cast<size_t>(y) * kPitch + x] = static_cast<uint16_t>(y * kSide + x);
    const SurfaceInfo surface{pixels.data(), kSide, kSide, kPitch};
    for (ColorType layout : {kColor555, kColor565}) {
        const std::string path = TempPath("vorlex_tga_writer_all.tga");
        std::string error;
        ASSERT_TRUE(WriteTga(path, surface, layout, error)) << error;
        EXPECT_EQ(FileSize(path), 18 + kSide * kSide * 3);
        const std::unique_ptr<Image> image = LoadBack(path, layout);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->width, kSide);
        ASSERT_EQ(image->height, kSide);
        int wrong = 0;
        for (int i = 0; i < kSide * kSide; ++i) {
            // Bit 15 is no colour in 5-5-5.
            const uint16_t want = static_cast<uint16_t>(layout == kColor555 ? i & 0x7FFF : i);
            wrong += image->pixels[i] != want;
        }
        EXPECT_EQ(wrong, 0) << "layout " << layout;
        std::remove(path.c_str());
    }
}

TEST(WriteTga, FailsWithAReasonAndLeavesNoFile) {
    uint16_t pixel = 0;
    const SurfaceInfo one{&pixel, 1, 1, 1};
    std::string error;
    EXPECT_FALSE(WriteTga("/nonexistent-dir/x.tga", one, kColor565, error));
    EXPECT_NE(error.find("/nonexistent-dir/x.tga: "), std::string::npos) << error;

    // Too long for the loader's path strings: refused rather than written elsewhere.
    const std::string longPath = TempPath(std::string(260, 'a') + ".tga");
    error.clear();
    EXPECT_FALSE(WriteTga(longPath, one, kColor565, error));
    EXPECT_NE(error.find("254 characters"), std::string::npos) << error;
    EXPECT_EQ(FileSize(longPath.substr(0, 254)), -1);

    const std::string path = TempPath("vorlex_tga_writer_empty.tga");
    error.clear();
    EXPECT_FALSE(WriteTga(path, SurfaceInfo{}, kColor565, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(FileSize(path), -1);
}

TEST(RenderOptions, TgaOutputNamesTheFileAndReplacesTheDefault) {
    for (const std::vector<const char*>& args : {std::vector<const char*>{"vorlex-render", "--tga", "f.tga"},
                                                 std::vector<const char*>{"vorlex-render", "-t", "f.tga"},
                                                 std::vector<const char*>{"vorlex-render", "--tga=f.tga"}}) {
        RenderOptions options;
        std::string error;
        ASSERT_EQ(ParseRenderOptions(static_cast<int>(args.size()), args.data(), options, error), ParseResult::kRun)
            << error;
        EXPECT_EQ(options.tgaPath, "f.tga");
        EXPECT_TRUE(options.pngPath.empty()) << "no rain.png beside a named TGA";
    }
    RenderOptions options;
    std::string error;
    const char* const missing[] = {"vorlex-render", "--tga"};
    EXPECT_EQ(ParseRenderOptions(2, missing, options, error), ParseResult::kError);
    EXPECT_EQ(error, "option --tga needs a value");
}

int RunRenderer(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// The PNG's 8-bit channels repeat each channel's top bits, so shifting them back gives
// the frame's own 16-bit pixels.
std::vector<uint16_t> FrameFromPng(const std::string& path, ColorType layout, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    std::vector<uint16_t> out;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return out;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        const unsigned r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
        out.push_back(static_cast<uint16_t>(layout == kColor565 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                                                : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3));
    }
    return out;
}

// vorlex-render writes its last frame as PNG and as TGA; LoadTga reads the TGA back to
// exactly the frame's pixels.
TEST(RendererTgaOutput, ReadsBackAsTheFrame) {
    for (ColorType layout : {kColor555, kColor565}) {
        const std::string png = TempPath("vorlex_render_frame.png");
        const std::string tga = TempPath("vorlex_render_frame.tga");
        ASSERT_EQ(RunRenderer({VORLEX_RENDER_PROGRAM, "--glyphs", VORLEX_BUILT_GLYPHS, "-r", "150x90", "-n", "25", "-d",
                               "60", "-H", "30", "-l", layout == kColor565 ? "565" : "555", "-p", png, "--tga", tga}),
                  0);
        int width = 0, height = 0;
        const std::vector<uint16_t> frame = FrameFromPng(png, layout, width, height);
        ASSERT_EQ(width, 150);
        ASSERT_EQ(height, 90);
        int lit = 0;
        for (uint16_t p : frame) lit += p != 0;
        EXPECT_GT(lit, 150 * 90 / 20) << "a frame with glyphs on it";

        const std::unique_ptr<Image> image = LoadBack(tga, layout);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->width, 150);
        ASSERT_EQ(image->height, 90);
        EXPECT_EQ(std::vector<uint16_t>(image->pixels, image->pixels + 150 * 90), frame) << "layout " << layout;
        std::remove(png.c_str());
        std::remove(tga.c_str());
    }

    // A TGA that cannot be written: exit code 4 and no picture.
    EXPECT_EQ(RunRenderer({VORLEX_RENDER_PROGRAM, "--glyphs", VORLEX_BUILT_GLYPHS, "-r", "32x32", "-n", "1", "--tga",
                           "/nonexistent-dir/x.tga"}),
              kExitOutput);
}

}  // namespace
