#include "glyphs/graphics_loader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "data_test_util.h"
#include "diag/log_core.h"
#include "glyphs/animation.h"
#include "glyphs/file.h"
#include "glyphs/glyph_set.h"
#include "support/fixed_string.h"

namespace {

using datatest::TempPath;
using datatest::WriteAll;

constexpr uint16_t kKey555 = 0x7C1F;
constexpr uint16_t kKey565 = 0xF81F;
const Rgb kMagenta(255, 0, 255);

// Picture of one frame, top row first, as the test means it.
struct Picture {
    std::vector<Rgb> pixels;   // W x H
    std::vector<uint8_t> map;  // W x H when the file has maps
};

// Writes an animation file: rows bottom first, pixels as blue, green, red.
std::string AniBytes(int w, int h, const std::vector<Picture>& frames, uint8_t mapFlag = 0, uint8_t version = 2) {
    std::string bytes = {'J',
                         'U',
                         'N',
                         'K',
                         static_cast<char>(version),
                         static_cast<char>(frames.size()),
                         static_cast<char>(w & 0xFF),
                         static_cast<char>(w >> 8),
                         static_cast<char>(h & 0xFF),
                         static_cast<char>(h >> 8),
                         static_cast<char>(mapFlag),
                         '\x5A'};
    for (const Picture& p : frames) {
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x) {
                const Rgb& c = p.pixels[static_cast<size_t>(y * w + x)];
                bytes += {static_cast<char>(c.blue), static_cast<char>(c.green), static_cast<char>(c.red)};
            }
        }
        if (mapFlag != 0) bytes.append(p.map.begin(), p.map.end());
    }
    return bytes;
}

// Distinct colour per frame and position.
Picture Numbered(int frame, int w, int h) {
    Picture p;
    for (int i = 0; i < w * h; ++i) {
        p.pixels.emplace_back(static_cast<uint8_t>(8 * i), static_cast<uint8_t>(8 * frame),
                              static_cast<uint8_t>(100 + 4 * i));
        p.map.push_back(static_cast<uint8_t>(frame * 16 + i));
    }
    return p;
}

uint16_t To555(const Rgb& c) { return static_cast<uint16_t>((c.red >> 3) << 10 | (c.green >> 3) << 5 | (c.blue >> 3)); }

class LoaderTest : public testing::Test {
protected:
    void SetUp() override {
        previousHook_ = SetErrorBoxHook([](HWND__*, const char*, const char*) { return true; });
        logPath_ = TempPath("loader_test.log");
        ASSERT_TRUE(InitErrorMsgAt(logPath_.c_str()));
        loader_.SetPixelFormat(0);
    }
    void TearDown() override {
        StopErrorMsg();
        SetErrorBoxHook(previousHook_);
        datatest::Remove(logPath_);
    }
    std::unique_ptr<Animation> Load(const std::string& bytes, bool compress = false, int32_t format = 0) {
        const std::string path = TempPath("glyphs.ani");
        WriteAll(path, bytes);
        loader_.SetPixelFormat(format);
        return std::unique_ptr<Animation>(loader_.LoadAnimation(FixedString(path.c_str()), compress));
    }
    void ExpectLogged(const char* message) {
        EXPECT_EQ(MostSevereLevel(), LOG_ERROR);
        EXPECT_STREQ(RememberedErrorMsg().Text(), message);
    }
    void ExpectNothingLogged() { EXPECT_LT(MostSevereLevel(), LOG_ERROR) << RememberedErrorMsg().Text(); }

    GraphicsLoader loader_;
    std::string logPath_;
    ErrorBoxHook previousHook_ = nullptr;
};

TEST_F(LoaderTest, ConvertsEveryChannelInBothLayouts) {
    struct Case {
        Rgb colour;
        uint16_t in555;
        uint16_t in565;
    };
    const Case cases[] = {
        {kMagenta, 0x7C1F, 0xF81F},
        {Rgb(0x56, 0x34, 0x12), 0x28C2, 0x51A2},
        {Rgb(255, 0, 0), 0x7C00, 0xF800},
        {Rgb(0, 255, 0), 0x03E0, 0x07E0},
        {Rgb(0, 0, 255), 0x001F, 0x001F},
        {Rgb(255, 255, 255), 0x7FFF, 0xFFFF},
        {Rgb(0x08, 0x04, 0x08), 0x0401, 0x0821},  // green 4: lost in 5 bits, kept in 6
        {Rgb(0x07, 0x07, 0x07), 0x0000, 0x0020},
    };
    for (const Case& c : cases) {
        for (int32_t format : {0, 1}) {
            const auto animation = Load(AniBytes(1, 1, {Picture{{c.colour}, {}}}), false, format);
            ASSERT_NE(animation, nullptr);
            EXPECT_EQ(animation->frames[0][0], format == 0 ? c.in555 : c.in565)
                << int(c.colour.red) << "," << int(c.colour.green) << "," << int(c.colour.blue) << " format " << format;
        }
    }
    uint16_t out[2];
    const Rgb row[2] = {Rgb(0x56, 0x34, 0x12), kMagenta};
    loader_.pixelFormat = 7;  // any nonzero format is 5-6-5
    loader_.ConvertRow(row, out, 2);
    EXPECT_EQ(out[0], 0x51A2);
    EXPECT_EQ(out[1], kKey565);
    EXPECT_EQ(loader_.colorKey, kKey565);
    EXPECT_EQ(&loader_.SetPixelFormat(0), &loader_);
    EXPECT_EQ(loader_.colorKey, kKey555);
    EXPECT_EQ(loader_.SetPixelFormat(1).colorKey, kKey565);
}

