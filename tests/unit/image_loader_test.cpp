#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data_test_util.h"
#include "display/surface_info.h"
#include "glyphs/file.h"
#include "glyphs/graphics_loader.h"
#include "glyphs/image.h"
#include "helpers/guarded_surface.h"
#include "helpers/test_glyphs.h"
#include "support/fixed_string.h"

namespace {

using datatest::ReadAll;
using datatest::WriteAll;

uint16_t To555(const Rgb& c) { return static_cast<uint16_t>((c.red >> 3) << 10 | (c.green >> 3) << 5 | (c.blue >> 3)); }
uint16_t To565(const Rgb& c) { return static_cast<uint16_t>((c.red >> 3) << 11 | (c.green >> 2) << 5 | (c.blue >> 3)); }

// Distinct colour per position; every tenth pixel magenta.
std::vector<Rgb> Picture(int w, int h) {
    std::vector<Rgb> p;
    for (int i = 0; i < w * h; ++i)
        p.push_back(i % 10 == 3 ? Rgb(255, 0, 255)
                                : Rgb(static_cast<uint8_t>(20 * i + 7), static_cast<uint8_t>(255 - 9 * i),
                                      static_cast<uint8_t>(i * 37)));
    return p;
}

std::string Header(int w, int h, int depth) {
    // Fields the readers ignore hold junk.
    std::string bytes = {0, 0, 2, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    bytes += {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8), static_cast<char>(h & 0xFF),
              static_cast<char>(h >> 8),   static_cast<char>(depth),  0x20};
    return bytes;
}

// 24-bit pixel data of a top-down picture: bottom row first, blue, green, red.
std::string Rows24(const std::vector<Rgb>& p, int w, int h) {
    std::string bytes;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            const Rgb& c = p[static_cast<size_t>(y * w + x)];
            bytes += {static_cast<char>(c.blue), static_cast<char>(c.green), static_cast<char>(c.red)};
        }
    return bytes;
}

std::string Rows16(const std::vector<uint16_t>& p, int w, int h) {
    std::string bytes;
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x) {
            const uint16_t v = p[static_cast<size_t>(y * w + x)];
            bytes += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        }
    return bytes;
}

class ImageLoaderTest : public testing::Test {
protected:
    void TearDown() override {
        for (const std::string& path : created_) datatest::Remove(path);
    }
    // A temp file path, removed after the test.
    std::string TempPath(const std::string& name) {
        created_.push_back(datatest::TempPath(name));
        return created_.back();
    }
    std::unique_ptr<Image> Load(const std::string& bytes, int32_t format, bool compress = false) {
        const std::string path = TempPath("picture.tga");
        WriteAll(path, bytes);
        loader_.SetPixelFormat(format);
        FixedString name(path.c_str());
        return std::unique_ptr<Image>(loader_.LoadTga(name, compress, false));
    }
    static std::vector<uint16_t> Pixels(const Image& image) {
        return std::vector<uint16_t>(image.pixels, image.pixels + image.width * image.height);
    }

    GraphicsLoader loader_;
    std::vector<std::string> created_;
};

// Raw images hold the converted pixels, compressed ones their LLE encoding.
TEST_F(ImageLoaderTest, Reads24BitRowsBottomFirstInBothLayouts) {
    const int w = 10, h = 3;
    const std::vector<Rgb> picture = Picture(w, h);
    for (int32_t format : {0, 1}) {
        for (bool compress : {false, true}) {
            SCOPED_TRACE(testing::Message() << "format " << format << ", compress " << compress);
            const auto image = Load(Header(w, h, 24) + Rows24(picture, w, h) + "trailing", format, compress);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->width, w);
            EXPECT_EQ(image->height, h);
            EXPECT_EQ(image->compressed, compress ? 1 : 0);
            EXPECT_FALSE(image->hasMap);
            EXPECT_EQ(image->map, nullptr);
            std::vector<uint16_t> expected;
            for (const Rgb& c : picture) expected.push_back(format == 0 ? To555(c) : To565(c));
            if (compress) expected = EncodeLle(expected, w, h, format == 0 ? kMagenta555 : kMagenta565);
            EXPECT_EQ(std::vector<uint16_t>(image->pixels, image->pixels + expected.size()), expected);
        }
    }
}

