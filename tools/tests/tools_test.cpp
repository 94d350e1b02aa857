#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "helpers/temp_files.h"
#include "tools/png_writer.h"

namespace {

std::vector<uint8_t> ReadPngRgb(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    EXPECT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << path;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << path;
    return rgb;
}

// Each channel spread over the full range; the pitch's padding skipped.
TEST(WritePng, Channels) {
    const Rgb8 green555 = ExpandPixel(0x8200, kColor555);
    EXPECT_EQ(std::vector<int>({green555.red, green555.green, green555.blue}), std::vector<int>({0, 132, 0}));
    std::vector<uint16_t> pixels = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x0000, 0x8410, 0xFFFF, 0xFFFF};
    const std::string path = datatest::TempPath("pitch.png");
    std::string error;
    ASSERT_TRUE(WritePng(path, SurfaceInfo{pixels.data(), 3, 2, 4}, kColor565, error)) << error;
    EXPECT_EQ(ReadPngRgb(path),
              (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 132, 130, 132, 255, 255, 255}));
}

// The exit code and output of a shell command run in a folder of its own; R is vorlex-render.
int Shell(const std::string& command, std::string& out) {
    const std::filesystem::path dir = datatest::kTempDir / "render";
    std::filesystem::create_directories(dir);
    const int status = std::system(
        ("cd '" + dir.string() + "' && R=" VORLEX_RENDER_PROGRAM " && { " + command + "; } >out.txt 2>&1").c_str());
    out = datatest::ReadAll((dir / "out.txt").string());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(VorlexRender, ExitCodes) {
    const std::string glyphs = "$R -g " VORLEX_BUILT_GLYPHS " -r 32x32 -n 1 ", data = datatest::DataPath("");
    const struct {
        std::string command;
        int exit;
        const char* says;
    } cases[] = {{"$R --help", 0, "Usage: vorlex-render"},
                 {"$R rain.png", 2, "unknown option 'rain.png'"},
                 {"$R --density 401", 2, "from 0 to 400, not '401'"},
                 {"$R --highlight=-1", 2, "from 0 to 100, not '-1'"},
                 {"$R -r 8193x10", 2, "1280x1024 or WIDTHxHEIGHT"},
                 {"$R --tga", 2, "option --tga needs a value"},
                 {"$R -g " + data + "wrong_version.ani", 3, "Wrong file format version, found 3"},
                 {"$R -g " + data + "too_few_frames.ani", 3, "not a usable glyph set: 10 frames"},
                 {glyphs + "--png /nonexistent/x.png", 4, "x.png: No such file"},
                 {glyphs + "--tga " + std::string(300, 'a'), 4, "1 to 254 characters"},
                 {glyphs + "&& test -s rain.png && echo written", 0, "last frame: rain.png\nwritten"},
                 // A disk full part-way (a 1 KiB file size limit) leaves no partial picture.
                 {"trap '' XFSZ; ulimit -f 1; " + glyphs + "--tga big.tga; rc=$?; test ! -e big.tga && exit $rc", 4,
                  "big.tga: File too large"}};
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(Shell(c.command, out), c.exit) << c.command;
        EXPECT_NE(out.find(c.says), std::string::npos) << c.command << ": " << out;
    }
}

// A screen that is not a whole number of cells shows rain up to its right and bottom edges.
TEST(VorlexRender, RainReachesTheEdges) {
    std::string out;
    ASSERT_EQ(Shell("$R -g " VORLEX_BUILT_GLYPHS " -r 44x79 -d 400 -n 80 -p edges.png", out), 0) << out;
    const std::vector<uint8_t> rgb = ReadPngRgb((datatest::kTempDir / "render/edges.png").string());
    ASSERT_EQ(rgb.size(), 44u * 79 * 3);
    int lastColumns = 0, lastRows = 0;  // lit bytes in x 32...43 and in y 70...78
    for (size_t i = 0; i < rgb.size(); ++i) {
        lastColumns += rgb[i] != 0 && i / 3 % 44 >= 32;
        lastRows += rgb[i] != 0 && i / 3 / 44 >= 70;
    }
    EXPECT_GT(lastColumns, 0) << "a blank strip at the right";
    EXPECT_GT(lastRows, 0) << "a blank strip at the bottom";
}

}  // namespace
