// Settings, the dialog, and the window procedure's pause and resume.

#include "app/config_dialog_win32.h"
#include "app/render_thread_win32.h"
#include "app/saver_state.h"
#include "app/screen_saver_proc_win32.h"
#include "app/settings_values.h"
#include "app/settings_win32.h"
#include "ddraw_fake.h"
#include "helpers/test_glyphs.h"
#include "host/saver_host_win32.h"

#include <process.h>
#include <sddl.h>

namespace {

std::string boxes;  // texts of the message boxes, closed at once

LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam) {
    HWND box = reinterpret_cast<HWND>(wParam);
    char text[256] = {};
    // A message box's text is its static control 0xFFFF.
    if (code == HCBT_ACTIVATE && GetDlgItemTextA(box, 0xFFFF, text, sizeof text) > 0) {
        boxes += text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

template <class Done>
bool WaitFor(Done done) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(2))
        if (GetTickCount() - start > 10000) return false;
    return true;
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
    saverState.resolutionText[0] = 0;
}

// Stored values are taken and missing ones written back; the dialog shows what was read, and OK stores
// what its boxes hold, clamped. Without write access OK says why nothing was stored.
TEST(App, SettingsAreReadAndTheDialogStoresClampedValues) {
    HKEY machine = nullptr;
    RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Vorlex Tests", &machine);
    HHOOK hook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
    HWND window = CreateWindowExA(0, "#32770", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    for (const int id : {kIdRadio800x600, kIdRadio1024x768, kIdRadio1280x1024, kIdDensityEdit, kIdHighlightEdit})
        CreateWindowExA(0, id < kIdDensityEdit ? "BUTTON" : "EDIT", "",
                        WS_CHILD | (id < kIdDensityEdit ? BS_AUTORADIOBUTTON : 0), 0, 0, 10, 10, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    using S = SettingsSource;
    const struct {
        const char* resolution;  // null: missing, as Density and HighlightDensity always are
        int shown;               // the radio button checked
        bool ok;                 // 800x600, 1000 and 250 entered and OK pressed
        const char* stored;      // Resolution, Density, HighlightDensity afterwards
        S source;                // kReadOnly: a key we may only read; kDefaults: none may be made (a standard user)
    } cases[] = {
        {"640x480", kIdRadio1024x768, false, "640x480 300 8", S::kWritable},
        {"1280x1024", kIdRadio1280x1024, true, "800x600 400 100", S::kWritable},
        {"1280x1024", kIdRadio1280x1024, true, "1280x1024 (none) (none)", S::kReadOnly},
        {nullptr, kIdRadio1024x768, true, "(none) (none) (none)", S::kDefaults},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        const bool refused = c.ok && c.source != S::kWritable;
        Reset();
        RegDeleteTreeA(machine, "Software");
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine);
        if (c.resolution)
            RegSetKeyValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Resolution", REG_SZ, c.resolution,
                            static_cast<DWORD>(std::strlen(c.resolution)));
        if (HKEY key = nullptr; c.source != S::kWritable) {  // read and delete only: the key, or Software
            PSECURITY_DESCRIPTOR readOnly = nullptr;
            ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &readOnly,
                                                                 nullptr);
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, c.resolution ? kSettingsKeyPath : "Software", 0, nullptr, 0, WRITE_DAC,
                            nullptr, &key, nullptr);
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly);
            RegCloseKey(key);
            LocalFree(readOnly);
        }
        EXPECT_EQ(LoadSettings(window), c.source);
        ShowWindow(window, SW_SHOWNA);
        ScreenSaverConfigureDialog(window, WM_INITDIALOG, 0, 0);
        EXPECT_EQ(IsDlgButtonChecked(window, c.shown), BST_CHECKED);
        if (c.ok) {
            CheckRadioButton(window, kIdRadio800x600, kIdRadio1280x1024, kIdRadio800x600);
            SetDlgItemTextA(window, kIdDensityEdit, "1000");
            SetDlgItemTextA(window, kIdHighlightEdit, "250");
            ScreenSaverConfigureDialog(window, WM_COMMAND, IDOK, 0);
            EXPECT_EQ(IsWindowVisible(window) != FALSE, refused) << "open after OK";
        }
        EXPECT_EQ(Stored(), c.stored);
        EXPECT_EQ(boxes, refused ? "Administrator rights are needed to change these settings." : "");
        boxes.clear();
    }
    DestroyWindow(window);
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    RegCloseKey(machine);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Vorlex Tests");
    UnhookWindowsHookEx(hook);
    Reset();
}

// The render thread draws rain, and each message in turn stops its frames or lets them flow again.
TEST(App, MessagesPauseAndResumeFrames) {
    fake::Rig r;
    ASSERT_TRUE(r.Start(true));
    const auto glyphs = MakeAnimation(8, 8, kRequiredGlyphFrames, false);
    clipRect = {0, 0, fake::kW, fake::kH};
    RandomSource seed(9);
    ASSERT_TRUE(saverState.rain.Allocate(fake::kW / 8 + 1, fake::kH / 8 + 2));
    saverState.rain.Seed(100, seed);
    saverState.glyphs = glyphs.get();
    hostState.preview = true;  // no dismissal rules
    saverState.displayManager = r.m.get();
    saverState.running = 1;
    saverState.active = 1;
    saverState.threadEnded = 0;
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
        const int shown = r.dd.shown;
        if (!c.frames) Sleep(150);  // five frames if it ran on; one in hand may still be shown
        EXPECT_TRUE(c.frames ? WaitFor([&] { return r.dd.shown > shown + 2; }) : r.dd.shown <= shown + 1);
    }
    saverState.running = 0;
    ASSERT_TRUE(WaitFor([] { return saverState.threadEnded != 0; }));
    // WM_CLOSE flipped the desktop's memory to the front: the last frame shown is in either buffer.
    EXPECT_FALSE(r.dd.primary->Filled(0) && r.dd.back->Filled(0)) << "no rain drawn";
    saverState.displayManager = nullptr;
    saverState.glyphs = nullptr;
    saverState.rain.Release();
    hostState.preview = false;
}

}  // namespace
