#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/render_options.h"

namespace {

struct Parsed {
    ParseResult result;
    RenderOptions options;
    std::string error;
};

Parsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vorlex-render");
    Parsed p;
    p.result = ParseRenderOptions(static_cast<int>(args.size()), args.data(), p.options, p.error);
    return p;
}

TEST(RenderOptions, DefaultsAreTheSaversFirstRunSettings) {
    const Parsed p = Parse({});
    ASSERT_EQ(p.result, ParseResult::kRun);
    EXPECT_EQ(p.options.width, 1024);
    EXPECT_EQ(p.options.height, 768);
    EXPECT_EQ(p.options.density, 300);
    EXPECT_EQ(p.options.highlight, 8);
    EXPECT_EQ(p.options.layout, kColor565);
    EXPECT_EQ(p.options.seed, 1u);
    EXPECT_TRUE(p.options.glyphPath.empty());
    // With no output named the last frame goes somewhere a person finds it.
    EXPECT_EQ(p.options.pngPath, "rain.png");
    EXPECT_TRUE(p.options.frameDir.empty());
}

TEST(RenderOptions, LongShortAndInlineFormsSetTheSameFields) {
    for (const auto& args : std::vector<std::vector<const char*>>{
             {"--glyphs", "g.ani",  "--resolution", "800x600",  "--density", "0",        "--highlight",
              "100",      "--seed", "4294967295",   "--frames", "100000",    "--layout", "555",
              "--output", "dir",    "--png",        "p.png",    "--gif",     "a.gif"},
             {"-g", "g.ani",  "-r", "800x600", "-d", "0",   "-H", "100",   "-s", "4294967295",
              "-n", "100000", "-l", "555",     "-o", "dir", "-p", "p.png", "-a", "a.gif"},
             {"--glyphs=g.ani", "--resolution=800x600", "--density=0", "--highlight=100", "--seed=4294967295",
              "--frames=100000", "--layout=555", "--output=dir", "--png=p.png", "--gif=a.gif"}}) {
        const Parsed p = Parse(args);
        ASSERT_EQ(p.result, ParseResult::kRun) << p.error;
        EXPECT_EQ(p.options.glyphPath, "g.ani");
        EXPECT_EQ(p.options.width, 800);
        EXPECT_EQ(p.options.height, 600);
        EXPECT_EQ(p.options.density, 0);
        EXPECT_EQ(p.options.highlight, 100);
        EXPECT_EQ(p.options.seed, 4294967295u);
        EXPECT_EQ(p.options.frames, 100000);
        EXPECT_EQ(p.options.layout, kColor555);
        EXPECT_EQ(p.options.frameDir, "dir");
        EXPECT_EQ(p.options.pngPath, "p.png");
        EXPECT_EQ(p.options.gifPath, "a.gif");
    }
}

TEST(RenderOptions, NamingAnyOutputDropsTheDefaultPicture) {
    EXPECT_TRUE(Parse({"-o", "frames"}).options.pngPath.empty());
    EXPECT_TRUE(Parse({"-a", "rain.gif"}).options.pngPath.empty());
}

TEST(RenderOptions, LaterOptionsWin) {
    const Parsed p = Parse({"-d", "10", "--density=20", "-l", "555", "-l", "565"});
    EXPECT_EQ(p.options.density, 20);
    EXPECT_EQ(p.options.layout, kColor565);
}

TEST(RenderOptions, HelpStopsParsingEvenAfterOtherOptions) {
    EXPECT_EQ(Parse({"--help"}).result, ParseResult::kHelp);
    EXPECT_EQ(Parse({"-d", "5", "-h", "--bogus"}).result, ParseResult::kHelp);
}

TEST(RenderOptions, RejectsBadInputWithAMessageNamingIt) {
    struct Case {
        std::vector<const char*> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x", "1"}, "unknown option '-x'"},
        {{"rain.png"}, "unknown option 'rain.png'"},
        {{"--density"}, "option --density needs a value"},
        {{"-d"}, "option -d needs a value"},
        {{"--png="}, "option --png needs a value"},
        {{"-d", "401"}, "--density must be a whole number from 0 to 400, not '401'"},
        {{"-d", "-1"}, "--density must be a whole number from 0 to 400, not '-1'"},
        {{"-d", "+5"}, "not '+5'"},
        {{"-d", " 5"}, "not ' 5'"},
        {{"-d", "5x"}, "not '5x'"},
        {{"-d", "99999999999"}, "not '99999999999'"},
        {{"-H", "101"}, "--highlight must be a whole number from 0 to 100, not '101'"},
        {{"-n", "0"}, "--frames must be a whole number from 1 to 100000, not '0'"},
        {{"-n", "100001"}, "not '100001'"},
        {{"-s", "4294967296"}, "--seed must be a whole number from 0 to 4294967295, not '4294967296'"},
        {{"-l", "16"}, "--layout must be 555 or 565, not '16'"},
        {{"-r", "1024"}, "--resolution must be 800x600, 1024x768, 1280x1024 or WIDTHxHEIGHT"},
        {{"-r", "0x600"}, "not '0x600'"},
        {{"-r", "8193x10"}, "not '8193x10'"},
        {{"-r", "1024X768"}, "not '1024X768'"},
        {{"-r", "x768"}, "not 'x768'"},
        {{"-r", "1024x"}, "not '1024x'"},
        {{"-r", "10x10x10"}, "not '10x10x10'"},
    };
    for (const Case& c : cases) {
        const Parsed p = Parse(c.args);
        EXPECT_EQ(p.result, ParseResult::kError) << c.args[0];
        EXPECT_NE(p.error.find(c.message), std::string::npos) << p.error;
    }
}

TEST(RenderOptions, ResolutionsInRange) {
    struct Case {
        const char* text;
        int width, height;
    };
    for (const Case& c : {Case{"800x600", 800, 600}, Case{"1024x768", 1024, 768}, Case{"1280x1024", 1280, 1024},
                          Case{"1x1", 1, 1}, Case{"8192x8192", 8192, 8192}, Case{"0640x0480", 640, 480}}) {
        int w = 0, h = 0;
        EXPECT_TRUE(ParseResolution(c.text, w, h)) << c.text;
        EXPECT_EQ(w, c.width) << c.text;
        EXPECT_EQ(h, c.height) << c.text;
    }
}

TEST(RenderOptions, UsageNamesEveryOption) {
    const std::string usage = RenderUsage();
    for (const char* name : {"--glyphs", "--resolution", "--density", "--highlight", "--seed", "--frames", "--layout",
                             "--output", "--png", "--gif", "--help"})
        EXPECT_NE(usage.find(name), std::string::npos) << name;
}

}  // namespace
