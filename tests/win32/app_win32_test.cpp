// Settings and the configuration dialog's procedure: a scratch key stands in for
// HKEY_LOCAL_MACHINE; message boxes are read and dismissed.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/config_dialog_win32.h"
#include "app/saver_state.h"
#include "app/settings_values.h"
#include "app/settings_win32.h"
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

// A stored value as text ("(none)" when missing).
std::string Stored(const char* name) {
    char data[64] = {};
    DWORD type = 0, size = sizeof data - 1;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS)
        return "(none)";
    return type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data)) : data;
}

class App : public ::testing::Test {
protected:
    void SetUp() override {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vorlex Tests", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &machine,
                        nullptr);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
        boxes.clear();
        boxHook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
        Reset();
        window = CreateWindowExA(0, "STATIC", "app test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(machine);
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vorlex Tests");
        UnhookWindowsHookEx(boxHook);
        Reset();
    }
    static void Reset() {  // as a new process has them
        saverState.screenWidth = 800;
        saverState.resolutionIndex = 2;
        saverState.density = 300;
        saverState.highlightDensity = 8;
        std::memset(saverState.resolutionText, 0, sizeof saverState.resolutionText);
    }
    HWND window = nullptr;
    HKEY machine = nullptr;
};

TEST_F(App, SettingsAreReadAndMissingOnesWrittenBack) {
    const struct {
        const char* resolution;      // null: missing
        int64_t density, highlight;  // -1: missing
        int32_t width;
        const char* stored;  // Resolution, Density, HighlightDensity afterwards
    } cases[] = {
        {"800x600", 5, 6, 800, "800x600 5 6"},
        {"1280x1024", 1000, 250, 1280, "1280x1024 1000 250"},  // taken as stored
        {"1280X1024", 5, 6, 1024, "1280X1024 5 6"},            // letter case counts
        {"640x480", -1, 6, 1024, "640x480 300 6"},
        {nullptr, 5, -1, 1024, " 5 8"},
        {"1280x1024 at 60 hertz", 5, 6, 1024, " 5 6"},  // over 20 bytes: rewritten
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resolution ? c.resolution : "(missing)");
        Reset();
        RegDeleteTreeA(machine, "Software");
        if (c.resolution)
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Resolution", REG_SZ, c.resolution,
                            static_cast<DWORD>(std::strlen(c.resolution)));
        for (const auto& [name, value] : {std::pair{"Density", c.density}, std::pair{"HighlightDensity", c.highlight}})
            if (const DWORD v = static_cast<DWORD>(value); value >= 0)
                RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name, REG_DWORD, &v, sizeof v);
        ASSERT_TRUE(LoadSettings(nullptr));
        EXPECT_EQ(Stored("Resolution") + " " + Stored("Density") + " " + Stored("HighlightDensity"), c.stored);
        EXPECT_EQ(saverState.screenWidth, c.width);
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
    EXPECT_EQ(Stored("Resolution") + " " + Stored("Density") + " " + Stored("HighlightDensity"), "1280x1024 400 100");
    EXPECT_TRUE(boxes.empty());
    RegDeleteTreeA(machine, "Software");
    EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_COMMAND, IDOK, 0), TRUE);
    EXPECT_EQ(boxes, std::vector<std::string>{"Unable to open registry key to store values"});
}

}  // namespace
