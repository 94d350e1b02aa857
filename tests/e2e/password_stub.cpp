// Stand-in for PASSWORD.CPL: answers from answers.txt beside it ('1' accept, '0' refuse, then accept), adding
// each answer to calls.txt. As MPR.DLL, the password provider: adds PwdChangePasswordA's arguments to changes.txt.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

FILE* Beside(const char* name, const char* mode) {
    char path[MAX_PATH];
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&Beside), &self);
    GetModuleFileNameA(self, path, MAX_PATH);
    std::strcpy(std::strrchr(path, '\\') + 1, name);
    return std::fopen(path, mode);
}

unsigned long Id(HWND w) { return static_cast<unsigned long>(reinterpret_cast<uintptr_t>(w)); }

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI VerifyScreenSavePwd(HWND) {
    static unsigned calls = 0;
    char answers[64] = {};
    if (FILE* f = Beside("answers.txt", "rb")) std::fread(answers, 1, sizeof answers - 1, f), std::fclose(f);
    const bool accept = calls >= std::strlen(answers) || answers[calls] == '1';
    ++calls;
    if (FILE* f = Beside("calls.txt", "ab"))
        std::fprintf(f, "%lu %s\n", GetTickCount(), accept ? "accept" : "refuse"), std::fclose(f);
    return accept;
}

extern "C" __declspec(dllexport) DWORD WINAPI
    PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1, DWORD reserved2) {
    if (FILE* f = Beside("changes.txt", "ab"))
        std::fprintf(f, "%s %lu %lu %lu\n", provider ? provider : "(null)", Id(owner), reserved1, reserved2),
            std::fclose(f);
    return 0;
}
