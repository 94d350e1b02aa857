#include "host/entry_win32.h"

#include <commctrl.h>

#include "app/config_dialog_win32.h"
#include "app/settings_values.h"
#include "host/command_line.h"
#include "host/saver_host_win32.h"

namespace {

using PwdChangePasswordProc = DWORD(WINAPI*)(LPCSTR provider, HWND owner, DWORD, DWORD);

constexpr DWORD kVersionRecordSize = 148;
constexpr int kGuardedExitCode = -1;

DWORD guardedThread = 0;
LPTOP_LEVEL_EXCEPTION_FILTER outerFilter = nullptr;

// The mode runs under this guard: an exception escaping from the window thread goes to
// the system's own filter; when that says it is handled, the saver state is switched off
// and the process ends. Other threads' exceptions go wherever they went before.
LONG WINAPI GuardFilter(EXCEPTION_POINTERS* info) {
    if (GetCurrentThreadId() != guardedThread) return outerFilter ? outerFilter(info) : EXCEPTION_CONTINUE_SEARCH;
    SetUnhandledExceptionFilter(nullptr);  // the system filter must not come back here
    if (UnhandledExceptionFilter(info) == EXCEPTION_EXECUTE_HANDLER) {
        SetSaverRunning(false);
        ExitProcess(static_cast<UINT>(kGuardedExitCode));
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

bool IsPlatform9x() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = kVersionRecordSize;
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

HWND ExistingWindowOr(HWND window, HWND fallback) { return window && IsWindow(window) ? window : fallback; }

int RunMode(const char* arguments) {
    const SaverCommand command = ParseSaverCommand(arguments);
    switch (command.mode) {
        case SaverMode::kConfigure:
            return static_cast<int>(ShowConfigDialog(nullptr));
        case SaverMode::kFullScreen:
            return RunSaverWindow(nullptr);
        case SaverMode::kPreview: {
            HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(command.handle));
            if (!parent || !IsWindow(parent)) return -1;
            return RunSaverWindow(parent);
        }
        case SaverMode::kConfigureOwned: {
            HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(command.handle));
            return static_cast<int>(ShowConfigDialog(ExistingWindowOr(owner, GetForegroundWindow())));
        }
        case SaverMode::kChangePassword:
            if (!hostState.platform9x) return -1;
            RunPasswordChange(command.rest);
            return 0;
        case SaverMode::kInvalid:
            break;
    }
    return -1;
}

}  // namespace

HWND ParseWindowHandle(const char* text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(ParseHandleValue(text)));
}

bool PrepareConfigDialog(HINSTANCE) {
    // The manifest asks for Common Controls 6; its classes are there once the library is.
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&classes) != FALSE;
}

INT_PTR ShowConfigDialog(HWND owner) {
    PrepareConfigDialog(hostState.instance);
    return DialogBoxParamA(hostState.instance, MAKEINTRESOURCEA(kConfigDialogId), owner, ScreenSaverConfigureDialog, 0);
}

int RunPasswordChange(const char* text) {
    HWND owner = ExistingWindowOr(ParseWindowHandle(text), GetForegroundWindow());
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (!library) return 0;
    auto change =
        reinterpret_cast<PwdChangePasswordProc>(reinterpret_cast<void*>(GetProcAddress(library, "PwdChangePasswordA")));
    if (change) change("SCRSAVE", owner, 0, 0);
    FreeLibrary(library);
    return 0;
}

int RunSaverCommand(HINSTANCE instance, const char* arguments) {
    hostState.instance = instance;
    hostState.platform9x = IsPlatform9x();
    guardedThread = GetCurrentThreadId();
    outerFilter = SetUnhandledExceptionFilter(GuardFilter);
    const int result = RunMode(arguments);
    SetUnhandledExceptionFilter(outerFilter);
    return result;
}
