// Settings, the configuration dialog's procedure and ScreenSaverProc in this process: a
// scratch key stands in for HKEY_LOCAL_MACHINE; message boxes are read and dismissed.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/config_dialog_win32.h"
#include "app/saver_state.h"
#include "app/screen_saver_proc_win32.h"
#include "app/settings_values.h"
#include "app/settings_win32.h"
#include "host/saver_host_win32.h"
#include "win32_test_support.h"

namespace {

std::vector<std::string> boxes;  // texts of the boxes with the settings' caption
HHOOK boxHook = nullptr;

BOOL CALLBACK ReadText(HWND child, LPARAM) {
    char cls[16] = {}, text[256] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (_stricmp(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0) boxes.back() += text;
    return TRUE;
}

LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char caption[64] = {};
    if (code == HCBT_ACTIVATE && GetWindowTextA(box, caption, sizeof caption) > 0 &&
        std::strcmp(caption, kSettingsCaption) == 0) {
        boxes.emplace_back();
        EnumChildWindows(box, ReadText, 0);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

DWORD Stored(const char* name) {
    DWORD value = 0xDEADBEEF, size = sizeof value;
    RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

std::string StoredText() {
    char text[64] = {};
    DWORD size = sizeof text - 1;
    RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Resolution", RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

void Store(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

class App : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vorlex Tests");
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vorlex Tests", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &machine,
                        nullptr);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
        boxes.clear();
        boxHook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
        Reset();
        saved = hostState;
        hostState.preview = true;  // keeps the host's dismissal out of the way
        window = CreateWindowExA(0, "STATIC", "app test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(machine);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vorlex Tests");
        UnhookWindowsHookEx(boxHook);
        hostState = saved;
        Reset();
    }
    static void Reset() {  // as a new process has them
        saverState.screenWidth = 800;
        saverState.resolutionIndex = 2;
        saverState.density = 300;
        saverState.highlightDensity = 8;
        std::memset(saverState.resolutionText, 0, sizeof saverState.resolutionText);
        saverState.running = 1;
        saverState.active = 0;
        saverState.threadEnded = 0;
    }
    HWND window = nullptr;
    HKEY machine = nullptr;
    HostState saved;
};

TEST_F(App, SettingsAreReadAndMissingOnesWrittenBack) {
    const struct {
        const char* resolution;      // null: missing
        int64_t density, highlight;  // -1: missing
        const char* resolutionAfter;
        int32_t width;
        DWORD densityAfter, highlightAfter;
    } cases[] = {
        {"800x600", 5, 6, "800x600", 800, 5, 6},
        {"1280x1024", 1000, 250, "1280x1024", 1280, 1000, 250},  // taken as stored
        {"1280X1024", 5, 6, "1280X1024", 1024, 5, 6},            // letter case counts
        {"640x480", -1, 6, "640x480", 1024, 300, 6},
        {nullptr, 5, -1, "", 1024, 5, 8},
        {"1280x1024 at 60 hertz", 5, 6, "", 1024, 5, 6},  // over 20 bytes: rewritten
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resolution ? c.resolution : "(missing)");
        Reset();
        RegDeleteTreeA(machine, "Software");
        if (c.resolution) Store("Resolution", REG_SZ, c.resolution, static_cast<DWORD>(std::strlen(c.resolution)));
        for (const auto& [name, value] : {std::pair{"Density", c.density}, std::pair{"HighlightDensity", c.highlight}})
            if (const DWORD v = static_cast<DWORD>(value); value >= 0) Store(name, REG_DWORD, &v, sizeof v);
        ASSERT_TRUE(LoadSettings(nullptr));
        EXPECT_EQ(StoredText(), c.resolutionAfter);
        EXPECT_EQ(saverState.screenWidth, c.width);
        EXPECT_EQ(saverState.density, c.densityAfter);
        EXPECT_EQ(Stored("Density"), c.densityAfter);
        EXPECT_EQ(static_cast<DWORD>(saverState.highlightDensity), c.highlightAfter);
        EXPECT_EQ(Stored("HighlightDensity"), c.highlightAfter);
    }
    EXPECT_TRUE(boxes.empty());
}

// OK stores what the boxes hold, clamped to the tables' sizes; no key, no store, one box.
TEST_F(App, DialogStoresClampedValues) {
    for (const int id : {kIdRadio800x600, kIdRadio1024x768, kIdRadio1280x1024, kIdDensityEdit, kIdHighlightEdit})
        CreateWindowExA(0, id < kIdDensityEdit ? "BUTTON" : "EDIT", "",
                        WS_CHILD | (id < kIdDensityEdit ? BS_AUTORADIOBUTTON : 0), 0, 0, 10, 10, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_INITDIALOG, 0, 0), TRUE);
    EXPECT_EQ(IsDlgButtonChecked(window, kIdRadio1024x768), BST_CHECKED) << "nothing stored yet";
    CheckDlgButton(window, kIdRadio1024x768, BST_UNCHECKED);
    CheckDlgButton(window, kIdRadio1280x1024, BST_CHECKED);
    SetDlgItemTextA(window, kIdDensityEdit, "1000");
    SetDlgItemTextA(window, kIdHighlightEdit, "250");
    EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_COMMAND, IDOK, 0), TRUE);
    EXPECT_EQ(StoredText(), "1280x1024");
    EXPECT_EQ(Stored("Density"), 400u);
    EXPECT_EQ(Stored("HighlightDensity"), 100u);
    EXPECT_TRUE(boxes.empty());
    RegDeleteTreeA(machine, "Software");
    EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_COMMAND, IDOK, 0), TRUE);
    EXPECT_EQ(boxes, std::vector<std::string>{"Unable to open registry key to store values"});
}

TEST_F(App, PauseResumeAndDestroy) {
    const struct {
        UINT message;
        WPARAM wParam;
        int32_t before, after;
        const char* line;
    } cases[] = {
        {WM_ACTIVATE, WA_INACTIVE, 1, 0, "LOG_INFO: [STATE] WM_ACTIVE: Deactivated"},
        {WM_ACTIVATE, WA_CLICKACTIVE, 0, 1, "LOG_INFO: [STATE] WM_ACTIVE: Activated"},
        {WM_ENABLE, FALSE, 1, 0, "LOG_INFO: [STATE] WM_ENABLE: Deactivated"},
        {WM_ACTIVATEAPP, TRUE, 0, 1, "LOG_INFO: [STATE] WM_ACTIVATEAPP: Activated"},
        {WM_DESTROY, 0, 1, 0, "LOG_GOSSIP: [STATE] WM_DESTROY detected"},  // the thread never started
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        win32test::LogCapture log;
        saverState.active = c.before;
        ScreenSaverProc(window, c.message, c.wParam, 0);
        EXPECT_EQ(saverState.active.load(), c.after);
        EXPECT_NE(log.Stop().find(std::string("\n") + c.line + "\n"), std::string::npos);
    }
    EXPECT_EQ(saverState.running.load(), 0);
}

}  // namespace
