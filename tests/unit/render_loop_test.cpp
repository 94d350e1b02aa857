#include "app/render_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "display/glyph_blitter.h"
#include "glyphs/animation.h"
#include "helpers/guarded_surface.h"

namespace {

constexpr uint16_t kUntouched = 0xDEAD;

bool WaitFor(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (; !done(); std::this_thread::sleep_for(std::chrono::milliseconds(1)))
        if (std::chrono::steady_clock::now() > until) return false;
    return true;
}

// The fixture is the loop's display and environment: a 6 x 6 grid of 4 x 4 cells, and a
// fake clock that Sleep advances by the time asked for (really sleeping only briefly).
class RenderLoop : public ::testing::Test {
protected:
    RenderLoop() {
        for (int f = 0; f < kRequiredGlyphFrames; ++f) glyphs.frames[f] = new uint16_t[16]();
        clipRect = {0, 0, 24, static_cast<uint16_t>(surface.Height())};
        RandomSource seed(7);
        EXPECT_TRUE(state.rain.Allocate(6, 6));
        state.rain.Seed(20, seed);
        state.glyphs = &glyphs;
    }
    ~RenderLoop() override {
        state.running = state.active = 0;
        if (thread.joinable()) thread.join();
        state.glyphs = nullptr;
    }

public:
    RenderLoop* GetDisplay() { return haveDisplay ? this : nullptr; }
    const SurfaceInfo* GetBackBuffer() {
        ++gets;
        getTimes.push_back(clock);
        return giveBuffer ? &surface.Info() : nullptr;
    }
    int32_t Present() {
        if (onPresent) onPresent();
        ++presents;
        return presentAnswer;
    }
    uint32_t Now() { return clock.load(); }
    void Sleep(uint32_t ms) {
        ++sleeps;
        clock += ms;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    void Log(const char* text) {
        std::lock_guard<std::mutex> hold(logMutex);
        log.emplace_back(text);
    }
    template <class Stop>
    void Compose(SaverState& s, RandomSource& r, const SurfaceInfo& to, Stop&& stop) {
        ComposeRainFrame(s, r, to, [&] {
            if (onStopTest) onStopTest();
            return stop();
        });
    }

protected:
    void Start(int32_t active) {
        state.running = 1;
        state.threadEnded = 0;
        state.active = active;
        thread = std::thread([this] { RunRenderLoop(state, *this, random); });
    }
    // Clears running; the thread must end and say so.
    void Stop() {
        state.running = 0;
        const bool ended = WaitFor([&] { return state.threadEnded != 0; });
        state.active = 0;  // frees a thread stuck in a frame: a failure must not hang the run
        thread.join();
        EXPECT_TRUE(ended) << "still running";
        EXPECT_EQ(log.back(), kThreadEndedMsg);
    }
    // Waits for n more calls of a kind; Idles waits for idle rounds.
    bool Grows(std::atomic<int>& count, int n) {
        const int from = count;
        return WaitFor([&] { return count >= from + n; });
    }
    bool Idles() { return Grows(sleeps, 21); }

    GuardedSurface surface{24, 24 - kTopRowOffset, 3, kUntouched};
    std::atomic<bool> giveBuffer{true}, haveDisplay{true};
    std::atomic<int32_t> presentAnswer{0};
    std::atomic<int> gets{0}, presents{0}, sleeps{0};
    std::atomic<uint32_t> clock{5000};
    std::vector<uint32_t> getTimes;  // render thread only; read after it ended
    std::mutex logMutex;
    std::vector<std::string> log;
    std::function<void()> onStopTest, onPresent;  // at every stop test inside a frame, every Present
    SaverState state;
    Animation glyphs{4, 4, kRequiredGlyphFrames, 0};
    RandomSource random{1};
    std::thread thread;
};

// Each pause and resume is logged once however long it lasts; any non-zero active ends
// the idle loop and is set back to 1 and monitorOff is cleared; the thread ends from idle.
TEST_F(RenderLoop, PausesAndResumesAreLoggedOnce) {
    Start(0);  // the thread idles first, as when it wins the start race
    for (int32_t resumeWith : {1, 2}) {
        ASSERT_TRUE(Idles());
        state.monitorOff = 1;
        state.active = resumeWith;
        ASSERT_TRUE(Grows(presents, 3));
        EXPECT_EQ((std::vector<int>{state.active, state.monitorOff, state.framePresented}),
                  (std::vector<int>{1, 0, 1}));
        state.active = 0;
    }
    ASSERT_TRUE(Idles());
    Stop();
    EXPECT_EQ(log, (std::vector<std::string>{kThreadCreatedMsg, kEnterIdleMsg, kThreadResumedMsg, kEnterIdleMsg,
                                             kThreadResumedMsg, kEnterIdleMsg, kThreadEndedMsg}));
}

// Cleared as the window thread would, mid-frame: the cells reached are shown, not one more,
// and nothing is presented. A row shows once complete, so count from the full bottom row:
// the third stop test after it comes before the second cell of the next row up.
TEST_F(RenderLoop, ClearingActiveMidFrameStopsWithinOneCell) {
    auto drawn = [&] {
        int n = 0;
        for (int y = 0; y < surface.Height(); ++y)
            for (int x = 0; x < 24; ++x) n += surface.At(x, y) != kUntouched;
        return n;
    };
    int testsAfterBottomRow = 0;
    onStopTest = [&] {
        if (drawn() >= 6 * 16 && ++testsAfterBottomRow == 3) state.active = 0;
    };
    Start(1);
    ASSERT_TRUE(Idles());
    EXPECT_EQ(drawn(), 7 * 16);
    EXPECT_EQ(presents + state.framePresented, 0) << "nothing presented";
    Stop();
    EXPECT_TRUE(surface.GuardsIntact());
}

// Running cleared (WM_DESTROY, which then waits for the thread): a frame that can be shown
// is finished and shown; one that Present keeps refusing is given up, as on a pause.
TEST_F(RenderLoop, FrameInProgressWhenAFlagIsCleared) {
    const struct {
        const char* flag;
        int32_t answer;
        int framePresented;
    } cases[] = {{"running", 0, 1}, {"running", 1, 0}, {"active", 1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.flag) + (c.answer ? ", Present refuses" : ", Present shows"));
        presentAnswer = c.answer;
        onPresent = [&] { (c.flag[0] == 'r' ? state.running : state.active) = 0; };
        state.framePresented = 0;
        Start(1);
        ASSERT_TRUE(WaitFor([&] { return presents > 0; }));
        Stop();
        EXPECT_EQ(state.framePresented.load(), c.framePresented);
        EXPECT_EQ(gets.exchange(0), 1);
        presents = 0;
    }
}

// Without a buffer nothing is drawn or presented (a flip would show an undrawn buffer);
// without a display the loop waits; frames flow once both are there.
TEST_F(RenderLoop, NothingIsShownWithoutABuffer) {
    giveBuffer = false;
    haveDisplay = false;
    Start(1);
    ASSERT_TRUE(Idles());
    haveDisplay = true;
    ASSERT_TRUE(WaitFor([&] { return gets > 5; }));
    EXPECT_EQ(presents + state.framePresented, 0) << "nothing presented";
    EXPECT_TRUE(surface.GuardsIntact() && surface.At(0, 0) == kUntouched);
    giveBuffer = true;
    ASSERT_TRUE(Grows(presents, 3));
    Stop();
}

// Frames start 30 ms apart, by sleeping; the first is never held back, whatever the clock
// reads, and its wrap-around changes nothing.
TEST_F(RenderLoop, FramesAreThirtyMillisecondsApart) {
    for (uint32_t start : {5000u, 0x80000010u, 0xFFFFFFC0u}) {
        SCOPED_TRACE(start);
        state.lastFrameTime = 0;
        clock = start;
        getTimes.clear();
        Start(1);
        ASSERT_TRUE(Grows(presents, 8));
        Stop();
        EXPECT_EQ(getTimes[0], start);
        for (size_t i = 1; i < getTimes.size(); ++i) EXPECT_EQ(getTimes[i] - getTimes[i - 1], 30u);
    }
}

}  // namespace
