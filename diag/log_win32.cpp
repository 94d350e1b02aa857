#include "diag/log_win32.h"

#include "diag/log_core.h"
#include "diag/message_name.h"

namespace {

constexpr UINT kWindowsDirectorySize = 1024;

bool ShowErrorBox(HWND__* owner, const char* text, const char* caption) {
    return MessageBoxA(owner, text, caption, MB_OK | MB_ICONEXCLAMATION | MB_TASKMODAL | MB_SETFOREGROUND) == IDOK;
}

}  // namespace

bool InitErrorMsg(bool fullscreen) {
    // A box hook set by a test stays in place.
    if (GetErrorBoxHook() == nullptr) SetErrorBoxHook(ShowErrorBox);
    char directory[kWindowsDirectorySize];
    const UINT length = GetWindowsDirectoryA(directory, kWindowsDirectorySize);
    // Without the directory there is no place for the log: start it silent.
    if (length == 0 || length >= kWindowsDirectorySize) return InitErrorMsgAt(nullptr);
    return InitErrorMsgAt(ErrorMsgPath(directory, fullscreen).Text());
}

BOOL CALLBACK EnumChildProc(HWND window, LPARAM) {
    if (window == nullptr) return FALSE;
    char* title = MessageTextBuffer();
    title[0] = '\0';
    GetWindowTextA(window, title, static_cast<int>(kMessageTextSize));
    FixedString line("[EnumChildProc] Found window title ");
    line.Append(title);
    ErrorMsg(line, LOG_INFO);
    return TRUE;
}
