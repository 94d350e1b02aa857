// Baseline for scripts/cpu-bench.sh: the saver's display set-up, render loop, pacing and
// presentation at 1024x768, with an effect that draws nothing. Runs for the given number
// of seconds (default 30) or until a key is pressed, then prints the frames it made.
#include <windows.h>

#include <mmsystem.h>
#include <process.h>

#include <cstdio>
#include <cstdlib>

#include "app/render_loop.h"
#include "app/saver_state.h"
#include "display/ddraw_manager_win32.h"

namespace {

volatile LONG frames = 0;

struct EmptyEnv {
    DDrawManager* GetDisplay() { return saverState.displayManager; }
    uint32_t Now() { return timeGetTime(); }
    void Sleep(uint32_t ms) { ::Sleep(ms); }
    void Log(const char*) {}
    template <class Stop>
    void Compose(SaverState&, RandomSource&, const SurfaceInfo&, Stop&&) {
        InterlockedIncrement(&frames);
    }
};

void __cdecl EmptyThread(void*) {
    const bool fineTimer = timeBeginPeriod(1) == TIMERR_NOERROR;
    EmptyEnv env;
    RandomSource random(1);
    RunRenderLoop(saverState, env, random);
    if (fineTimer) timeEndPeriod(1);
}

LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_KEYDOWN) PostQuitMessage(0);
    if (m == WM_SETCURSOR) {
        SetCursor(nullptr);
        return TRUE;
    }
    return DefWindowProcA(w, m, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
    const DWORD seconds = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 30;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "VorlexEmptyEffect";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Empty effect", WS_POPUP | WS_VISIBLE, 0, 0,
                                  GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (!window) return 1;
    SetForegroundWindow(window);
    DDrawManager* manager = new DDrawManager;
    if (!manager->CreateDirectDraw(window, 1024, 768, true)) return 2;
    saverState.displayManager = manager;
    saverState.active = 1;
    _beginthread(EmptyThread, 0, nullptr);

    const DWORD start = GetTickCount();
    SetTimer(window, 1, seconds * 1000, nullptr);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        if (m.message == WM_TIMER) break;
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    const DWORD elapsed = GetTickCount() - start;
    saverState.running = 0;
    while (!saverState.threadEnded) Sleep(1);
    saverState.displayManager = nullptr;
    manager->FlipToGDI();
    delete manager;
    std::printf("frames %ld in %lu ms\n", frames, elapsed);
    return 0;
}