TEST_F(ImageLoaderTest, Reads16BitAs555AndWidensOnlyFor565) {
    const int w = 3, h = 2;
    // Top row, then bottom row.
    const std::vector<uint16_t> file = {0x7FFF, 0x0000, 0x7C1F, 0x8421, 0x03E0, 0x001F};
    const std::vector<uint16_t> as565 = {0xFFDF, 0x0000, 0xF81F, 0x0841, 0x07C0, 0x001F};
    for (int32_t format : {0, 1}) {
        const auto image = Load(Header(w, h, 16) + Rows16(file, w, h), format);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(Pixels(*image), format == 0 ? file : as565) << "format " << format;
    }
    std::vector<uint16_t> widened = {0x7FFF, 0x8000, 0x0421};
    GraphicsLoader::Widen555To565(widened.data(), 2);
    EXPECT_EQ(widened, (std::vector<uint16_t>{0xFFDF, 0x0000, 0x0421}));  // the count is respected
}

TEST_F(ImageLoaderTest, MapComesFromTheCompanionFileTopRowFirst) {
    const int w = 4, h = 2;
    const std::string tga = TempPath("sprite.v1.tga");
    const std::string map = TempPath("sprite.v1.map");
    WriteAll(tga, Header(w, h, 24) + Rows24(Picture(w, h), w, h));
    const std::string mapBytes = {0, 1, 2, 3, 4, 9, 127, static_cast<char>(255)};
    WriteAll(map, mapBytes + "extra");
    loader_.SetPixelFormat(1);
    for (bool compress : {false, true}) {
        FixedString path(tga.c_str());
        std::unique_ptr<Image> image(loader_.LoadTga(path, compress, true));
        ASSERT_NE(image, nullptr);
        EXPECT_TRUE(image->hasMap);
        ASSERT_NE(image->map, nullptr);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(image->map), w * h), mapBytes);
        EXPECT_EQ(image->compressed, compress ? 1 : 0);
        EXPECT_STREQ(path.Text(), map.c_str());
    }
    FixedString path(tga.c_str());
    std::unique_ptr<Image> plain(loader_.LoadTga(path, false, false));
    ASSERT_NE(plain, nullptr);
    EXPECT_FALSE(plain->hasMap);
    EXPECT_EQ(plain->map, nullptr);
    EXPECT_STREQ(path.Text(), tga.c_str());

    // A missing or short map releases the whole Image (the sanitizer build sees leaks).
    WriteAll(map, mapBytes.substr(0, 7));
    EXPECT_EQ(loader_.LoadTga(path, false, true), nullptr);
    datatest::Remove(map);
    path = tga.c_str();
    EXPECT_EQ(loader_.LoadTga(path, true, true), nullptr);
    EXPECT_STREQ(path.Text(), map.c_str());
}

TEST(MapCompanionPath, ReplacesTheFileNamesExtension) {
    struct Case {
        std::string path;
        std::string map;  // empty: refused, path unchanged
    };
    const std::string long250(250, 'a');
    const Case cases[] = {
        {"pic.tga", "pic.map"},
        {"pic", "pic.map"},
        {"pic.", "pic.map"},
        {"a.b.tga", "a.b.map"},
        {".tga", ".tga.map"},
        {"dir.v2/pic", "dir.v2/pic.map"},
        {"C:\\pics.old\\pic", "C:\\pics.old\\pic.map"},
        {"dir/.hidden", "dir/.hidden.map"},
        {"", ".map"},
        {long250 + "a", ""},  // 251 characters
        {long250 + ".tga", long250 + ".map"},
        {long250 + "b.tg", ""},  // 254 characters; the ".map" would not fit
    };
    for (const Case& c : cases) {
        FixedString path(c.path.c_str());
        EXPECT_EQ(GraphicsLoader::MapCompanionPath(path), !c.map.empty()) << c.path;
        EXPECT_EQ(std::string(path.Text()), c.map.empty() ? c.path : c.map) << c.path;
    }
}

