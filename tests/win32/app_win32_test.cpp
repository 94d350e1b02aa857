// Settings and the dialog's procedure; a scratch key stands in for HKEY_LOCAL_MACHINE, boxes are read and dismissed.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/config_dialog_win32.h"
#include "app/render_thread_win32.h"
#include "app/saver_state.h"
#include "app/screen_saver_proc_win32.h"
#include "app/settings_values.h"
#include "app/settings_win32.h"
#include "host/saver_host_win32.h"
#include "win32_test_support.h"

#include <process.h>
#include <sddl.h>

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
    saverState.resolutionIndex = 2;
    saverState.density = 300;
    saverState.highlightDensity = 8;
    std::memset(saverState.resolutionText, 0, sizeof saverState.resolutionText);
}

// Stored values are taken and missing or unusable ones written back; the dialog shows what
// was read, and OK stores what its boxes hold, clamped to the tables' sizes. A key that may
// only be read ('r'), or none that may be created ('n'), is read or left at the defaults;
// OK then says why nothing was stored.
TEST(App, SettingsAreReadAndTheDialogStoresClampedValues) {
    HKEY machine = nullptr, bare = nullptr;  // bare: volatile, so no lasting key can be made under it
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Vorlex Tests", &machine);
    RegCreateKeyExA(machine, "bare", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &bare, nullptr);
    boxHook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
    HWND window = CreateWindowExA(0, "#32770", "app test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    for (const int id : {kIdRadio800x600, kIdRadio1024x768, kIdRadio1280x1024, kIdDensityEdit, kIdHighlightEdit})
        CreateWindowExA(0, id < kIdDensityEdit ? "BUTTON" : "EDIT", "",
                        WS_CHILD | (id < kIdDensityEdit ? BS_AUTORADIOBUTTON : 0), 0, 0, 10, 10, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    using S = SettingsSource;
    const std::string admin = "Administrator rights are needed to change these settings.";
    const struct {
        const char* resolution;      // null: missing
        int64_t density, highlight;  // -1: missing
        int shown;                   // the radio button checked
        int pick;                    // 0: no OK; else the radio picked with the texts below
        const char *density_text, *highlight_text;
        const char* stored;  // Resolution, Density, HighlightDensity afterwards
        char access = 'w';
        S source = S::kWritable;
        std::string box = "";  // shown after OK; the dialog ends unless write access was refused
    } cases[] = {
        {"800x600", 5, 6, kIdRadio800x600, 0, "", "", "800x600 5 6"},
        {"1280x1024", 1000, 250, kIdRadio1280x1024, 0, "", "", "1280x1024 1000 250"},  // taken as stored
        {"1280X1024", 5, 6, kIdRadio1024x768, 0, "", "", "1280X1024 5 6"},             // letter case counts
        {"640x480", -1, 6, kIdRadio1024x768, 0, "", "", "640x480 300 6"},
        {nullptr, 5, -1, kIdRadio1024x768, 0, "", "", " 5 8"},
        {"1280x1024 at 60 hertz", 5, 6, kIdRadio1024x768, 0, "", "", " 5 6"},  // over 20 bytes: rewritten
        {nullptr, -1, -1, kIdRadio1024x768, kIdRadio1280x1024, "1000", "250", "1280x1024 400 100"},
        {"1280x1024", 5, 6, kIdRadio1280x1024, kIdRadio800x600, "400", "100", "800x600 400 100"},
        {"1280x1024", 5, 6, kIdRadio1280x1024, kIdRadio800x600, "7", "7", "1280x1024 5 6", 'r', S::kReadOnly, admin},
        {nullptr, 5, -1, kIdRadio1024x768, 0, "", "", "(none) 5 (none)", 'r', S::kReadOnly},
        {nullptr, -1, -1, kIdRadio1024x768, kIdRadio800x600, "7", "7", "(none) (none) (none)", 'n', S::kDefaults,
         "Unable to open registry key to store values"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Reset();
        RegDeleteTreeA(machine, "Software");
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, c.access == 'n' ? bare : machine);
        if (c.resolution)
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Resolution", REG_SZ, c.resolution,
                            static_cast<DWORD>(std::strlen(c.resolution)));
        for (const auto& [name, value] : {std::pair{"Density", c.density}, std::pair{"HighlightDensity", c.highlight}})
            if (const DWORD v = static_cast<DWORD>(value); value >= 0)
                RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name, REG_DWORD, &v, sizeof v);
        if (HKEY key = nullptr; c.access == 'r') {  // read and delete only
            PSECURITY_DESCRIPTOR readOnly = nullptr;
            ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                 nullptr);
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, WRITE_DAC, &key);
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly);
            RegCloseKey(key);
            LocalFree(readOnly);
        }
        EXPECT_EQ(LoadSettings(window), c.source);
        ShowWindow(window, SW_SHOWNA);
        EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_INITDIALOG, 0, 0), TRUE);
        EXPECT_EQ(IsDlgButtonChecked(window, c.shown), BST_CHECKED);
        if (c.pick != 0) {
            CheckRadioButton(window, kIdRadio800x600, kIdRadio1280x1024, c.pick);
            SetDlgItemTextA(window, kIdDensityEdit, c.density_text);
            SetDlgItemTextA(window, kIdHighlightEdit, c.highlight_text);
            EXPECT_EQ(ScreenSaverConfigureDialog(window, WM_COMMAND, IDOK, 0), TRUE);
            EXPECT_EQ(IsWindowVisible(window) != FALSE, c.box == admin) << "open after OK";
            EXPECT_EQ(GetDlgItemInt(window, kIdDensityEdit, nullptr, FALSE), ParseDialogNumber(c.density_text));
        }
        EXPECT_EQ(Stored(), c.stored);
        EXPECT_EQ(boxes, c.box.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.box});
        boxes.clear();
    }
    DestroyWindow(window);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(machine);
    RegCloseKey(bare);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vorlex Tests");
    UnhookWindowsHookEx(boxHook);
    Reset();
}

