#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <numeric>
#include <vector>

#include "diag/log_core.h"
#include "glyphs/animation.h"
#include "glyphs/glyph_set.h"
#include "glyphs/graphics_loader.h"
#include "glyphs/image.h"
#include "helpers/guarded_surface.h"
#include "helpers/temp_files.h"

namespace {

using Pixels = std::vector<uint16_t>;

std::string TgaHeader(int w, int h, int depth) {  // fields the reader ignores hold junk
    return std::string("\0\0\2\1\2\3\4\5\6\7\10\11", 12) + char(w) + char(w >> 8) + char(h) + char(h >> 8) +
           char(depth) + ' ';
}

class Loader : public testing::Test {
protected:
    std::unique_ptr<Image> LoadTga(const std::string& bytes) {
        if (!bytes.empty()) datatest::WriteAll(file_, bytes);
        FixedString name = name_;
        return std::unique_ptr<Image>(loader_.LoadTga(name, false, false));
    }
    GraphicsLoader loader_;
    const std::string file_ = datatest::TempPath("picture.v1.tga");
    const FixedString name_{file_.c_str()};
};

// Stored bottom row first; read top row first in the display's layout, run-length unless mapped.
TEST_F(Loader, Frames) {
    for (int maps = 0; maps < 2; ++maps) {
        std::string bytes = {'J', 'U', 'N', 'K', 2, 2, 2, 0, 2, 0, char(maps), 0};
        for (int f = 0; f < 2; ++f) {
            for (int i : {2, 3, 0, 1}) bytes += {char(8 * (i + f)), 0x34, 0x56};
            bytes += maps ? std::string{char(f), 2, 3, 4} : "";
        }
        datatest::WriteAll(file_, bytes);
        loader_.SetPixelFormat(maps);
        std::unique_ptr<Animation> animation(loader_.LoadAnimation(name_, true));
        ASSERT_NE(animation, nullptr);
        EXPECT_EQ(Pixels(animation->frames[1], animation->frames[1] + (maps ? 4 : 6)),
                  (maps ? Pixels{0x51A1, 0x51A2, 0x51A3, 0x51A4} : Pixels{1, 0x28C1, 0x28C2, 1, 0x28C3, 0x28C4}));
        EXPECT_EQ(maps ? animation->maps[1][0] : 1, 1);
    }
}

TEST_F(Loader, CompressFrame) {
    const uint16_t k = 0x7C1F, a = 0x1111, b = 0x2222, c = 0xF81F;  // c: the other layout's magenta
    const struct {
        int w, h;
        Pixels pixels, words;
    } cases[] = {{6, 1, {k, k, a, b, k, c}, {3, 2, 2, a, b, 1, 1, c}},
                 {3, 2, {k, a, b, k, k, c}, {2, 1, 2, a, b, 2, 2, 1, c}}};
    for (const auto& e : cases) {
        int32_t words = -1;
        std::unique_ptr<uint16_t[]> encoded(loader_.SetPixelFormat(0).CompressFrame(e.pixels.data(), e.w, e.h, &words));
        ASSERT_NE(encoded, nullptr);
        EXPECT_EQ(Pixels(encoded.get(), encoded.get() + words), e.words);
    }
    EXPECT_EQ(loader_.CompressFrame(&a, 65536, 1), nullptr);  // counts and lengths are 16-bit words
}

// Each file against its line in expected.tsv: frames read, usable or not, the error logged.
TEST_F(Loader, BadGlyphCorpus) {
    std::ifstream table(datatest::DataPath("bad_glyphs/expected.tsv"));
    std::string name, frames, usable, message;
    int checked = 0;
    std::getline(table, message);  // the column names
    for (; table >> name >> frames >> usable && std::getline(table >> std::ws, message); ++checked) {
        for (bool compress : {false, true}) {
            ASSERT_TRUE(InitErrorMsgAt(datatest::TempPath("loader.log").c_str()));
            const std::string path = datatest::DataPath("bad_glyphs/" + name);
            std::unique_ptr<Animation> animation(loader_.LoadAnimation(FixedString(path.c_str()), compress));
            EXPECT_EQ(animation ? std::to_string(animation->frameCount) : "-", frames) << name;
            EXPECT_EQ(IsUsableGlyphSet(animation.get()), usable == "yes") << name;
            EXPECT_EQ(MostSevereLevel() >= LOG_ERROR ? RememberedErrorMsg().Text() : "-", message) << name;
        }
    }
    StopErrorMsg();
    EXPECT_EQ(checked, 20);
}

// Every 16-bit value of either layout survives SaveTga and the reader, also into a surface. 16-bit
// files are 5-5-5; nothing is read from a partial picture or into too small a surface.
TEST_F(Loader, Tga) {
    Pixels all(0x10000), all555(0x10000);
    std::iota(all.begin(), all.end(), 0);
    std::transform(all.begin(), all.end(), all555.begin(), [](uint16_t p) { return p & 0x7FFF; });
    const std::string px = std::string(18, 'p'), sixteen = "\xff\x7f\x1f\x7c\xe1\x83";
    const struct {
        std::string bytes;  // empty: all values saved by SaveTga
        int32_t format;
        Pixels want;  // empty: refused
    } cases[] = {{"", 0, all555},
                 {"", 1, all},
                 {TgaHeader(3, 1, 16) + sixteen, 0, {0x7FFF, 0x7C1F, 0x83E1}},
                 {TgaHeader(3, 1, 16) + sixteen, 1, {0xFFDF, 0xF81F, 0x07C1}},
                 {TgaHeader(3, 2, 15) + px, 0, {}},
                 {TgaHeader(1000, 481, 16) + px, 0, {}},  // above the ScratchPad
                 {TgaHeader(3, 2, 24).substr(0, 17), 0, {}},
                 {TgaHeader(3, 2, 24) + px.substr(1), 1, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        loader_.SetPixelFormat(c.format);
        if (c.bytes.empty()) {
            ASSERT_TRUE(loader_.SaveTga(name_, SurfaceInfo{all.data(), 256, 256, 256}));
            const std::string bytes = datatest::ReadAll(file_);
            EXPECT_EQ(bytes.size(), 18u + 3 * 0x10000);
            EXPECT_EQ(bytes.substr(12, 9), (std::string{0, 1, 0, 1, 24, 0, 0, char(c.format ? 227 : 199), char(255)}));
        }
        const auto image = LoadTga(c.bytes);
        const bool whole = image && size_t(image->width * image->height) == c.want.size();
        EXPECT_EQ(whole ? Pixels(image->pixels, image->pixels + c.want.size()) : Pixels(), c.want);
        GuardedSurface surface(256, 256), narrow(2, 8);
        EXPECT_EQ(loader_.LoadTgaToSurface(name_, surface.Info()), !c.want.empty());
        EXPECT_FALSE(loader_.LoadTgaToSurface(name_, narrow.Info()));
        Pixels shown = {surface.At(0, 0)};
        for (size_t i = 1; i < c.want.size(); ++i) shown.push_back(surface.At(i % 256, i / 256));
        EXPECT_EQ(shown, c.want.empty() ? Pixels{surface.Fill()} : c.want);
        EXPECT_TRUE(surface.GuardsIntact() && narrow.GuardsIntact() && narrow.At(0, 0) == narrow.Fill());
    }
}

TEST_F(Loader, TgaMapPath) {
    for (const auto& [path, map] : {std::pair<std::string, std::string>{"a.b.tga", "a.b.map"},
                                    {".tga", ".tga.map"},
                                    {"C:\\x.v2\\pic", "C:\\x.v2\\pic.map"},
                                    {std::string(251, 'a'), ""}}) {
        FixedString text(path.c_str());
        EXPECT_EQ(GraphicsLoader::MapCompanionPath(text), !map.empty()) << path;
        EXPECT_EQ(text.Text(), map.empty() ? path : map);
    }
}

}  // namespace
