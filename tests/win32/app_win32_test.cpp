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

LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char caption[64] = {};
    if (code == HCBT_ACTIVATE && GetWindowTextA(box, caption, sizeof caption) > 0 &&
        std::strcmp(caption, kSettingsCaption) == 0) {
        char text[256] = {};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message's static control
        boxes.emplace_back(text);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

// Resolution, Density and HighlightDensity as stored ("(none)" when missing).
std::string Stored() {
    std::string out;
    for (const char* name : {"Resolution", "Density", "HighlightDensity"}) {
        char data[64] = {};
        DWORD type = 0, size = sizeof data - 1;
        const LSTATUS got = RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name, RRF_RT_ANY, &type, data, &size);
        out += " " + (got != ERROR_SUCCESS ? "(none)"
                      : type == REG_DWORD  ? std::to_string(*reinterpret_cast<DWORD*>(data))
                                           : std::string(data));
    }
    return out.substr(1);
}

void Reset() {  // as a new process has them
    saverState.screenWidth = 800;
    saverState.resolutionIndex = 2;
    saverState.density = 300;
    saverState.highlightDensity = 8;
    std::memset(saverState.resolutionText, 0, sizeof saverState.resolutionText);
}

// Stored values are taken and missing or unusable ones written back; the dialog shows what
// was read, and OK stores what its boxes hold, clamped to the tables' sizes.
TEST(App, SettingsAreReadAndTheDialogStoresClampedValues) {
    HKEY machine = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vorlex Tests", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &machine,
                    nullptr);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
    boxHook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
    HWND window = CreateWindowExA(0, "STATIC", "app test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    for (const int id : {kIdRadio800x600, kIdRadio1024x768, kIdRadio1280x1024, kIdDensityEdit, kIdHighlightEdit})
        CreateWindowExA(0, id < kIdDensityEdit ? "BUTTON" : "EDIT", "",
                        WS_CHILD | (id < kIdDensityEdit ? BS_AUTORADIOBUTTON : 0), 0, 0, 10, 10, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    const struct {
        const char* resolution;      // null: missing
        int64_t density, highlight;  // -1: missing
        int shown;                   // the radio button checked
        int pick;                    // 0: no OK; else the radio picked with the texts below
        const char *density_text, *highlight_text;
        const char* stored;  // Resolution, Density, HighlightDensity afterwards
    } cases[] = {
        {"800x600", 5, 6, kIdRadio800x600, 0, "", "", "800x600 5 6"},
        {"1280x1024", 1000, 250, kIdRadio1280x1024, 0, "", "", "1280x1024 1000 250"},  // taken as stored
        {"1280X1024", 5, 6, kIdRadio1024x768, 0, "", "", "1280X1024 5 6"},             // letter case counts
        {"640x480", -1, 6, kIdRadio1024x768, 0, "", "", "640x480 300 6"},
        {nullptr, 5, -1, kIdRadio1024x768, 0, "", "", " 5 8"},
        {"1280x1024 at 60 hertz", 5, 6, kIdRadio1024x768, 0, "", "", " 5 6"},  // over 20 bytes: rewritten
        {nullptr, -1, -1, kIdRadio1024x768, kIdRadio1280x1024, "1000", "250", "1280x1024 400 100"},
        {"1280x1024", 5, 6, kIdRadio1280x1024, kIdRadio800x600, "400", "100", "800x600 400 100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Reset();
        RegDeleteTreeA(machine, "Software");
        if (c.resolution)
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Resolution", REG_SZ, c.resolution,
                            static_cast<DWORD>(std::strlen(c.resolution)));
        for (const auto& [name, value] : {std::pair{"Density", c.density}, std::pair{"HighlightDensity", c.highlight}})
            if (const DWORD v = static_cast<DWORD>(value); value >= 0)
                RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name, REG_DWORD, &v, sizeof v);
        EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_INITDIALOG, 0, 0), TRUE);
        EXPECT_EQ(IsDlgButtonChecked(window, c.shown), BST_CHECKED);
        if (c.pick != 0) {
            CheckRadioButton(window, kIdRadio800x600, kIdRadio1280x1024, c.pick);
            SetDlgItemTextA(window, kIdDensityEdit, c.density_text);
            SetDlgItemTextA(window, kIdHighlightEdit, c.highlight_text);
            EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_COMMAND, IDOK, 0), TRUE);
        }
        EXPECT_EQ(Stored(), c.stored);
    }
    EXPECT_TRUE(boxes.empty());
    RegDeleteTreeA(machine, "Software");  // no key: nothing stored, one box
    EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_COMMAND, IDOK, 0), TRUE);
    EXPECT_EQ(boxes, std::vector<std::string>{"Unable to open registry key to store values"});
    DestroyWindow(window);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(machine);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vorlex Tests");
    UnhookWindowsHookEx(boxHook);
    Reset();
}

}  // namespace