// Every 16-bit value of either layout survives SaveTga and the 24-bit reader.
TEST_F(ImageLoaderTest, SaveTgaRoundTripRestoresEveryPixel) {
    const int w = 256, h = 256;
    std::vector<uint16_t> all(w * h);
    for (int i = 0; i < w * h; ++i) all[i] = static_cast<uint16_t>(i);
    const SurfaceInfo surface{all.data(), w, h, w};
    const std::string path = TempPath("round_trip.tga");
    for (int32_t format : {0, 1}) {
        loader_.SetPixelFormat(format);
        ASSERT_TRUE(loader_.SaveTga(FixedString(path.c_str()), surface));
        EXPECT_EQ(ReadAll(path).size(), 18u + 3u * w * h);
        FixedString name(path.c_str());
        std::unique_ptr<Image> image(loader_.LoadTga(name, false, false));
        ASSERT_NE(image, nullptr);
        int wrong = 0;
        for (int i = 0; i < w * h; ++i) {
            const uint16_t expected = format == 0 ? static_cast<uint16_t>(i & 0x7FFF) : static_cast<uint16_t>(i);
            if (image->pixels[i] != expected && ++wrong <= 5)
                ADD_FAILURE() << "format " << format << ": " << i << " came back as " << image->pixels[i];
        }
        // Straight into a surface too, with a pitch wider than the picture.
        std::vector<uint16_t> copy((w + 3) * h, 0xABCD);
        ASSERT_TRUE(loader_.LoadTgaToSurface(FixedString(path.c_str()), SurfaceInfo{copy.data(), w, h, w + 3}));
        for (int y = 0; y < h; ++y) {
            EXPECT_EQ(std::memcmp(&copy[y * (w + 3)], image->pixels + y * w, w * 2), 0) << y;
            EXPECT_EQ(copy[y * (w + 3) + w], 0xABCD);
        }
    }
}

TEST_F(ImageLoaderTest, SaveTgaWritesHeaderAndRowsByteForByte) {
    // 258 x 2 so both size fields have a high byte; the bottom row is written first.
    const int w = 258, h = 2, pitch = 300;
    std::vector<uint16_t> pixels(pitch * h, 0);
    pixels[0] = 0xFFFF;          // top row
    pixels[1] = 0x0821;          // red 1, green 1, blue 1 in 5-6-5
    pixels[pitch] = 0x0000;      // bottom row
    pixels[pitch + 1] = 0xF800;  // 5-6-5 red
    const std::string path = TempPath("header.tga");
    loader_.SetPixelFormat(1);
    ASSERT_TRUE(loader_.SaveTga(FixedString(path.c_str()), SurfaceInfo{pixels.data(), w, h, pitch}));
    const std::string bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 18u + 3u * w * h);
    const std::string header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 2, 0, 24, 0};
    EXPECT_EQ(bytes.substr(0, 18), header);
    const std::string bottom = {0, 0, 0, 0, 0, static_cast<char>(0xFF)};
    const std::string top = {
        static_cast<char>(0xFF), static_cast<char>(0xFF), static_cast<char>(0xFF), 0x0F, 0x07, 0x0F};
    EXPECT_EQ(bytes.substr(18, 6), bottom);
    EXPECT_EQ(bytes.substr(18 + 3 * w, 6), top);

    // An empty surface writes the header alone.
    ASSERT_TRUE(loader_.SaveTga(FixedString(path.c_str()), SurfaceInfo{nullptr, 0, 5, 7}));
    EXPECT_EQ(ReadAll(path), (std::string{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 24, 0}));
    FixedString name(path.c_str());
    std::unique_ptr<Image> empty(loader_.LoadTga(name, false, false));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->width, 0);
    EXPECT_EQ(empty->height, 5);
}

TEST_F(ImageLoaderTest, SaveTgaRefusesWhatItCannotDescribe) {
    uint16_t pixel = 0;
    const std::string path = TempPath("refused.tga");
    const SurfaceInfo refused[] = {
        {&pixel, 65536, 1, 65536}, {&pixel, 1, 65536, 1}, {&pixel, -1, 1, 1}, {&pixel, 1, -1, 1}, {nullptr, 1, 1, 1},
    };
    for (const SurfaceInfo& s : refused) {
        EXPECT_FALSE(loader_.SaveTga(FixedString(path.c_str()), s)) << s.width << " x " << s.height;
        EXPECT_FALSE(datatest::Exists(path));
    }
    EXPECT_FALSE(loader_.SaveTga(FixedString(TempPath("no_such_dir/x.tga").c_str()), SurfaceInfo{&pixel, 1, 1, 1}));
}

