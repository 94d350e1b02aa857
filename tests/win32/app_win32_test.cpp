// The settings loader, the configuration dialog's procedure and ScreenSaverProc in this
// process: a scratch key stands in for HKEY_LOCAL_MACHINE, message boxes are read and
// dismissed as they open, and the host's dismissal stays out of the way unless wanted.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/config_dialog_win32.h"
#include "app/saver_state.h"
#include "app/screen_saver_proc_win32.h"
#include "app/settings_values.h"
#include "app/settings_win32.h"
#include "diag/log.h"
#include "diag/log_core.h"
#include "display/ddraw_manager_win32.h"
#include "glyphs/animation.h"
#include "glyphs/graphics_loader.h"
#include "host/saver_host_win32.h"
#include "win32_test_support.h"

namespace {

using win32test::LogCapture;

struct Box {
    std::string text;
    HWND owner;
    bool errorIcon;
};
std::vector<Box> boxes;  // boxes with the settings' caption, OK pressed on each
HHOOK boxHook = nullptr;

BOOL CALLBACK ReadBoxChild(HWND child, LPARAM) {
    char cls[16] = {}, text[256] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (_stricmp(cls, "Static") != 0) return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
        boxes.back().errorIcon |=
            SendMessageA(child, STM_GETICON, 0, 0) == reinterpret_cast<LRESULT>(LoadIconA(nullptr, IDI_ERROR));
    else if (GetWindowTextA(child, text, sizeof text) > 0)
        boxes.back().text += text;
    return TRUE;
}

LRESULT CALLBACK CatchBox(int code, WPARAM wParam, LPARAM lParam) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char caption[64] = {};
    if (code == HCBT_ACTIVATE && GetWindowTextA(window, caption, sizeof caption) > 0 &&
        std::strcmp(caption, kSettingsCaption) == 0) {
        boxes.push_back(Box{"", GetWindow(window, GW_OWNER), false});
        EnumChildWindows(window, ReadBoxChild, 0);
        PostMessageA(window, WM_COMMAND, IDOK, 0);
    }
    return CallNextHookEx(boxHook, code, wParam, lParam);
}

bool AcceptLogBox(HWND__*, const char*, const char*) { return true; }

bool Logged(const std::string& log, const std::string& line) {
    return log.find("\n" + line + "\n") != std::string::npos;
}

constexpr char kScratch[] = "Software\\Vorlex Tests";

void Store(const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void StoreNumber(const char* name, int64_t value) {
    const DWORD v = static_cast<DWORD>(value);
    if (value >= 0) Store(name, REG_DWORD, &v, sizeof v);
}

// The data length is the character count. The system then adds a terminator when the
// byte after the data is zero; a bare text has another byte there and keeps none.
void StoreText(const char* text, bool bare) {
    const std::string data = std::string(text) + (bare ? "?" : "");
    Store("Resolution", REG_SZ, data.c_str(), static_cast<DWORD>(std::strlen(text)));
}

std::string StoredText() {
    char text[64] = {};
    DWORD size = sizeof text - 1;
    return RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "Resolution", RRF_RT_REG_SZ, nullptr, text, &size) ==
                   ERROR_SUCCESS
               ? text
               : "(none)";
}

