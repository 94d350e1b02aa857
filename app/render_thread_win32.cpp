#include "app/render_thread_win32.h"

#include <windows.h>

#include <mmsystem.h>
#include <process.h>

#include "app/render_loop.h"
#include "diag/log.h"
#include "display/ddraw_manager_win32.h"

namespace {

struct Win32RenderEnv {
    DDrawManager* GetDisplay() { return saverState.displayManager; }
    uint32_t Now() { return timeGetTime(); }
    void Sleep(uint32_t ms) { ::Sleep(ms); }
    void Log(const char* text) { ErrorMsg(text, LOG_INFO); }
    template <class Stop>
    void Compose(SaverState& state, RandomSource& random, const SurfaceInfo& surface, Stop&& stop) {
        ComposeRainFrame(state, random, surface, stop);
    }
};

}  // namespace

extern "C" void __cdecl DrawVorlex(void*) {
    // The default timer granularity (10-16 ms) would stretch the 30 ms frame sleep to 45.
    const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    Win32RenderEnv env;
    RandomSource random(1);  // the runtime's generator starts at 1 in a new thread
    RunRenderLoop(saverState, env, random);
    if (fineTimer) timeEndPeriod(1);
    _endthread();
}
