#include "app/render_loop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Ints = std::vector<int>;

// The loop's display and environment on the test's thread: a clock that moves as the loop sleeps,
// the window thread's moves at given sleeps; all flags clear at the 200th (on its own thread:
// real sleeps, the test ends it). Nothing is drawn.
class RenderLoop : public ::testing::Test {
public:
    RenderLoop* GetDisplay() { return haveDisplay ? this : nullptr; }
    const SurfaceInfo* GetBackBuffer() {
        getTimes.push_back(clock);
        return giveBuffer ? &buffer : nullptr;
    }
    int32_t Present() {
        ++presents;
        if (onPresent) onPresent();
        return presentAnswer;
    }
    uint32_t Now() { return clock; }
    void Sleep(uint32_t ms) {
        clock += ms;
        if (ownThread) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return;
        }
        if (atSleep.count(++sleeps)) atSleep[sleeps]();
        if (sleeps == 200) state.running = state.active = 0;
    }
    void Log(const char* text) {
        log.emplace_back(text);
        idles += log.back() == kEnterIdleMsg;
    }
    template <class Stop>
    void Compose(SaverState&, RandomSource&, const SurfaceInfo&, Stop&&) {
        if (onCompose) onCompose();
    }

protected:
    // The loop must end and say so.
    void Run(int32_t active) {
        sleeps = presents = 0;
        getTimes.clear();
        state.lastFrameTime = 0;
        state.framePresented = 0;
        state.threadEnded = 0;
        state.running = 1;
        state.active = active;
        RunRenderLoop(state, *this, random);
        EXPECT_EQ(state.threadEnded.load(), 1);
        EXPECT_EQ(log.back(), kThreadEndedMsg);
    }

    SurfaceInfo buffer{};
    bool giveBuffer = true, haveDisplay = true, ownThread = false;
    int32_t presentAnswer = 0;
    int sleeps = 0;
    std::atomic<int> presents{0}, idles{0};
    uint32_t clock = 5000;
    std::vector<uint32_t> getTimes;
    std::vector<std::string> log;
    std::map<int, std::function<void()>> atSleep;
    std::function<void()> onCompose, onPresent;
    SaverState state;
    RandomSource random{1};
};

// The loop idles first, as when it wins the start race. Each pause and resume is logged once; any
// non-zero active resumes, is set back to 1 and clears monitorOff. Without a display or a buffer
// nothing is drawn or presented (a flip would show an undrawn buffer).
TEST_F(RenderLoop, PausesResumesAndWaitsForABuffer) {
    giveBuffer = haveDisplay = false;
    Ints seen;
    auto resume = [&](int32_t with) {
        state.monitorOff = 1;
        state.active = with;
    };
    auto pause = [&] {
        seen.insert(seen.end(), {presents > 0, state.active, state.monitorOff, state.framePresented});
        state.active = 0;
    };
    auto bufferArrives = [&] {
        giveBuffer = true;
        resume(2);
    };
    atSleep = {
        {10, [&] { resume(1); }}, {15, [&] { haveDisplay = true; }}, {20, pause}, {30, bufferArrives}, {50, pause}};
    Run(0);
    EXPECT_EQ(seen, (Ints{0, 1, 0, 0, 1, 1, 0, 1}));
    EXPECT_EQ(log, (std::vector<std::string>{kThreadCreatedMsg, kEnterIdleMsg, kThreadResumedMsg, kEnterIdleMsg,
                                             kThreadResumedMsg, kEnterIdleMsg, kThreadEndedMsg}));
}

// A pause while drawing shows nothing. Running cleared (WM_DESTROY then waits for the thread):
// a frame that can be shown is; one that Present keeps refusing is given up, as on a pause.
TEST_F(RenderLoop, FlagClearedWhileDrawingOrShowing) {
    const struct {
        bool inPresent, running;
        int32_t answer, framePresented, presents;
    } cases[] = {{true, true, 0, 1, 1},
                 {true, true, 1, 0, 1},
                 {true, false, 1, 0, 1},
                 {false, false, 0, 0, 0}};  // last: it stays
    for (const auto& c : cases) {
        presentAnswer = c.answer;
        (c.inPresent ? onPresent : onCompose) = [&] { (c.running ? state.running : state.active) = 0; };
        Run(1);
        EXPECT_EQ(Ints({state.framePresented, presents}), Ints({c.framePresented, c.presents})) << &c - cases;
    }
}

// Frames start 30 ms apart; the first is never held back, whatever the clock reads.
TEST_F(RenderLoop, FramesAreThirtyMillisecondsApart) {
    for (uint32_t start : {5000u, 0x80000010u, 0xFFFFFFC0u}) {
        clock = start;
        Run(1);
        ASSERT_GT(getTimes.size(), 8u);
        EXPECT_EQ(getTimes[0], start);
        for (size_t i = 1; i < getTimes.size(); ++i) EXPECT_EQ(getTimes[i] - getTimes[i - 1], 30u) << start;
    }
}

// The saver's two threads (ThreadSanitizer watches this one): the window thread pauses, resumes
// and ends the loop while it draws.
TEST_F(RenderLoop, WindowThreadPausesResumesAndEnds) {
    ownThread = true;
    std::thread loop([this] { Run(1); });
    const auto reached = [](const std::atomic<int>& count, int n) {  // generous: a loaded machine
        for (int ms = 0; ms < 20000 && count < n; ++ms) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return count >= n;
    };
    EXPECT_TRUE(reached(presents, 2));
    state.active = 0;
    EXPECT_TRUE(reached(idles, 1));
    const int paused = presents;
    state.active = 1;
    EXPECT_TRUE(reached(presents, paused + 2));
    state.running = 0;
    loop.join();
    EXPECT_EQ(std::count(log.begin(), log.end(), kThreadResumedMsg), 1);
}

}  // namespace
