// Stand-in for the system's PASSWORD.CPL: answers VerifyScreenSavePwd from a script
// file beside it and records every call, so a test can tell whether it was asked.
//   answers.txt: one character per call, '1' accept, '0' refuse (accept when used up)
//   calls.txt:   one line per call with the answer given
// A copy named MPR.DLL stands in for the password provider: PwdChangePasswordA records
// its arguments in changes.txt.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

HMODULE self = nullptr;
int calls = 0;

void BesideMe(char* path, const char* name) {
    GetModuleFileNameA(self, path, MAX_PATH);
    char* slash = std::strrchr(path, '\\');
    std::strcpy(slash ? slash + 1 : path, name);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) self = instance;
    return TRUE;
}

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND) {
    char path[MAX_PATH];
    BesideMe(path, "answers.txt");
    char answers[64] = {};
    if (FILE* f = std::fopen(path, "rb")) {
        std::fread(answers, 1, sizeof answers - 1, f);
        std::fclose(f);
    }
    const BOOL accept = calls < static_cast<int>(std::strlen(answers)) ? answers[calls] == '1' : TRUE;
    ++calls;
    BesideMe(path, "calls.txt");
    if (FILE* f = std::fopen(path, "ab")) {
        std::fprintf(f, "%lu %s\n", GetTickCount(), accept ? "accept" : "refuse");
        std::fclose(f);
    }
    return accept;
}

extern "C" DWORD WINAPI PwdChangePasswordA(LPCSTR provider, HWND owner, DWORD reserved1, DWORD reserved2) {
    char path[MAX_PATH];
    BesideMe(path, "changes.txt");
    if (FILE* f = std::fopen(path, "ab")) {
        std::fprintf(f, "%s %lu %lu %lu\n", provider ? provider : "(null)",
                     static_cast<unsigned long>(reinterpret_cast<uintptr_t>(owner)),
                     static_cast<unsigned long>(reserved1), static_cast<unsigned long>(reserved2));
        std::fclose(f);
    }
    return 0;
}