// The first row in the file is the picture's bottom row; written out by hand here.
TEST_F(LoaderTest, FileRowsRunBottomToTop) {
    std::string bytes = {'\0', '\0', '\0', '\0', 2, 1, 3, 0, 2, 0, 0, 0};
    // bottom row (y = 1): blue 1..3; top row (y = 0): blue 4..6 (5-5-5 blue = byte >> 3)
    for (int b : {8, 16, 24, 32, 40, 48}) bytes += {static_cast<char>(b), 0, 0};
    const auto animation = Load(bytes);
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->width, 3);
    EXPECT_EQ(animation->height, 2);
    EXPECT_EQ(animation->frameCount, 1);
    EXPECT_EQ(animation->compressed, 0);
    EXPECT_FALSE(animation->hasMaps);
    const std::vector<uint16_t> topDown(animation->frames[0], animation->frames[0] + 6);
    EXPECT_EQ(topDown, (std::vector<uint16_t>{4, 5, 6, 1, 2, 3}));
    for (int i = 1; i < Animation::kMaxFrames; ++i) EXPECT_EQ(animation->frames[i], nullptr);
}

TEST_F(LoaderTest, FramesAndMapsFollowEachOther) {
    const int w = 3, h = 2;
    const std::vector<Picture> frames = {Numbered(0, w, h), Numbered(1, w, h), Numbered(2, w, h)};
    for (uint8_t flag : {1, 7}) {
        for (bool compress : {false, true}) {
            const auto animation = Load(AniBytes(w, h, frames, flag), compress);
            ASSERT_NE(animation, nullptr);
            EXPECT_EQ(animation->compressed, 0);  // maps keep frames raw
            EXPECT_TRUE(animation->hasMaps);
            EXPECT_EQ(animation->frameCount, 3);
            for (int f = 0; f < 3; ++f) {
                for (int i = 0; i < w * h; ++i) {
                    EXPECT_EQ(animation->frames[f][i], To555(frames[f].pixels[i])) << f << " " << i;
                    EXPECT_EQ(animation->maps[f][i], frames[f].map[i]) << f << " " << i;
                }
            }
            EXPECT_EQ(animation->maps[3], nullptr);
        }
    }
}

TEST_F(LoaderTest, NoFramesReadsNothingPastTheHeader) {
    const std::string path = TempPath("no_frames.ani");
    std::string bytes = AniBytes(4, 4, {}, 1);
    bytes += "trailing bytes";
    WriteAll(path, bytes);
    File file(path.c_str(), File::kModeRead);
    std::unique_ptr<Animation> animation(loader_.LoadAnimation(file, false));
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->frameCount, 0);
    EXPECT_FALSE(animation->hasMaps);  // set only while a map is read
    EXPECT_EQ(animation->frames[0], nullptr);
    EXPECT_EQ(file.SeekFromCurrent(0), 12);
    ExpectNothingLogged();
}

TEST_F(LoaderTest, FileFormReadsFromItsPositionAndNeverClosesTheFile) {
    const std::string path = TempPath("offset.ani");
    const std::string ani = AniBytes(2, 2, {Numbered(0, 2, 2)});
    WriteAll(path, "12345" + ani + ani.substr(0, 12) + "x");
    File file(path.c_str(), File::kModeRead);
    EXPECT_EQ(file.SeekFromStart(5), 5);
    std::unique_ptr<Animation> animation(loader_.LoadAnimation(file, false));
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->frames[0][3], To555(Numbered(0, 2, 2).pixels[3]));
    EXPECT_EQ(file.SeekFromCurrent(0), 5 + static_cast<int32_t>(ani.size()));
    // The second copy breaks off after its header: a failure, and the file stays open.
    EXPECT_EQ(loader_.LoadAnimation(file, false), nullptr);
    ExpectLogged("[GraphicsLoader::LoadAnimation] Unable to read source file");
    EXPECT_EQ(file.OpenError(), 0);
    EXPECT_EQ(file.SeekFromStart(0), 0);
    char c = 0;
    EXPECT_EQ(file.Read(&c, 1), 0);
    EXPECT_EQ(c, '1');

    ShowErrorMsg(nullptr);
    File closed(TempPath("absent.ani").c_str(), File::kModeRead);
    EXPECT_EQ(loader_.LoadAnimation(closed, false), nullptr);
    ExpectNothingLogged();
}

