// The Win32 part of the debug log: the Windows directory, the box hook and EnumChildProc.

#include "diag/log_win32.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "diag/log_core.h"

namespace {

const std::string kStart = "LOG_INFO: [InitErrorMsg] DEBUG SESSION STARTED\n\n";
const std::string kStop = "LOG_INFO: \n[StopErrorMsg] DEBUG SESSION TERMINATED\n";

std::string WindowsLogPath(bool fullscreen) {
    char directory[1024];
    GetWindowsDirectoryA(directory, sizeof directory);
    return std::string(directory) + (fullscreen ? "\\vorlexcode_fs.log" : "\\vorlexcode.log");
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool AcceptBox(HWND__*, const char*, const char*) { return true; }

class LogWin32Test : public testing::Test {
protected:
    void SetUp() override { previous_ = SetErrorBoxHook(AcceptBox); }
    void TearDown() override {
        StopErrorMsg();
        SetErrorBoxHook(previous_);
    }
    ErrorBoxHook previous_ = nullptr;
};

TEST_F(LogWin32Test, LogFilesLieInTheWindowsDirectoryAndStartEmpty) {
    for (bool fullscreen : {true, false}) {
        const std::string path = WindowsLogPath(fullscreen);
        {
            std::ofstream old(path, std::ios::binary);
            old << std::string(1000, 'x');
        }
        ASSERT_TRUE(InitErrorMsg(fullscreen));
        ErrorMsg("[Test] line", LOG_WARNING);
        StopErrorMsg();
        EXPECT_EQ(ReadAll(path), kStart + "LOG_WARNING: [Test] line\n" + kStop) << path;
        DeleteFileA(path.c_str());
    }
}

TEST_F(LogWin32Test, ATestHookStaysAndWithoutOneTheRealBoxIsInstalled) {
    ASSERT_TRUE(InitErrorMsg(false));
    EXPECT_EQ(GetErrorBoxHook(), &AcceptBox);
    StopErrorMsg();
    SetErrorBoxHook(nullptr);
    ASSERT_TRUE(InitErrorMsg(false));
    EXPECT_NE(GetErrorBoxHook(), nullptr);
    EXPECT_NE(GetErrorBoxHook(), &AcceptBox);
    DeleteFileA(WindowsLogPath(false).c_str());
}

TEST_F(LogWin32Test, EnumChildProcLogsEachTitle) {
    ASSERT_TRUE(InitErrorMsg(false));
    HWND parent = CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    const std::string longTitle(300, 't');
    CreateWindowExA(0, "STATIC", "first child", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    CreateWindowExA(0, "STATIC", longTitle.c_str(), WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    EnumChildWindows(parent, EnumChildProc, 0);
    EXPECT_EQ(EnumChildProc(nullptr, 0), FALSE);
    EXPECT_EQ(EnumChildProc(parent, 12345), TRUE);
    DestroyWindow(parent);
    StopErrorMsg();
    const std::string prefix = "LOG_INFO: [EnumChildProc] Found window title ";
    // The line is a FixedString: tag and title together keep 254 characters.
    EXPECT_EQ(ReadAll(WindowsLogPath(false)), kStart + prefix + "first child\n" + prefix +
                                                  longTitle.substr(0, 254 - 35) + "\n" + prefix + "parent\n" + kStop);
    DeleteFileA(WindowsLogPath(false).c_str());
}

}  // namespace
