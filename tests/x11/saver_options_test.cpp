#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "x11/saver_options.h"

namespace {

std::string Attribute(const std::string& tag, const std::string& name) {
    std::smatch m;
    return std::regex_search(tag, m, std::regex("\\b" + name + "=\"([^\"]*)\"")) ? m[1].str() : std::string();
}

// Words of the command XScreenSaver runs, with % replaced by value.
std::vector<std::string> Words(const std::string& command, const std::string& value) {
    std::vector<std::string> words{"vorlex"};
    const std::regex word("\\S+");
    for (auto it = std::sregex_iterator(command.begin(), command.end(), word); it != std::sregex_iterator(); ++it)
        words.push_back(it->str() == "%" ? value : it->str());
    return words;
}

ParseResult Parse(const std::vector<std::string>& words, SaverOptions& options, std::string& error) {
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    return ParseSaverOptions(static_cast<int>(argv.size()), argv.data(), nullptr, options, error);
}

auto Taken(const SaverOptions& o) { return std::tie(o.mode, o.density, o.highlight, o.delayUsec, o.showFps); }

}  // namespace

// Every control of the settings description at both ends of its range (an inverted slider
// passes the same range, mirrored), on the description's own command line.
TEST(SaverOptions, TakesEveryControlOfTheSettingsDescription) {
    std::ifstream in(VORLEX_SETTINGS_XML);
    const std::string xml{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::smatch command;
    ASSERT_TRUE(std::regex_search(xml, command, std::regex("<command arg=\"([^\"]*)\"")));
    const std::regex control("<(number|boolean)\\b[^>]*>");
    int controls = 0;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), control); it != std::sregex_iterator(); ++it) {
        const std::string tag = it->str();
        SCOPED_TRACE(tag);
        ++controls;
        const bool number = (*it)[1] == "number";
        const std::string arg = command[1].str() + " " + Attribute(tag, number ? "arg" : "arg-set");
        SaverOptions base, low, high;
        std::string error;
        ASSERT_EQ(Parse(Words(command[1], ""), base, error), ParseResult::kRun) << error;
        ASSERT_EQ(Parse(Words(arg, Attribute(tag, "low")), low, error), ParseResult::kRun) << error;
        ASSERT_EQ(Parse(Words(arg, Attribute(tag, "high")), high, error), ParseResult::kRun) << error;
        EXPECT_NE(Taken(low), Taken(number ? high : base));
    }
    EXPECT_GE(controls, 4);
}