TEST_F(LoaderTest, WrongVersionsAreNamedInDecimal) {
    for (int version : {1, 3, 255, 0}) {
        EXPECT_EQ(Load(AniBytes(1, 1, {Numbered(0, 1, 1)}, 0, static_cast<uint8_t>(version))), nullptr);
        ExpectLogged(
            ("[GraphicsLoader::LoadAnimation] Wrong file format version, found " + std::to_string(version)).c_str());
    }
}

TEST_F(LoaderTest, MissingFileFailsWithoutAMessage) {
    EXPECT_EQ(loader_.LoadAnimation(FixedString(TempPath("missing.ani").c_str()), false), nullptr);
    ExpectNothingLogged();
}

TEST_F(LoaderTest, WithoutScratchPadNothingIsRead) {
    delete[] loader_.ScratchPad;
    loader_.ScratchPad = nullptr;
    const std::string path = TempPath("fine.ani");
    WriteAll(path, AniBytes(1, 1, {Numbered(0, 1, 1)}));
    EXPECT_EQ(loader_.LoadAnimation(FixedString(path.c_str()), false), nullptr);
    ExpectLogged("[GraphicsLoader::LoadAnimation] NULL pointer detected in ScratchPad");
    ShowErrorMsg(nullptr);
    File file(path.c_str(), File::kModeRead);
    EXPECT_EQ(loader_.LoadAnimation(file, false), nullptr);
    ExpectLogged("[GraphicsLoader::LoadAnimation] NULL pointer detected in ScratchPad");
}

// Failures in the last frame release every earlier frame and map (ASan checks leaks).
TEST_F(LoaderTest, FailureInTheLastFrameLeavesNothing) {
    const int w = 4, h = 3;
    std::vector<Picture> frames;
    for (int f = 0; f < 5; ++f) frames.push_back(Numbered(f, w, h));
    for (bool compress : {false, true}) {
        std::string bytes = AniBytes(w, h, frames);
        bytes.pop_back();
        EXPECT_EQ(Load(bytes, compress), nullptr);
        ExpectLogged("[GraphicsLoader::LoadAnimation] Unable to read source file");
        ShowErrorMsg(nullptr);
    }
    std::string withMaps = AniBytes(w, h, frames, 1);
    withMaps.pop_back();
    EXPECT_EQ(Load(withMaps), nullptr);
    ExpectLogged("[GraphicsLoader::LoadAnimation] Unable to read transparecy map");
}

TEST_F(LoaderTest, CompressedLoadEncodesRowsTopFirst) {
    // Top row (M, M, p1, p2, M, p3), bottom row all magenta.
    const Rgb p1(8, 0, 0), p2(16, 0, 0), p3(24, 0, 0);
    Picture picture;
    picture.pixels = {kMagenta, kMagenta, p1,       p2,       kMagenta, p3,
                      kMagenta, kMagenta, kMagenta, kMagenta, kMagenta, kMagenta};
    for (int32_t format : {0, 1}) {
        const auto animation = Load(AniBytes(6, 2, {picture}), true, format);
        ASSERT_NE(animation, nullptr);
        EXPECT_EQ(animation->compressed, 1);
        EXPECT_FALSE(animation->hasMaps);
        const uint16_t s = format == 0 ? 10 : 11;  // red shift
        const std::vector<uint16_t> words(animation->frames[0], animation->frames[0] + 9);
        EXPECT_EQ(words,
                  (std::vector<uint16_t>{3, 2, 2, uint16_t(1 << s), uint16_t(2 << s), 1, 1, uint16_t(3 << s), 0}))
            << "format " << format;
    }
}

