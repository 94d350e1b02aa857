#pragma once

#include <windows.h>

#include "host/dismissal.h"

// Private message: run the password verification; non-zero result means accepted.
constexpr UINT SCRM_VERIFYPW = msg::kVerifyPassword;

using VerifyScreenSavePwdProc = BOOL(WINAPI*)(HWND);
using ImmAssociateContextProc = HANDLE(WINAPI*)(HWND, HANDLE);

// The host's one module-wide record.
struct HostState {
    HINSTANCE instance = nullptr;
    bool platform9x = false;
    HWND saverWindow = nullptr;
    bool preview = false;
    bool closeApproved = false;  // never reset
    bool verifying = false;
    HMODULE passwordLibrary = nullptr;
    VerifyScreenSavePwdProc verifyPassword = nullptr;
    UINT autoPlayMessage = 0;
    HMODULE imeLibrary = nullptr;
    ImmAssociateContextProc associateContext = nullptr;
    HANDLE previousContext = nullptr;
    ScreenPoint rememberedCursor = {0, 0};
    DWORD lastVerification = kNeverVerified;
};
extern HostState hostState;

// Creates the saver window (full-screen for a null parent, else a child of the preview
// window), runs the message loop and returns the quit message's value.
int RunSaverWindow(HWND parent);
LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The application's window procedure ends with this for every message it does not consume.
LRESULT CALLBACK SaverDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL ConfirmClose(HWND window);
void LoadPasswordVerifier();
void UnloadPasswordVerifier();
void SetSaverRunning(bool running);
