// Stand-in for PASSWORD.CPL: refuses the first password and accepts every later one, adding each answer to
// calls.txt in the current folder. As MPR.DLL, the password provider: adds PwdChangePasswordA's arguments to
// changes.txt there.
#include <windows.h>

#include <cstdio>

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND) {
    static bool asked = false;
    const bool accept = asked;
    asked = true;
    if (FILE* f = std::fopen("calls.txt", "ab")) {
        std::fputs(accept ? "accept\n" : "refuse\n", f);
        std::fclose(f);
    }
    return accept;
}

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1, DWORD reserved2) {
    if (FILE* f = std::fopen("changes.txt", "ab")) {
        std::fprintf(f, "%s %llu %lu %lu\n", provider ? provider : "(null)",
                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)), reserved1, reserved2);
        std::fclose(f);
    }
    return 0;
}