TEST_F(LoaderTest, CompressFrameRowEncodings) {
    const uint16_t p1 = 0x1111, p2 = 0x2222, p3 = 0x3333;
    struct Case {
        std::vector<uint16_t> pixels;
        int w, h;
        std::vector<uint16_t> words;
    };
    for (uint16_t key : {kKey555, kKey565}) {
        loader_.SetPixelFormat(key == kKey555 ? 0 : 1);
        const uint16_t other = key == kKey555 ? kKey565 : kKey555;  // the other layout's magenta is opaque
        const Case cases[] = {
            {{key, key, key}, 3, 1, {0}},
            {{p1, p2, p3}, 3, 1, {1, p1, p2, p3}},
            {{key, key, p1, p2, key, p3}, 6, 1, {3, 2, 2, p1, p2, 1, 1, p3}},
            {{p1, key}, 2, 1, {2, 0, 1, p1}},
            {{key, p1}, 2, 1, {2, 1, 1, p1}},
            {{key, p1, key}, 3, 1, {2, 1, 1, p1}},
            {{key, key, key, key}, 2, 2, {0, 0}},
            {{p1, key, p2, key, p3}, 5, 1, {4, 0, 1, p1, 1, 1, p2, 1, 1, p3}},
            {{other, key}, 2, 1, {2, 0, 1, other}},
            {{p1, p2, key, key, key, p3}, 3, 2, {2, 0, 2, p1, p2, 2, 2, 1, p3}},
        };
        for (const Case& c : cases) {
            int32_t words = -1;
            std::unique_ptr<uint16_t[]> encoded(loader_.CompressFrame(c.pixels.data(), c.w, c.h, &words));
            ASSERT_NE(encoded, nullptr);
            EXPECT_EQ(std::vector<uint16_t>(encoded.get(), encoded.get() + words), c.words)
                << "key " << std::hex << key;
        }
    }
    // Counts and lengths are 16-bit words: 65535 pixels is the widest row they describe.
    std::vector<uint16_t> wide(65536, p1);
    wide[0] = kKey565;
    int32_t words = -1;
    std::unique_ptr<uint16_t[]> widest(loader_.CompressFrame(wide.data(), 65535, 1, &words));
    ASSERT_NE(widest, nullptr);
    EXPECT_EQ(std::vector<uint16_t>(widest.get(), widest.get() + 3), (std::vector<uint16_t>{2, 1, 65534}));
    EXPECT_EQ(loader_.CompressFrame(wide.data(), 65536, 1, &words), nullptr);
    EXPECT_EQ(loader_.CompressFrame(nullptr, 2, 2, &words), nullptr);
    EXPECT_EQ(loader_.CompressFrame(&p1, -1, 1, &words), nullptr);
    EXPECT_EQ(words, 0);
}

TEST(GlyphSet, NeedsFiftyFiveFramesOfACell) {
    EXPECT_FALSE(IsUsableGlyphSet(nullptr));
    EXPECT_FALSE(IsUsableGlyphSet(std::make_unique<Animation>(8, 12, 54, 0).get()));
    EXPECT_TRUE(IsUsableGlyphSet(std::make_unique<Animation>(8, 12, 55, 0).get()));
    EXPECT_TRUE(IsUsableGlyphSet(std::make_unique<Animation>(8, 12, 100, 1).get()));
    EXPECT_FALSE(IsUsableGlyphSet(std::make_unique<Animation>(0, 12, 55, 0).get()));
    EXPECT_FALSE(IsUsableGlyphSet(std::make_unique<Animation>(8, 0, 55, 0).get()));
}

// Every file of the bad-glyph corpus against its line in expected.tsv.
TEST_F(LoaderTest, BadGlyphCorpus) {
    std::ifstream table(datatest::DataPath("bad_glyphs/expected.tsv"));
    ASSERT_TRUE(table.good()) << datatest::DataPath("bad_glyphs/expected.tsv");
    std::string line;
    int checked = 0;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, result, frames, usable, message;
        std::getline(fields, name, '\t');
        std::getline(fields, result, '\t');
        std::getline(fields, frames, '\t');
        std::getline(fields, usable, '\t');
        std::getline(fields, message);
        SCOPED_TRACE(name);
        InitErrorMsgAt(logPath_.c_str());
        for (bool compress : {false, true}) {
            std::unique_ptr<Animation> animation(
                loader_.LoadAnimation(FixedString(datatest::DataPath("bad_glyphs/" + name).c_str()), compress));
            EXPECT_EQ(animation != nullptr, result == "ok");
            if (animation != nullptr) {
                EXPECT_EQ(animation->frameCount, std::stoi(frames));
            }
            EXPECT_EQ(IsUsableGlyphSet(animation.get()), usable == "yes");
            if (message == "-") {
                ExpectNothingLogged();
            } else {
                ExpectLogged(message.c_str());
            }
        }
        ++checked;
    }
    EXPECT_EQ(checked, 20);
}

}  // namespace