// Each message in turn stops the render thread's frames or lets them flow again.
TEST(App, MessagesPauseAndResumeFrames) {
    win32test::Rig r(true);
    hostState.preview = true;  // no dismissal rules
    saverState.displayManager = r.m.get();
    saverState.running = saverState.active = 1, saverState.threadEnded = 0;
    ASSERT_NE(_beginthread(DrawVorlex, 0, nullptr), static_cast<uintptr_t>(-1));
    const struct {
        UINT message;
        WPARAM wParam;
        bool frames;
    } rows[] = {
        {WM_ACTIVATE, WA_INACTIVE, false},
        {WM_ACTIVATE, MAKEWPARAM(WA_CLICKACTIVE, 1), true},
        {WM_ENABLE, 0, false},
        {WM_ENABLE, 2, true},
        {WM_ACTIVATEAPP, 0, false},
        {WM_ACTIVATEAPP, 1, true},
        {WM_SYSCOMMAND, SC_MONITORPOWER, false},
        {WM_ACTIVATE, WA_ACTIVE, true},
        {WM_SYSCOMMAND, SC_SCREENSAVE, true},
        {WM_SYSCOMMAND, SC_MONITORPOWER, false},
        {WM_ACTIVATEAPP, 1, true},
        {WM_CLOSE, 0, false},
    };
    for (const auto& c : rows) {
        SCOPED_TRACE(&c - rows);
        ScreenSaverProc(nullptr, c.message, c.wParam, 0);
        const int shown = r.dd.Shown();
        if (!c.frames) Sleep(150);  // five frames if it ran on; one in hand may still be shown
        EXPECT_TRUE(c.frames ? win32test::WaitFor([&] { return r.dd.Shown() > shown + 2; })
                             : r.dd.Shown() <= shown + 1);
    }
    saverState.running = 0;
    ASSERT_TRUE(win32test::WaitFor([] { return saverState.threadEnded != 0; }));
    saverState.displayManager = nullptr;
    hostState.preview = false;
}

}  // namespace