TEST_F(ImageLoaderTest, ExpandsEachComponentToFullRange) {
    struct Case {
        int32_t format;
        uint16_t pixel;
        Rgb rgb;
    };
    // 5-6-5 white, black and 0x0821 are checked byte for byte in the saved file above.
    const Case cases[] = {
        {0, 0xFFFF, Rgb(255, 255, 255)}, {0, 0x0000, Rgb(0, 0, 0)},   {0, 0x0421, Rgb(15, 15, 15)},
        {0, 0x7C00, Rgb(255, 0, 0)},     {0, 0x03E0, Rgb(0, 255, 0)}, {1, 0x07E0, Rgb(0, 255, 0)},
        {1, 0x0020, Rgb(0, 7, 0)},       {1, 0x001F, Rgb(0, 0, 255)},
    };
    for (const Case& c : cases) {
        loader_.SetPixelFormat(c.format);
        const Rgb got = loader_.Expand16To24(c.pixel);
        EXPECT_EQ((std::vector<int>{got.red, got.green, got.blue}),
                  (std::vector<int>{c.rgb.red, c.rgb.green, c.rgb.blue}))
            << std::hex << c.pixel;
    }
}

// Inputs that cannot be decoded safely yield null (and false into a surface), with
// nothing left allocated and nothing written to the surface.
TEST_F(ImageLoaderTest, RefusesWhatItCannotDecode) {
    const std::string pixels3x2 = Rows24(Picture(3, 2), 3, 2);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"depth 15", Header(3, 2, 15) + pixels3x2},
        {"depth 32", Header(3, 2, 32) + pixels3x2 + pixels3x2},
        {"above the ScratchPad", Header(1000, 481, 24) + std::string(3 * 1000 * 481, 'x')},
        {"65535 x 65535", Header(65535, 65535, 16) + pixels3x2},
        {"short header", Header(3, 2, 24).substr(0, 17)},
        {"empty file", ""},
        {"24-bit pixels one byte short", Header(3, 2, 24) + pixels3x2.substr(1)},
        {"16-bit pixels one byte short", Header(3, 2, 16) + std::string(11, 'x')},
        {"header only", Header(3, 2, 24)},
    };
    const std::string path = TempPath("bad.tga");
    for (const Case& c : cases) {
        WriteAll(path, c.bytes);
        for (int32_t format : {0, 1}) {
            loader_.SetPixelFormat(format);
            for (bool compress : {false, true}) {
                FixedString name(path.c_str());
                EXPECT_EQ(loader_.LoadTga(name, compress, true), nullptr) << c.name;
                EXPECT_STREQ(name.Text(), path.c_str()) << c.name;  // no map was looked for
            }
            GuardedSurface surface(8, 8);
            EXPECT_FALSE(loader_.LoadTgaToSurface(FixedString(path.c_str()), surface.Info())) << c.name;
            EXPECT_EQ(surface.At(0, 0), surface.Fill()) << c.name;
            EXPECT_TRUE(surface.GuardsIntact()) << c.name;
        }
    }
    FixedString missing(TempPath("missing.tga").c_str());
    EXPECT_EQ(loader_.LoadTga(missing, false, false), nullptr);
    EXPECT_FALSE(loader_.LoadTgaToSurface(missing, GuardedSurface(4, 4).Info()));

    // The largest picture the ScratchPad holds is read.
    WriteAll(path, Header(800, 600, 16) + std::string(2 * 800 * 600, '\x11'));
    FixedString name(path.c_str());
    std::unique_ptr<Image> largest(loader_.LoadTga(name, false, false));
    ASSERT_NE(largest, nullptr);
    EXPECT_EQ(largest->pixels[800 * 600 - 1], loader_.pixelFormat == 1 ? 0x2211 : 0x1111);

    // A picture larger than the surface is not written past it.
    WriteAll(path, Header(3, 2, 24) + pixels3x2);
    const int sizes[][2] = {{2, 2}, {3, 1}};
    for (const auto& size : sizes) {
        GuardedSurface small(size[0], size[1]);
        EXPECT_FALSE(loader_.LoadTgaToSurface(FixedString(path.c_str()), small.Info()));
        EXPECT_EQ(small.At(0, 0), small.Fill());
        EXPECT_TRUE(small.GuardsIntact());
    }

    // Without a ScratchPad nothing is decoded.
    delete[] loader_.ScratchPad;
    loader_.ScratchPad = nullptr;
    EXPECT_EQ(loader_.LoadTga(name, false, false), nullptr);
    EXPECT_FALSE(loader_.LoadTgaToSurface(name, GuardedSurface(4, 4).Info()));
    File file(path.c_str(), File::kModeRead);
    EXPECT_EQ(loader_.ReadRawImage(file, 1, 1, false), nullptr);
}

