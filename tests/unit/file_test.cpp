#include "glyphs/file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "data_test_util.h"
#include "support/fixed_string.h"

namespace {

using datatest::ReadAll;
using datatest::TempPath;
using datatest::WriteAll;

std::string Bytes(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(i * 7 + 1);
    return bytes;
}

TEST(File, FailedOpenAnswersEveryOperationWithItsFailureValue) {
    const std::string missing = TempPath("missing.bin");
    File file(missing.c_str(), File::kModeRead);
    EXPECT_EQ(file.Mode(), 0);
    EXPECT_EQ(file.OpenError(), 3);
    char buffer[4] = {};
    int32_t received = 99;
    EXPECT_EQ(file.Read(buffer, 4), 3);
    EXPECT_EQ(file.Read(buffer, 4, &received), 3);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(file.Write(buffer, 4), 3);
    EXPECT_EQ(file.SeekFromStart(0), -1);
    EXPECT_EQ(file.SeekFromCurrent(0), -1);
    EXPECT_EQ(file.SeekFromEnd(0), -1);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_FALSE(datatest::Exists(missing));
}

TEST(File, UnknownModesOpenNothing) {
    const std::string path = TempPath("mode.bin");
    for (int32_t mode : {0, 3, -1, 100}) {
        File file(path.c_str(), mode);
        EXPECT_EQ(file.Mode(), 0) << mode;
        EXPECT_EQ(file.OpenError(), 3) << mode;
        EXPECT_FALSE(datatest::Exists(path)) << mode;
    }
    WriteAll(path, "keep");
    { File file(path.c_str(), 3); }
    EXPECT_EQ(ReadAll(path), "keep");
    File noPath(static_cast<const char*>(nullptr), File::kModeRead);
    EXPECT_EQ(noPath.OpenError(), 3);
}

TEST(File, OpeningForWritingCreatesOrEmptiesTheFile) {
    const std::string path = TempPath("empty_me.bin");
    WriteAll(path, Bytes(1000));
    {
        File file(path.c_str(), File::kModeWrite);
        ASSERT_EQ(file.OpenError(), 0);
        EXPECT_EQ(file.Mode(), 2);
        EXPECT_EQ(file.SeekFromEnd(0), 0);
        EXPECT_EQ(ReadAll(path).size(), 0u);  // before anything is written
        EXPECT_EQ(file.Write("abc", 3), 0);
    }
    EXPECT_EQ(ReadAll(path), "abc");

    const std::string fresh = TempPath("fresh.bin");
    {
        File file(FixedString(fresh.c_str()), File::kModeWrite);
        EXPECT_EQ(file.OpenError(), 0);
    }
    EXPECT_TRUE(datatest::Exists(fresh));
    EXPECT_EQ(ReadAll(fresh).size(), 0u);
}

TEST(File, BytesRoundTripWithoutTranslation) {
    const std::string path = TempPath("binary.bin");
    const std::string bytes = std::string("a\r\nb\nc\x1a\0d\r", 10) + Bytes(300);
    {
        File file(path.c_str(), File::kModeWrite);
        EXPECT_EQ(file.Write(bytes.data(), static_cast<int32_t>(bytes.size())), 0);
        EXPECT_EQ(file.Write(bytes.data(), 0), 0);
    }
    EXPECT_EQ(ReadAll(path), bytes);
    File file(FixedString(path.c_str()), File::kModeRead);
    ASSERT_EQ(file.OpenError(), 0);
    EXPECT_EQ(file.Mode(), 1);
    std::string back(bytes.size(), '?');
    int32_t received = 0;
    EXPECT_EQ(file.Read(&back[0], static_cast<int32_t>(back.size()), &received), 0);
    EXPECT_EQ(received, static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(back, bytes);
}

TEST(File, WrongDirectionAndBadCounts) {
    const std::string path = TempPath("direction.bin");
    WriteAll(path, "12345");
    char buffer[8] = {};
    {
        File reader(path.c_str(), File::kModeRead);
        EXPECT_EQ(reader.Write("x", 1), 1);
        EXPECT_EQ(reader.Read(buffer, -1), 3);
        EXPECT_EQ(reader.Read(nullptr, 4), 3);
    }
    EXPECT_EQ(ReadAll(path), "12345");
    File writer(path.c_str(), File::kModeWrite);
    int32_t received = 7;
    EXPECT_EQ(writer.Read(buffer, 4, &received), 2);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(writer.Write("x", -1), 3);
}

TEST(File, ReadingPastTheEndIsNotAnErrorAndReportsTheCount) {
    const std::string path = TempPath("short.bin");
    WriteAll(path, "12345");
    File file(path.c_str(), File::kModeRead);
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(file.Read(buffer, 12), 0);
    EXPECT_EQ(std::string(buffer, 12), "12345#######");
    int32_t received = -1;
    EXPECT_EQ(file.Read(buffer, 12, &received), 0);
    EXPECT_EQ(received, 0);
    EXPECT_EQ(file.SeekFromStart(3), 3);
    EXPECT_EQ(file.Read(buffer, 12, &received), 0);
    EXPECT_EQ(received, 2);
    EXPECT_EQ(std::string(buffer, 2), "45");
}

TEST(File, SeeksReportThePositionFromTheStart) {
    const std::string path = TempPath("seek.bin");
    const std::string bytes = Bytes(1000);
    WriteAll(path, bytes);
    File file(path.c_str(), File::kModeRead);
    EXPECT_EQ(file.SeekFromEnd(0), 1000);
    EXPECT_EQ(file.SeekFromEnd(-10), 990);
    EXPECT_EQ(file.SeekFromStart(10), 10);
    EXPECT_EQ(file.SeekFromCurrent(5), 15);
    EXPECT_EQ(file.SeekFromCurrent(-20), -1);
    char c = 0;
    EXPECT_EQ(file.SeekFromStart(15), 15);
    EXPECT_EQ(file.Read(&c, 1), 0);
    EXPECT_EQ(c, bytes[15]);
    EXPECT_EQ(file.SeekFromCurrent(0), 16);
}

// After Close the destructor must not close the descriptor again: by then the number
// may belong to another file (the runtime hands out the lowest free one).
TEST(File, CloseThenDestroyClosesTheDescriptorOnce) {
    const std::string first = TempPath("first.bin");
    const std::string second = TempPath("second.bin");
    File* closed = new File(first.c_str(), File::kModeWrite);
    ASSERT_EQ(closed->OpenError(), 0);
    EXPECT_EQ(closed->Close(), 0);
    EXPECT_EQ(closed->Close(), 0);
    EXPECT_EQ(closed->Mode(), 2);  // the mode is left as it was
    EXPECT_EQ(closed->Write("x", 1), 3);
    EXPECT_EQ(closed->SeekFromStart(0), -1);
    File other(second.c_str(), File::kModeWrite);
    ASSERT_EQ(other.OpenError(), 0);
    delete closed;
    EXPECT_EQ(other.Write("still open", 10), 0);
    EXPECT_EQ(other.Close(), 0);
    EXPECT_EQ(ReadAll(second), "still open");
    EXPECT_EQ(ReadAll(first), "");
}

}  // namespace
