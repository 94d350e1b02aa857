// Stand-in for PASSWORD.CPL: answers from answers.txt beside it ('1' accept, '0' refuse, then accept), adding
// each answer to calls.txt. As MPR.DLL, the password provider: adds PwdChangePasswordA's arguments to changes.txt.
#include <windows.h>

#include <cstdarg>
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

void Append(const char* name, const char* format, ...) {
    va_list list;
    va_start(list, format);
    if (FILE* f = Beside(name, "ab")) std::fclose((std::vfprintf(f, format, list), f));
    va_end(list);
}

}  // namespace

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND) {
    static unsigned calls = 0;
    char answers[64] = {};
    if (FILE* f = Beside("answers.txt", "rb")) std::fclose((std::fread(answers, 1, sizeof answers - 1, f), f));
    const bool accept = calls >= std::strlen(answers) || answers[calls] == '1';
    ++calls;
    Append("calls.txt", "%lu %s\n", GetTickCount(), accept ? "accept" : "refuse");
    return accept;
}

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1, DWORD reserved2) {
    Append("changes.txt", "%s %lu %lu %lu\n", provider ? provider : "(null)",
           static_cast<unsigned long>(reinterpret_cast<uintptr_t>(owner)), reserved1, reserved2);
    return 0;
}
