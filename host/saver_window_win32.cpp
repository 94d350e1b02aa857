#include <windows.h>

#include "app/screen_saver_proc_win32.h"
#include "host/dismissal.h"
#include "host/monitor_cover_win32.h"
#include "host/saver_host_win32.h"

static_assert(WM_SETTEXT == msg::kSetText && WM_PAINT == msg::kPaint && WM_SHOWWINDOW == msg::kShowWindow &&
                  WM_ACTIVATEAPP == msg::kActivateApp && WM_SETCURSOR == msg::kSetCursor && WM_POWER == msg::kPower &&
                  WM_HELP == msg::kHelp && WM_CONTEXTMENU == msg::kContextMenu && WM_KEYDOWN == msg::kKeyDown &&
                  WM_SYSKEYDOWN == msg::kSysKeyDown && WM_SYSCOMMAND == msg::kSysCommand && WM_TIMER == msg::kTimer &&
                  WM_MOUSEMOVE == msg::kMouseMove && WM_LBUTTONDOWN == msg::kLButtonDown &&
                  WM_RBUTTONDOWN == msg::kRButtonDown && WM_MBUTTONDOWN == msg::kMButtonDown &&
                  WM_POWERBROADCAST == msg::kPowerBroadcast && SC_NEXTWINDOW == msg::kScNextWindow &&
                  SC_PREVWINDOW == msg::kScPrevWindow && SC_SCREENSAVE == msg::kScScreenSave && WM_CLOSE == msg::kClose,
              "message numbers of the platform-free rules");

HostState hostState;

namespace {

constexpr const char* kClassName = "WindowsScreenSaverClass";
constexpr const char* kFullScreenTitle = "Screen Saver";
constexpr UINT kClassStyle = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
constexpr DWORD kFullScreenStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kPreviewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
// The class looks for icon 100; the module's icon group is 104, so the class has none.
constexpr WORD kClassIconId = 100;

ScreenPoint CursorNow() {
    POINT p = {};
    GetCursorPos(&p);
    return ScreenPoint{p.x, p.y};
}

void HideCursor() { SetCursor(nullptr); }

void RememberCursor() { hostState.rememberedCursor = CursorNow(); }

}  // namespace

void SetSaverRunning(bool running) {
    if (!hostState.platform9x) return;
    BOOL previous = FALSE;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running ? 1 : 0, &previous, 0);
}

void UnloadPasswordVerifier() {
    if (!hostState.platform9x || !hostState.passwordLibrary) return;
    FreeLibrary(hostState.passwordLibrary);
    hostState.passwordLibrary = nullptr;
    if (hostState.verifyPassword) {
        hostState.verifyPassword = nullptr;
        SetSaverRunning(false);
    }
}

void LoadPasswordVerifier() {
    if (!hostState.platform9x) return;
    if (hostState.passwordLibrary) UnloadPasswordVerifier();
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop", &key) != ERROR_SUCCESS) return;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        value != 0) {
        hostState.passwordLibrary = LoadLibraryA("PASSWORD.CPL");
        if (hostState.passwordLibrary) {
            hostState.verifyPassword = reinterpret_cast<VerifyScreenSavePwdProc>(
                reinterpret_cast<void*>(GetProcAddress(hostState.passwordLibrary, "VerifyScreenSavePwd")));
            if (hostState.verifyPassword)
                SetSaverRunning(true);
            else
                UnloadPasswordVerifier();
        }
    }
    RegCloseKey(key);
}

BOOL ConfirmClose(HWND window) {
    if (hostState.verifying || hostState.closeApproved) return FALSE;
    if (!hostState.verifyPassword) {
        hostState.closeApproved = true;
        return TRUE;
    }
    const DWORD now = GetTickCount();
    if (WithinRefusalWindow(now, hostState.lastVerification)) return hostState.closeApproved;

    hostState.verifying = true;
    MSG pending;
    for (int i = 0; i < 2 && PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD); ++i) {
    }
    hostState.closeApproved = SendMessageA(window, SCRM_VERIFYPW, 0, 0) != 0;
    hostState.verifying = false;
    if (!hostState.closeApproved) HideCursor();
    hostState.lastVerification = GetTickCount();
    return hostState.closeApproved;
}

LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hostState.preview && !hostState.closeApproved) {
        if (message == WM_CLOSE) {
            if (hostState.platform9x && !ConfirmClose(window)) {
                RememberCursor();
                return 0;
            }
        } else if (message == SCRM_VERIFYPW) {
            if (hostState.platform9x) return hostState.verifyPassword ? hostState.verifyPassword(window) : 1;
        } else if (!hostState.verifying) {
            const InputVerdict verdict = ClassifySaverInput(message, wParam);
            if (verdict.hideCursor) HideCursor();
            if (verdict.returnOne) return 1;
            if (verdict.postClose) PostMessageA(window, WM_CLOSE, 0, 0);
            if (verdict.checkMouse) {
                const ScreenPoint now = CursorNow();
                if (MovedBeyondThreshold(hostState.rememberedCursor, now)) {
                    PostMessageA(window, WM_CLOSE, 0, 0);
                    hostState.rememberedCursor = now;
                }
            }
        }
    }
    if (hostState.autoPlayMessage != 0 && message == hostState.autoPlayMessage) {
        PostMessageA(window, WM_CLOSE, 0, 0);
        return hostState.verifyPassword ? 1 : 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            HMODULE ime = GetModuleHandleA("IMM32.DLL");
            if (ime) {
                hostState.imeLibrary = ime;
                hostState.associateContext = reinterpret_cast<ImmAssociateContextProc>(
                    reinterpret_cast<void*>(GetProcAddress(ime, "ImmAssociateContext")));
                if (hostState.associateContext) hostState.previousContext = hostState.associateContext(window, nullptr);
            }
            RememberCursor();
            if (!hostState.preview) HideCursor();
            return ScreenSaverProc(window, message, wParam, lParam);
        }
        case WM_DESTROY:
            RemoveMonitorCovers();
            if (hostState.imeLibrary && hostState.associateContext && hostState.previousContext)
                hostState.associateContext(window, hostState.previousContext);
            PostQuitMessage(0);
            return ScreenSaverProc(window, message, wParam, lParam);
        case WM_DISPLAYCHANGE:
            // A monitor that came or went ends the saver; a mode switch only moves the covers.
            if (!CoveredMonitorsRemain()) PostMessageA(window, WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
    switch (RouteSaverMessage(message, wParam, hostState.preview, hostState.closeApproved)) {
        case SaverRoute::kReturnZero:
            return 0;
        case SaverRoute::kDefault:
            return DefWindowProcA(window, message, wParam, lParam);
        case SaverRoute::kHideCursorThenPassOn:
            HideCursor();
            break;
        case SaverRoute::kSleepThenPassOn:
            Sleep(0);
            break;
        case SaverRoute::kForwardToParent: {
            HWND parent = GetParent(window);
            if (parent && IsWindow(parent)) PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
            return 1;
        }
        case SaverRoute::kPassOn:
            break;
    }
    return ScreenSaverProc(window, message, wParam, lParam);
}

int RunSaverWindow(HWND parent) {
    WNDCLASSA windowClass = {};
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = hostState.instance;
    windowClass.hIcon = LoadIconA(hostState.instance, MAKEINTRESOURCEA(kClassIconId));
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kClassName;

    RECT rect = {};
    DWORD style = 0;
    DWORD exStyle = 0;
    const char* title = nullptr;
    if (parent) {
        GetClientRect(parent, &rect);
        hostState.preview = true;
        style = kPreviewStyle;
        title = "Preview";
    } else {
        HDC screen = GetDC(nullptr);
        GetClipBox(screen, &rect);
        ReleaseDC(nullptr, screen);
        style = kFullScreenStyle;
        exStyle = WS_EX_TOPMOST;
        title = kFullScreenTitle;
        HWND running = FindWindowA(kClassName, kFullScreenTitle);
        if (running && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        LoadPasswordVerifier();
    }

    hostState.autoPlayMessage = hostState.platform9x ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;

    if (RegisterClassA(&windowClass))
        hostState.saverWindow =
            CreateWindowExA(exStyle, kClassName, title, style, rect.left, rect.top, rect.right - rect.left,
                            rect.bottom - rect.top, parent, nullptr, hostState.instance, nullptr);
    // Without a window no quit message comes: the run failed.
    int result = -1;
    if (hostState.saverWindow) {
        if (!hostState.preview) {
            CoverOtherMonitors(hostState.saverWindow);
            SetForegroundWindow(hostState.saverWindow);
        }
        MSG message = {};
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        result = static_cast<int>(message.wParam);
    }
    UnloadPasswordVerifier();
    return result;
}