DWORD StoredNumber(const char* name) {
    DWORD value = 0xDEADBEEF, size = sizeof value;
    RegGetValueA(HKEY_LOCAL_MACHINE, kSettingsKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

class App : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kScratch) + "\\Machine").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &machine_, nullptr);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_);
        boxes.clear();
        boxHook = SetWindowsHookExA(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
        previousLogBox_ = SetErrorBoxHook(AcceptLogBox);
        ShowErrorMsg(nullptr);  // nothing remembered from earlier tests
        savedHost_ = hostState;
        hostState.preview = true;
        ResetState();
        window_ = CreateWindowExA(0, "STATIC", "app test", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        if (IsWindow(window_)) DestroyWindow(window_);
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(machine_);
        if (gone_) RegCloseKey(gone_);
        RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        UnhookWindowsHookEx(boxHook);
        SetErrorBoxHook(previousLogBox_);
        hostState = savedHost_;
        delete saverState.displayManager;
        saverState.displayManager = nullptr;
        ResetState();
    }
    // The fields as a new process has them.
    static void ResetState() {
        saverState.screenWidth = 800;
        saverState.screenHeight = 600;
        saverState.resolutionIndex = 2;
        saverState.density = 300;
        saverState.highlightDensity = 8;
        std::memset(saverState.resolutionText, 0, sizeof saverState.resolutionText);
        saverState.running = 1;
        saverState.active = 0;
        saverState.monitorOff = 0;
        saverState.framePresented = 0;
        saverState.cursorCaptured = 0;
        saverState.threadEnded = 0;
    }
    void RemoveSettingsKey() { RegDeleteTreeA(machine_, "Software"); }
    // No key can be created or opened any more: HKEY_LOCAL_MACHINE is a deleted key.
    void BreakMachineKey() {
        const std::string path = std::string(kScratch) + "\\Gone";
        RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &gone_, nullptr);
        RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, gone_);
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ScreenSaverProc(window_, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    HKEY machine_ = nullptr;
    HKEY gone_ = nullptr;
    HostState savedHost_;
    ErrorBoxHook previousLogBox_ = nullptr;
};

// --- settings ---------------------------------------------------------------------------

TEST_F(App, SettingsAreReadAndUnreadableOnesWrittenBack) {
    const struct {
        const char* resolution;      // null: missing
        bool bare;                   // stored without a terminator
        int64_t density, highlight;  // -1: missing
        const char* resolutionAfter;
        int32_t width;
        uint32_t densityAfter;
        int32_t highlightAfter;
    } cases[] = {
        {"800x600", false, 5, 6, "800x600", 800, 5, 6},
        {"1280x1024", true, 1000, 250, "1280x1024", 1280, 1000, 250},  // taken as stored
        {"1280X1024", false, 5, 6, "1280X1024", 1024, 5, 6},           // letter case counts: index stays 2
        {"640x480", false, -1, 6, "640x480", 1024, 300, 6},
        {nullptr, false, 5, -1, "", 1024, 5, 8},                                   // the empty text is written back
        {"1280x1024 at 60 hertz", false, 5, 6, "", 1024, 5, 6},                    // over 20 bytes: rewritten
        {"1280x1024xxxxxxxxxxx", true, 5, 6, "1280x1024xxxxxxxxxxx", 1024, 5, 6},  // exactly 20 bytes
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resolution ? c.resolution : "(missing)");
        ResetState();
        RemoveSettingsKey();
        if (c.resolution) StoreText(c.resolution, c.bare);
        StoreNumber("Density", c.density);
        StoreNumber("HighlightDensity", c.highlight);
        ASSERT_TRUE(LoadSettings(nullptr));
        EXPECT_EQ(saverState.keyDisposition, static_cast<uint32_t>(REG_OPENED_EXISTING_KEY));
        EXPECT_EQ(saverState.settingsKey, nullptr) << "closed again";
        EXPECT_EQ(StoredText(), c.resolutionAfter);
        EXPECT_EQ(saverState.screenWidth, c.width);
        EXPECT_EQ(saverState.density, c.densityAfter);
        EXPECT_EQ(StoredNumber("Density"), c.densityAfter);
        EXPECT_EQ(saverState.highlightDensity, c.highlightAfter);
        EXPECT_EQ(StoredNumber("HighlightDensity"), static_cast<DWORD>(c.highlightAfter));
        EXPECT_LT(std::strlen(saverState.resolutionText), sizeof saverState.resolutionText);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(App, WithoutTheSettingsKeyTheSaverDoesNotStart) {
    BreakMachineKey();
    saverState.threadEnded = 0;
    EXPECT_EQ(Send(WM_CREATE), -1);
    EXPECT_EQ(saverState.threadEnded.load(), 1) << "WM_DESTROY must not wait for a thread";
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "[WinMain] Unable to open/create software registry key");
    EXPECT_EQ(boxes[0].owner, window_);
    EXPECT_TRUE(boxes[0].errorIcon);
}

// --- the dialog's procedure on a window holding its controls ------------------------------

