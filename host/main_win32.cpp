#include <windows.h>

#include "host/command_line.h"
#include "host/entry_win32.h"

namespace {
const char* NextChar(const char* p) { return CharNextA(p); }
}  // namespace

// The command line is read here rather than taken from the runtime, so quoting and
// double-byte program paths follow the system's own rules.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* arguments = SkipProgramName(GetCommandLineA(), NextChar);
    ExitProcess(static_cast<UINT>(RunSaverCommand(GetModuleHandleA(nullptr), arguments)));
}
