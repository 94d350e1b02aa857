#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "data_test_util.h"
#include "diag/log_core.h"

namespace {

using datatest::ReadAll;
using datatest::TempPath;

const std::string kStart = "LOG_INFO: [InitErrorMsg] DEBUG SESSION STARTED\n\n";
const std::string kStop = "LOG_INFO: \n[StopErrorMsg] DEBUG SESSION TERMINATED\n";

struct BoxCall {
    HWND__* owner;
    std::string text;
    std::string caption;
};
std::vector<BoxCall> boxCalls;
bool boxAnswer = true;

bool RecordBox(HWND__* owner, const char* text, const char* caption) {
    boxCalls.push_back({owner, text, caption});
    return boxAnswer;
}

class LogTest : public testing::Test {
protected:
    void SetUp() override {
        boxCalls.clear();
        boxAnswer = true;
        previousHook_ = SetErrorBoxHook(RecordBox);
        path_ = TempPath("log_test.log");
        ASSERT_TRUE(InitErrorMsgAt(path_.c_str()));
    }
    void TearDown() override {
        StopErrorMsg();
        SetErrorBoxHook(previousHook_);
        datatest::Remove(path_);
    }
    // The whole file after stopping the log.
    std::string StoppedFile() {
        StopErrorMsg();
        return ReadAll(path_);
    }

    std::string path_;
    ErrorBoxHook previousHook_ = nullptr;
};

TEST_F(LogTest, FreshLogHoldsTheStartLineOnly) {
    EXPECT_EQ(ReadAll(path_), kStart);
    EXPECT_TRUE(ErrorMsgStarted());
    EXPECT_EQ(MostSevereLevel(), LOG_INFO);
}

TEST_F(LogTest, EveryLevelGetsItsPrefixAndOneLineFeed) {
    struct Case {
        LogLevel level;
        const char* prefix;
    };
    const Case cases[] = {
        {LOG_SPAM, "LOG_SPAM: "},
        {LOG_GOSSIP, "LOG_GOSSIP: "},
        {LOG_INFO, "LOG_INFO: "},
        {LOG_WARNING, "LOG_WARNING: "},
        {LOG_ERROR, "LOG_ERROR: "},
        {LOG_PANIC, "LOG_PANIC: "},
        {6, "LOG_PANIC (UNRECONGNIZED STATE): "},
        {0xFFFFFFFFu, "LOG_PANIC (UNRECONGNIZED STATE): "},
    };
    std::string expected = kStart;
    for (const Case& c : cases) {
        ErrorMsg("[Test] message", c.level);
        expected += std::string(c.prefix) + "[Test] message\n";
    }
    ErrorMsg(FixedString("[Test] as string"), LOG_WARNING);
    expected += "LOG_WARNING: [Test] as string\n";
    ErrorMsg("", LOG_INFO);
    expected += "LOG_INFO: \n";
    ErrorMsg("two\nlines", LOG_GOSSIP);
    expected += "LOG_GOSSIP: two\nlines\n";
    EXPECT_EQ(StoppedFile(), expected + kStop);
}

TEST_F(LogTest, StoppedLogWritesAndRemembersNothing) {
    ErrorMsg("[Test] last", LOG_WARNING);
    const std::string file = StoppedFile();
    EXPECT_EQ(file, kStart + "LOG_WARNING: [Test] last\n" + kStop);
    EXPECT_FALSE(ErrorMsgStarted());
    ErrorMsg("[Test] after stop", LOG_PANIC);
    ErrorMsg(FixedString("[Test] after stop"), LOG_PANIC);
    EXPECT_EQ(ReadAll(path_), file);
    EXPECT_EQ(MostSevereLevel(), LOG_WARNING);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[Test] last");
    ShowErrorMsg(nullptr);
    EXPECT_TRUE(boxCalls.empty());
}

TEST_F(LogTest, RemembersTheLatestOfTheMostSevere) {
    ErrorMsg("[A] first error", LOG_ERROR);
    ErrorMsg("[B] warning", LOG_WARNING);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[A] first error");
    ErrorMsg("[C] second error", LOG_ERROR);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[C] second error");
    ErrorMsg("[D] info", LOG_INFO);
    EXPECT_EQ(MostSevereLevel(), LOG_ERROR);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[C] second error");
    ErrorMsg("[E] panic", LOG_PANIC);
    ErrorMsg(FixedString("[F] unknown level"), 7);
    ErrorMsg("[G] panic again", LOG_PANIC);
    EXPECT_EQ(MostSevereLevel(), 7u);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[F] unknown level");
    ShowErrorMsg(nullptr);
    ASSERT_EQ(boxCalls.size(), 1u);
    EXPECT_EQ(boxCalls[0].text, "[F] unknown level");
}

TEST_F(LogTest, RememberedPlainTextIsCutTo254AndTheFileGetsItWhole) {
    const std::string longText(300, 'm');
    ErrorMsg(longText.c_str(), LOG_ERROR);
    EXPECT_EQ(RememberedErrorMsg().Length(), 254);
    const FixedString full(longText.c_str(), 255);
    ErrorMsg(full, LOG_ERROR);
    EXPECT_EQ(RememberedErrorMsg().Length(), 255);
    EXPECT_EQ(StoppedFile(),
              kStart + "LOG_ERROR: " + longText + "\n" + "LOG_ERROR: " + longText.substr(0, 255) + "\n" + kStop);
}

TEST_F(LogTest, ShowErrorMsgShowsErrorsOnceAndResets) {
    ErrorMsg("[Test] panic", LOG_PANIC);
    HWND__* owner = reinterpret_cast<HWND__*>(0x1234);
    ShowErrorMsg(owner);
    ASSERT_EQ(boxCalls.size(), 1u);
    EXPECT_EQ(boxCalls[0].owner, owner);
    EXPECT_EQ(boxCalls[0].text, "[Test] panic");
    EXPECT_EQ(boxCalls[0].caption, "Vorlex Code Emulator");
    EXPECT_EQ(MostSevereLevel(), 0u);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "No Error");
    ShowErrorMsg(owner);
    EXPECT_EQ(boxCalls.size(), 1u);
    // After the reset a lower level is remembered again.
    ErrorMsg("[Test] spam", LOG_SPAM);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[Test] spam");
}

