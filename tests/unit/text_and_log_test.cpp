#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/log_core.h"
#include "diag/message_name.h"
#include "glyphs/file.h"
#include "helpers/temp_files.h"
#include "support/fixed_string.h"

namespace {

using Lines = std::vector<std::string>;
using Codes = std::vector<int32_t>;

std::string Text(int n) { return std::string(static_cast<size_t>(n), 'x'); }
FixedString OfLength(int n) { return FixedString(Text(n).c_str(), n); }  // the only way past 254

// What each way in keeps; a number that does not fit is left out whole.
TEST(FixedString, KeepsWithinCapacity) {
    const FixedString made[] = {FixedString(Text(300).c_str()),
                                FixedString() = Text(255).c_str(),
                                FixedString(Text(400).c_str(), 300),
                                OfLength(250).Append("0123456789"),
                                OfLength(248).AppendNumber(int32_t{-12345}),
                                OfLength(249).AppendNumber(int32_t{-12345}),
                                OfLength(249) + uint32_t{123456},
                                OfLength(252) + 1.25};
    Codes lengths;
    for (const FixedString& s : made) lengths.push_back(s.Length());
    EXPECT_EQ(lengths, (Codes{254, 254, 255, 254, 254, 249, 249, 252}));
    EXPECT_STREQ(made[3].LastChars(5), "x0123");
    EXPECT_STREQ((FixedString("n=") + int32_t{-2147483647 - 1} + " " + uint32_t{4294967295u} + " " + 1.0 / 3).Text(),
                 "n=-2147483648 4294967295 0.3333333");
}

// First and last entry, a shared number, a kept misspelling, the fallback.
TEST(WindowMessageName, Names) {
    Lines names;
    for (uint32_t message : {0x0u, 0x8000u, 0x100u, 0xEu, 0x4u, 0xFFFFFFFFu})
        names.push_back(WindowMessageName(message));
    EXPECT_EQ(names, (Lines{"WM_NULL", "WM_APP", "WM_KEYFIRST/WM_KEYDOWN", "WM_GETTEXTLENGHT",
                            "UNKNOWN MESSAGE, id 0x04", "UNKNOWN MESSAGE, id 0xffffffff"}));
}

// The file's bytes, and the latest of the most severe messages shown in the box.
TEST(Log, PrefixedLinesAndTheMostSevere) {
    const std::string path = datatest::TempPath("log.log");
    static Lines boxes;
    const ErrorBoxHook previous = SetErrorBoxHook([](HWND__*, const char* text, const char* caption) {
        boxes.push_back(std::string(caption) + ": " + text);
        return true;
    });
    ASSERT_TRUE(InitErrorMsgAt(path.c_str()));
    const LogLevel levels[] = {LOG_SPAM, LOG_GOSSIP, 6, LOG_INFO, LOG_WARNING, LOG_PANIC, LOG_ERROR, 6};
    for (size_t i = 0; i < std::size(levels); ++i) ErrorMsg(FixedString("m") + int32_t(i), levels[i]);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "m7");
    ShowErrorMsg(nullptr);
    ErrorMsg("warned", LOG_WARNING);
    ShowErrorMsg(nullptr);  // no box below an error, but reset all the same
    EXPECT_STREQ(RememberedErrorMsg().Text(), "No Error");
    StopErrorMsg();
    ErrorMsg("after the stop", LOG_PANIC);
    SetErrorBoxHook(previous);
    EXPECT_EQ(boxes, Lines{"Vorlex Code Emulator: m7"});
    EXPECT_EQ(datatest::ReadAll(path),
              "LOG_INFO: [InitErrorMsg] DEBUG SESSION STARTED\n\nLOG_SPAM: m0\nLOG_GOSSIP: m1\n"
              "LOG_PANIC (UNRECONGNIZED STATE): m2\nLOG_INFO: m3\nLOG_WARNING: m4\nLOG_PANIC: m5\nLOG_ERROR: m6\n"
              "LOG_PANIC (UNRECONGNIZED STATE): m7\n"
              "LOG_WARNING: warned\nLOG_INFO: \n[StopErrorMsg] DEBUG SESSION TERMINATED\n");
}

// Each operation on a file open for writing, for reading, and not open; bytes untranslated.
TEST(File, ResultCodes) {
    const std::string path = datatest::TempPath("file.bin"), bytes("a\r\nb\x1a\0c", 7);
    char buffer[16] = {};
    int32_t received = -1;
    {
        File writer(path.c_str(), File::kModeWrite);
        EXPECT_EQ(Codes({writer.Write(bytes.data(), 7), writer.Read(buffer, 1), writer.Write(buffer, -1)}),
                  Codes({File::kDone, File::kNotWritable, File::kFailed}));
    }
    File reader(path.c_str(), File::kModeRead), missing((path + "x").c_str(), File::kModeRead);
    EXPECT_EQ(Codes({reader.Read(buffer, 16, &received), received, reader.Write("x", 1), reader.SeekFromStart(5),
                     missing.OpenError(), missing.Read(buffer, 1), missing.SeekFromEnd(0)}),
              Codes({File::kDone, 7, File::kNotReadable, 5, File::kFailed, File::kFailed, -1}));
    EXPECT_EQ(std::string(buffer, 7), bytes);
}

}  // namespace