class Dialog : public App {
protected:
    void SetUp() override {
        App::SetUp();
        for (int id : {kIdRadio800x600, kIdRadio1024x768, kIdRadio1280x1024, kIdDensityEdit, kIdHighlightEdit})
            CreateWindowExA(0, id < kIdDensityEdit ? "BUTTON" : "EDIT", "",
                            WS_CHILD | (id < kIdDensityEdit ? BS_AUTORADIOBUTTON : ES_AUTOHSCROLL), 0, 0, 10, 10,
                            window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    std::string Text(int id) {
        char text[32] = {};
        GetDlgItemTextA(window_, id, text, sizeof text);
        return text;
    }
    INT_PTR Press(int id) { return ScreenSaverConfigureDialog(window_, WM_COMMAND, id, 0); }
};

TEST_F(Dialog, ShowsWhatIsStoredAndAnUnknownResolutionAs1024x768) {
    const struct {
        const char* resolution;
        int radio;
    } cases[] = {{"1280x1024", kIdRadio1280x1024}, {"1600x1200", kIdRadio1024x768}};
    for (const auto& c : cases) {
        ResetState();
        StoreText(c.resolution, false);
        StoreNumber("Density", 1000);
        StoreNumber("HighlightDensity", 7);
        EXPECT_EQ(ScreenSaverConfigureDialog(window_, WM_INITDIALOG, 0, 0), TRUE);
        for (int id = kIdRadio800x600; id <= kIdRadio1280x1024; ++id)
            EXPECT_EQ(IsDlgButtonChecked(window_, id), id == c.radio ? BST_CHECKED : BST_UNCHECKED) << id;
        EXPECT_EQ(Text(kIdDensityEdit), "1000");
        EXPECT_EQ(Text(kIdHighlightEdit), "7");
        EXPECT_EQ(Press(IDCANCEL), TRUE);
        EXPECT_EQ(StoredNumber("Density"), 1000u) << "Cancel stores nothing";
    }
    EXPECT_EQ(Press(1003), FALSE);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Dialog, OkReadsTheWholeTextOfEachBox) {
    ScreenSaverConfigureDialog(window_, WM_INITDIALOG, 0, 0);
    CheckDlgButton(window_, kIdRadio1024x768, BST_UNCHECKED);
    CheckDlgButton(window_, kIdRadio1280x1024, BST_CHECKED);
    SetDlgItemTextA(window_, kIdDensityEdit, (std::string(100, '0') + "7").c_str());
    SetDlgItemTextA(window_, kIdHighlightEdit, ("5" + std::string(100, ' ') + "x").c_str());
    EXPECT_EQ(Press(IDOK), TRUE);
    EXPECT_EQ(StoredText(), "1280x1024");
    EXPECT_EQ(StoredNumber("Density"), 7u);
    EXPECT_EQ(StoredNumber("HighlightDensity"), 0u) << "not a number";
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Dialog, AKeyThatCannotBeOpenedForWritingIsReported) {
    ScreenSaverConfigureDialog(window_, WM_INITDIALOG, 0, 0);
    RemoveSettingsKey();
    EXPECT_EQ(Press(IDOK), TRUE);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Unable to open registry key to store values");
    EXPECT_EQ(boxes[0].owner, window_);
    EXPECT_TRUE(boxes[0].errorIcon);
    EXPECT_EQ(StoredText(), "(none)");
}

// --- ScreenSaverProc ----------------------------------------------------------------------

TEST_F(App, PauseAndResumeMessages) {
    const struct {
        UINT message;
        WPARAM wParam;
        int32_t before, after;
        const char* line;
    } cases[] = {
        {WM_ACTIVATE, WA_INACTIVE, 1, 0, "LOG_INFO: [STATE] WM_ACTIVE: Deactivated"},
        {WM_ACTIVATE, WA_CLICKACTIVE, 0, 1, "LOG_INFO: [STATE] WM_ACTIVE: Activated"},
        {WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0, 1, "LOG_INFO: [STATE] WM_ACTIVE: Activated"},  // minimised
        {WM_ENABLE, FALSE, 1, 0, "LOG_INFO: [STATE] WM_ENABLE: Deactivated"},
        {WM_ENABLE, TRUE, 0, 1, "LOG_INFO: [STATE] WM_ENABLE: Activated"},
        {WM_ACTIVATEAPP, FALSE, 1, 0, "LOG_INFO: [STATE] WM_ACTIVATEAPP: Deactivated"},
        {WM_ACTIVATEAPP, TRUE, 0, 1, "LOG_INFO: [STATE] WM_ACTIVATEAPP: Activated"},
        {SCRM_VERIFYPW, 0, 1, 1, "LOG_INFO: [SCRM_VERIFYPW] Message detected"},
        {WM_CLOSE, 0, 1, 0, "LOG_GOSSIP: [STATE] WM_CLOSE detected"},  // last: it destroys the window
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        LogCapture log;
        saverState.active = c.before;
        Send(c.message, c.wParam);
        EXPECT_EQ(saverState.active.load(), c.after);
        EXPECT_TRUE(Logged(log.Stop(), c.line));
    }
    EXPECT_FALSE(IsWindow(window_)) << "WM_CLOSE goes on to the default procedure";
}

TEST_F(App, MonitorPowerIsHandledOnceUntilTheThreadResumes) {
    LogCapture log;
    saverState.active = 1;
    Send(WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    EXPECT_EQ(saverState.active.load(), 0);
    EXPECT_EQ(saverState.monitorOff.load(), 1);
    saverState.active = 1;  // resumed, but the render thread has not cleared monitorOff yet
    Send(WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    EXPECT_EQ(saverState.active.load(), 1);
    const std::string text = log.Stop();
    const std::string line = "LOG_INFO: [STATE] SC_MONITORPOWER: Monitor shutdown detected\n";
    EXPECT_NE(text.find(line), std::string::npos);
    EXPECT_EQ(text.find(line), text.rfind(line)) << "logged once";
}

TEST_F(App, MouseMovesAreSwallowedUntilAFrameAndWithinThreePixels) {
    hostState.preview = false;  // a move that gets through makes the host ask to close
    auto passed = [this](int x, int y) {
        hostState.rememberedCursor = ScreenPoint{-5000, -5000};
        SetCursorPos(x, y);
        const LRESULT result = Send(WM_MOUSEMOVE, 0, MAKELPARAM(999, 999));
        MSG msg;
        bool closing = false;
        while (PeekMessageA(&msg, window_, WM_CLOSE, WM_CLOSE, PM_REMOVE)) closing = true;
        EXPECT_TRUE(closing || result == 0);
        return closing;
    };
    // After the mode switch nothing gets through before the first frame.
    saverState.displayManager = new DDrawManager;
    saverState.displayManager->displayModeSet = 1;
    LogCapture log;
    EXPECT_FALSE(passed(0, 0));
    EXPECT_FALSE(passed(600, 500));
    EXPECT_EQ(saverState.cursorCaptured, 0);
    EXPECT_TRUE(Logged(log.Stop(), "LOG_INFO: [WM_MOUSEMOVE] Trapped message"));

    saverState.framePresented = 1;
    EXPECT_FALSE(passed(400, 300)) << "the first move only records the position";
    EXPECT_EQ(saverState.cursorCaptured, 1);
    const struct {
        int dx, dy;
        bool passed;
    } moves[] = {{2, 1, false}, {2, 2, true}, {-3, 0, false}, {0, -4, true}, {-1, 2, false}, {3, -1, true}};
    for (const auto& m : moves) EXPECT_EQ(passed(400 + m.dx, 300 + m.dy), m.passed) << m.dx << "," << m.dy;
}

TEST_F(App, DestroyReleasesEverythingAndStopsTheLog) {
    LogCapture log;
    saverState.threadEnded = 1;
    saverState.active = 1;
    saverState.glyphs = new Animation(8, 8, 55, 0);
    saverState.loader = new GraphicsLoader;
    ASSERT_TRUE(saverState.rain.Allocate(4, 4));
    Send(WM_DESTROY);
    EXPECT_EQ(saverState.running.load(), 0);
    EXPECT_EQ(saverState.active.load(), 0);
    EXPECT_EQ(saverState.glyphs, nullptr);
    EXPECT_EQ(saverState.loader, nullptr);
    EXPECT_EQ(saverState.rain.Cells(), nullptr);
    ErrorMsg("[Test] after the tear-down", LOG_INFO);
    const std::string text = log.Stop();
    EXPECT_TRUE(Logged(text, "LOG_GOSSIP: [STATE] WM_DESTROY detected"));
    EXPECT_EQ(text.find("[Test] after"), std::string::npos) << "the log is stopped";
}

}  // namespace
