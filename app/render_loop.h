#pragma once

#include <cstdint>

#include "app/frame_composer.h"
#include "app/saver_state.h"
#include "display/surface_info.h"
#include "rain/random_source.h"

// The render thread's body without the platform, so the flag handshake can be run and
// checked anywhere. Env supplies:
//   Display* GetDisplay();          the display, or null while there is none; Display has
//                                   const SurfaceInfo* GetBackBuffer() and int32_t Present()
//   uint32_t Now();                 millisecond clock, wrapping
//   void Sleep(uint32_t ms);
//   void Log(const char* text);     one line of the debug log
//   void Compose(SaverState&, RandomSource&, const SurfaceInfo&, Stop&&)   one frame

constexpr int32_t kFrameIntervalMs = 30;
// Idle, "no display yet" and Present retries wait this long between looks at the flags:
// short enough to resume or end at once, long enough to leave the processor alone.
constexpr uint32_t kRenderPollMs = 1;

constexpr const char kThreadCreatedMsg[] = "[DrawVorlex] Thread created. Drawing Vorlex";
constexpr const char kEnterIdleMsg[] = "[DrawVorlex] Enter idle loop";
constexpr const char kThreadResumedMsg[] = "[DrawVorlex] Thread resumed";
constexpr const char kThreadEndedMsg[] = "[DrawVorlex] Thread ended";

// One frame of the rain into surface; nothing when there is no model or glyph set.
template <class Stop>
void ComposeRainFrame(SaverState& state, RandomSource& random, const SurfaceInfo& surface, Stop&& stop) {
    if (state.glyphs == nullptr || state.rain.Cells() == nullptr) return;
    ComposeFrame(state.rain, random, state.highlightDensity, *state.glyphs, surface, stop);
}

// Waits until kFrameIntervalMs have passed since the last frame, sleeping rather than
// spinning. A difference below zero means lastFrameTime is not a recent reading (its
// initial 0 against a clock past 2^31 ms): no wait then.
template <class Env>
void PaceFrame(SaverState& state, Env& env) {
    for (;;) {
        const int32_t elapsed = static_cast<int32_t>(env.Now() - state.lastFrameTime);
        if (elapsed >= kFrameIntervalMs || elapsed < 0) break;
        env.Sleep(static_cast<uint32_t>(kFrameIntervalMs - elapsed));
    }
    state.lastFrameTime = env.Now();
}

template <class Env, class Display>
void RenderFrame(SaverState& state, Env& env, Display& display, RandomSource& random) {
    auto stopped = [&state] { return state.active.load() == 0; };
    PaceFrame(state, env);
    const SurfaceInfo* surface = display.GetBackBuffer();
    state.backBuffer = surface;
    // Nothing drawn, nothing to show: a flip would bring back the frame before last.
    if (surface == nullptr || stopped()) return;
    env.Compose(state, random, *surface, stopped);
    if (stopped()) return;
    while (display.Present() == 1) {
        // WM_DESTROY clears only running and then waits for this thread: a surface that
        // cannot be restored must not hold the frame, and the process, for ever.
        if (stopped() || state.running.load() == 0) return;
        env.Sleep(kRenderPollMs);
    }
    if (!stopped()) state.framePresented.store(1);
}

template <class Env>
void RunRenderLoop(SaverState& state, Env& env, RandomSource& random) {
    env.Log(kThreadCreatedMsg);
    while (state.running.load() == 1) {
        auto* display = env.GetDisplay();
        if (state.active.load() == 1 && display != nullptr) {
            RenderFrame(state, env, *display, random);
        } else if (state.active.load() != 0) {
            env.Sleep(kRenderPollMs);  // nothing to draw with yet
        }

        bool ended = false;
        while (state.active.load() == 0) {
            if (state.resumeLogged) env.Log(kEnterIdleMsg);
            state.resumeLogged = 0;
            if (state.running.load() == 0) {
                ended = true;
                break;
            }
            env.Sleep(kRenderPollMs);
        }
        if (ended) break;

        if (!state.resumeLogged) {
            env.Log(kThreadResumedMsg);
            state.resumeLogged = 1;
            // Normalise to 1 only what we saw: a pause that arrived meanwhile stays.
            int32_t seen = state.active.load();
            while (seen != 0 && seen != 1 && !state.active.compare_exchange_weak(seen, 1)) {
            }
            state.monitorOff.store(0);
        }
    }
    env.Log(kThreadEndedMsg);
    state.threadEnded.store(1);
}