TEST_F(ImageLoaderTest, ReadsRawPixelsFromWhereTheFileStands) {
    const int w = 4, h = 3;
    const std::vector<Rgb> picture = Picture(w, h);
    const std::string path = TempPath("raw.bin");
    const std::string block = Rows24(picture, w, h);
    WriteAll(path, "skip" + block + block);
    for (int32_t format : {0, 1}) {
        loader_.SetPixelFormat(format);
        std::vector<uint16_t> expected;
        for (const Rgb& c : picture) expected.push_back(format == 0 ? To555(c) : To565(c));

        File file(path.c_str(), File::kModeRead);
        ASSERT_EQ(file.SeekFromStart(4), 4);
        std::unique_ptr<Image> image(loader_.ReadRawImage(file, w, h, false));
        ASSERT_NE(image, nullptr);
        EXPECT_FALSE(image->hasMap);
        EXPECT_EQ(image->compressed, 0);
        EXPECT_EQ(Pixels(*image), expected);
        EXPECT_EQ(file.SeekFromCurrent(0), 4 + 3 * w * h);

        GuardedSurface surface(w + 2, h + 1);
        ASSERT_TRUE(loader_.ReadRawToSurface(file, w, h, surface.Info()));
        for (int y = 0; y < surface.Height(); ++y)
            for (int x = 0; x < surface.Width(); ++x)
                EXPECT_EQ(surface.At(x, y), x < w && y < h ? expected[y * w + x] : surface.Fill()) << x << "," << y;
        EXPECT_TRUE(surface.GuardsIntact());

        // The file is used up: a further picture is refused, as are impossible sizes.
        EXPECT_EQ(loader_.ReadRawImage(file, w, h, true), nullptr);
        EXPECT_FALSE(loader_.ReadRawToSurface(file, 1, 1, surface.Info()));
        ASSERT_EQ(file.SeekFromStart(4), 4);
        EXPECT_EQ(loader_.ReadRawImage(file, -1, 3, false), nullptr);
        EXPECT_EQ(loader_.ReadRawImage(file, 3, -1, false), nullptr);
        EXPECT_EQ(loader_.ReadRawImage(file, 481, 1000, false), nullptr);
        EXPECT_EQ(loader_.ReadRawImage(file, 65536 * 2, 65536 * 2, false), nullptr);
        EXPECT_FALSE(loader_.ReadRawToSurface(file, w, h, GuardedSurface(w - 1, h).Info()));

        ASSERT_EQ(file.SeekFromStart(4), 4);
        std::unique_ptr<Image> packed(loader_.ReadRawImage(file, w, h, true));
        ASSERT_NE(packed, nullptr);
        EXPECT_EQ(packed->compressed, 1);
        const std::vector<uint16_t> lle = EncodeLle(expected, w, h, format == 0 ? kMagenta555 : kMagenta565);
        EXPECT_EQ(std::vector<uint16_t>(packed->pixels, packed->pixels + lle.size()), lle);
    }
    File closed(TempPath("absent.bin").c_str(), File::kModeRead);
    EXPECT_EQ(loader_.ReadRawImage(closed, 1, 1, false), nullptr);
}

}  // namespace
