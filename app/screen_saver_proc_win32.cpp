#include "app/screen_saver_proc_win32.h"

#include <process.h>

#include <new>

#include "app/render_thread_win32.h"
#include "app/saver_state.h"
#include "app/settings_values.h"
#include "app/settings_win32.h"
#include "diag/log.h"
#include "display/ddraw_manager_win32.h"
#include "display/glyph_blitter.h"
#include "glyphs/animation.h"
#include "glyphs/glyph_set.h"
#include "glyphs/graphics_loader.h"
#include "host/dismissal.h"
#include "host/saver_host_win32.h"
#include "support/fixed_string.h"

namespace {

constexpr const char* kGlyphFileMessage =
    "Unable to load glyph animation file.\n\nMake sure you have unzipped both the files\n"
    "(vorlex code emulator.scr and glyph2.ani)";

// Whether DrawVorlex was started: WM_DESTROY waits for its acknowledgement only then,
// so a destruction without a successful creation cannot hang.
bool renderThreadStarted = false;

// Releases everything in reverse order of creation; the result of every failed creation.
LRESULT TearDown() {
    saverState.active = 0;
    delete saverState.glyphs;
    saverState.glyphs = nullptr;
    saverState.rain.Release();
    delete saverState.loader;
    saverState.loader = nullptr;
    if (saverState.displayManager) {
        saverState.displayManager->FlipToGDI();
        ShowCursor(TRUE);
        ShowErrorMsg(saverState.saverWindow);
        delete saverState.displayManager;
    } else {
        ShowCursor(TRUE);
        ShowErrorMsg(nullptr);
    }
    saverState.displayManager = nullptr;
    return -1;
}

LRESULT FailCreate(const char* message) {
    saverState.threadEnded = 1;
    if (message) ErrorMsg(message, LOG_ERROR);
    return TearDown();
}

// glyph2.ani from a directory; a set the rain cannot draw counts as not loaded.
Animation* LoadGlyphs(UINT(WINAPI* directory)(LPSTR, UINT)) {
    char buffer[1024] = {};
    directory(buffer, sizeof buffer);
    FixedString path(buffer);
    path += "\\glyph2.ani";
    Animation* glyphs = saverState.loader->LoadAnimation(path, false);
    if (glyphs && !IsUsableGlyphSet(glyphs)) {
        delete glyphs;
        glyphs = nullptr;
    }
    return glyphs;
}

LRESULT OnCreate(HWND window) {
    saverState.displayManager = nullptr;
    saverState.loader = nullptr;
    saverState.glyphs = nullptr;
    saverState.rain.Release();
    saverState.active = 0;
    saverState.lastFrameTime = 0;

    RandomSource random(GetTickCount());

    const SettingsSource settings = LoadSettings(window);
    if (settings == SettingsSource::kNone) {
        ShowErrorMsg(window);
        saverState.threadEnded = 1;
        return -1;
    }

    saverState.parentWindow = GetParent(window);
    if (!saverState.parentWindow) {
        InitErrorMsg(true);
        ErrorMsg("[DEBUG] Got message WM_CREATE", LOG_INFO);
        ErrorMsg("[WM_CREATE] Fullscreen mode", LOG_GOSSIP);
        saverState.fullscreen = 1;
        SendMessageA(window, WM_SIZE, 0, MAKELPARAM(saverState.screenWidth, saverState.screenHeight));
    } else {
        InitErrorMsg(false);
        ErrorMsg("[DEBUG] Got message WM_CREATE", LOG_INFO);
        ErrorMsg("[WM_CREATE] Windowed mode", LOG_GOSSIP);
        saverState.fullscreen = 0;
        RECT rect = {};
        GetWindowRect(window, &rect);
        saverState.screenWidth = rect.right - rect.left;
        saverState.screenHeight = rect.bottom - rect.top;
    }
    if (const char* note = SettingsSourceNote(settings)) ErrorMsg(note, LOG_WARNING);

    saverState.displayManager = new (std::nothrow) DDrawManager;
    if (!saverState.displayManager)
        return FailCreate("[WM_CREATE] Unable to allocate memory for main DDrawManager object");

    saverState.saverWindow = window;
    if (!saverState.displayManager->CreateDirectDraw(window, saverState.screenWidth, saverState.screenHeight,
                                                     saverState.fullscreen != 0))
        return FailCreate(nullptr);

    saverState.loader = new (std::nothrow) GraphicsLoader;
    if (!saverState.loader) return FailCreate("[WM_CREATE] Unable to create Loader object");
    ErrorMsg("[WM_CREATE] GraphicsLoader object allocated", LOG_INFO);
    saverState.loader->SetPixelFormat(saverState.displayManager->GetColorType());

    saverState.glyphs = LoadGlyphs(GetWindowsDirectoryA);
    if (!saverState.glyphs) saverState.glyphs = LoadGlyphs(GetSystemDirectoryA);
    if (!saverState.glyphs) return FailCreate(kGlyphFileMessage);
    ErrorMsg("[WM_CREATE] Glyph images loaded", LOG_INFO);

    const GridSize grid =
        GridFor(saverState.screenWidth, saverState.screenHeight, saverState.glyphs->width, saverState.glyphs->height);
    if (!saverState.rain.Allocate(grid.columns, grid.rows))
        return FailCreate("[WM_CREATE] Unable to allocate memory for Vorlex");
    // The stream table holds 400 streams; a larger stored Density is used as 400.
    saverState.rain.Seed(ClampDensity(saverState.density), random);

    clipRect =
        ClipRect{0, 0, static_cast<uint16_t>(saverState.screenWidth), static_cast<uint16_t>(saverState.screenHeight)};

    ErrorMsg("[WM_CREATE] All object created, run Vorlex Emulator", LOG_GOSSIP);
    if (_beginthread(DrawVorlex, 0, nullptr) == static_cast<uintptr_t>(-1))
        return FailCreate("[WM_CREATE] Unable to start the drawing thread");
    renderThreadStarted = true;
    saverState.active = 1;
    return 0;
}

// Mouse moves caused by the mode switch, and small jitter, never reach the host.
bool SwallowMouseMove() {
    if (saverState.displayManager && saverState.displayManager->DisplayModeSet() && saverState.framePresented == 0) {
        ErrorMsg("[WM_MOUSEMOVE] Trapped message", LOG_INFO);
        return true;
    }
    POINT now = {};
    GetCursorPos(&now);
    if (!saverState.cursorCaptured) {
        saverState.firstCursorPos = CursorPos{now.x, now.y};
        saverState.cursorCaptured = 1;
        return true;
    }
    return TrapSwallowsMove(ScreenPoint{saverState.firstCursorPos.x, saverState.firstCursorPos.y},
                            ScreenPoint{now.x, now.y});
}

void SetActive(int32_t value, const char* activated, const char* deactivated) {
    saverState.active = value;
    ErrorMsg(value ? activated : deactivated, LOG_INFO);
}

}  // namespace