TEST_F(LogTest, WarningsShowNoBoxButAreReset) {
    ErrorMsg("[Test] warning", LOG_WARNING);
    ShowErrorMsg(nullptr);
    EXPECT_TRUE(boxCalls.empty());
    EXPECT_EQ(MostSevereLevel(), 0u);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "No Error");
}

TEST_F(LogTest, AFailedBoxIsLoggedButNotRemembered) {
    boxAnswer = false;
    ErrorMsg("[Test] error", LOG_ERROR);
    ShowErrorMsg(nullptr);
    EXPECT_EQ(boxCalls.size(), 1u);
    EXPECT_EQ(MostSevereLevel(), 0u);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "No Error");
    // Without any box at all the failure is logged the same way.
    SetErrorBoxHook(nullptr);
    ErrorMsg("[Test] error 2", LOG_ERROR);
    ShowErrorMsg(nullptr);
    EXPECT_EQ(StoppedFile(), kStart + "LOG_ERROR: [Test] error\n" +
                                 "LOG_ERROR: [ShowErrorMsg] Unable to display error message\n" +
                                 "LOG_ERROR: [Test] error 2\n" +
                                 "LOG_ERROR: [ShowErrorMsg] Unable to display error message\n" + kStop);
}

TEST_F(LogTest, RestartEmptiesTheFileAndResetsTheMessage) {
    ErrorMsg("[Test] error", LOG_ERROR);
    datatest::WriteAll(path_, std::string(1000, 'x'));
    ASSERT_TRUE(InitErrorMsgAt(path_.c_str()));  // also closes the earlier file
    EXPECT_EQ(ReadAll(path_), kStart);
    EXPECT_EQ(MostSevereLevel(), LOG_INFO);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "[InitErrorMsg] DEBUG SESSION STARTED\n");
}

TEST_F(LogTest, FailedOpenLeavesTheLogSilent) {
    StopErrorMsg();
    const std::string badPath = path_ + ".missing_dir/x.log";
    EXPECT_FALSE(InitErrorMsgAt(badPath.c_str()));
    EXPECT_FALSE(ErrorMsgStarted());
    EXPECT_EQ(MostSevereLevel(), 0u);
    EXPECT_STREQ(RememberedErrorMsg().Text(), "No Error");
    ErrorMsg("[Test] lost", LOG_PANIC);
    EXPECT_EQ(MostSevereLevel(), 0u);
    ShowErrorMsg(nullptr);
    EXPECT_TRUE(boxCalls.empty());
    EXPECT_FALSE(InitErrorMsgAt(nullptr));
}

TEST(ErrorMsgPath, DirectoryNameAndCapacity) {
    EXPECT_STREQ(ErrorMsgPath("C:\\WINDOWS", true).Text(), "C:\\WINDOWS\\vorlexcode_fs.log");
    EXPECT_STREQ(ErrorMsgPath("C:\\WINDOWS", false).Text(), "C:\\WINDOWS\\vorlexcode.log");
    const std::string longDir(250, 'd');
    const FixedString cut = ErrorMsgPath(longDir.c_str(), true);
    EXPECT_EQ(cut.Length(), 254);
    EXPECT_EQ(std::string(cut.Text()), longDir + "\\vor");
    EXPECT_EQ(ErrorMsgPath(std::string(300, 'd').c_str(), false).Length(), 254);
}

// Two threads log long lines while a third reads the remembered message: every line
// must be whole, and the remembered text must always be one of the messages.
TEST_F(LogTest, ConcurrentLinesNeverInterleaveOrTear) {
    const std::string a = "[ThreadA] " + std::string(200, 'a');
    const std::string b = "[ThreadB] " + std::string(200, 'b');
    constexpr int kLines = 2000;
    std::atomic<bool> writing{true};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (writing) {
            const std::string seen = RememberedErrorMsg().Text();
            if (seen != a && seen != b && seen != "[InitErrorMsg] DEBUG SESSION STARTED\n") ++torn;
        }
    });
    std::thread first([&] {
        for (int i = 0; i < kLines; ++i) ErrorMsg(a.c_str(), LOG_ERROR);
    });
    std::thread second([&] {
        const FixedString text(b.c_str());
        for (int i = 0; i < kLines; ++i) ErrorMsg(text, LOG_ERROR);
    });
    first.join();
    second.join();
    writing = false;
    reader.join();
    EXPECT_EQ(torn, 0);

    std::istringstream file(StoppedFile());
    std::string line;
    int countA = 0;
    int countB = 0;
    int other = 0;
    while (std::getline(file, line)) {
        if (line == "LOG_ERROR: " + a) {
            ++countA;
        } else if (line == "LOG_ERROR: " + b) {
            ++countB;
        } else {
            ++other;
        }
    }
    EXPECT_EQ(countA, kLines);
    EXPECT_EQ(countB, kLines);
    EXPECT_EQ(other, 4);  // start line, its empty line, the stop prefix, the stop words
}

}  // namespace