extern "C" LRESULT CALLBACK ScreenSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(window);
        case WM_DESTROY:
            saverState.running = 0;
            ErrorMsg("[STATE] WM_DESTROY detected", LOG_GOSSIP);
            // The thread ends within a frame; sleeping leaves it the processor meanwhile.
            if (renderThreadStarted)
                while (!saverState.threadEnded) Sleep(1);
            TearDown();
            StopErrorMsg();
            break;
        case WM_ACTIVATE: {
            const WORD state = LOWORD(wParam);
            SetActive(state == WA_ACTIVE || state == WA_CLICKACTIVE ? 1 : 0, "[STATE] WM_ACTIVE: Activated",
                      "[STATE] WM_ACTIVE: Deactivated");
            break;
        }
        case WM_ENABLE:
            SetActive(static_cast<int32_t>(wParam), "[STATE] WM_ENABLE: Activated", "[STATE] WM_ENABLE: Deactivated");
            break;
        case WM_CLOSE:
            ErrorMsg("[STATE] WM_CLOSE detected", LOG_GOSSIP);
            saverState.active = 0;
            if (saverState.displayManager) saverState.displayManager->FlipToGDI();
            break;
        case WM_ACTIVATEAPP:
            SetActive(static_cast<int32_t>(wParam), "[STATE] WM_ACTIVATEAPP: Activated",
                      "[STATE] WM_ACTIVATEAPP: Deactivated");
            break;
        case WM_SYSCOMMAND:
            if (wParam == SC_MONITORPOWER && saverState.monitorOff == 0) {
                ErrorMsg("[STATE] SC_MONITORPOWER: Monitor shutdown detected", LOG_INFO);
                saverState.active = 0;
                saverState.monitorOff = 1;
            }
            break;
        case WM_MOUSEMOVE:
            if (SwallowMouseMove()) return 0;
            break;
        case SCRM_VERIFYPW:
            ErrorMsg("[SCRM_VERIFYPW] Message detected", LOG_INFO);
            break;
        default:
            break;
    }
    return SaverDefaultProc(window, message, wParam, lParam);
}
