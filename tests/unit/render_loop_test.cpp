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

constexpr int kGlyph = 4;  // glyph cells of 4 x 4 pixels
constexpr int kColumns = 6;
constexpr int kRows = 6;
constexpr uint16_t kGlyphPixel = 0x7FFF;  // dimmed: 0x3DEF, 0x1CE7, 0x0C63
constexpr uint16_t kUntouched = 0xDEAD;

struct FakeDisplay {
    GuardedSurface surface{kColumns * kGlyph, kRows* kGlyph - kTopRowOffset, 3, kUntouched};
    std::atomic<bool> giveBuffer{true};
    std::atomic<int32_t> presentAnswer{0};
    std::atomic<int> getCalls{0};
    std::atomic<int> presentCalls{0};
    std::atomic<uint32_t>* clock = nullptr;
    std::vector<uint32_t> getTimes;  // render thread only; read after it ended

    const SurfaceInfo* GetBackBuffer() {
        ++getCalls;
        getTimes.push_back(clock->load());
        return giveBuffer ? &surface.Info() : nullptr;
    }
    int32_t Present() {
        ++presentCalls;
        return presentAnswer.load();
    }
};

// Fake clock: Sleep advances it by the time asked for and really sleeps only briefly,
// so pacing is exact and the tests stay fast.
struct FakeEnv {
    std::atomic<FakeDisplay*> display{nullptr};
    std::atomic<uint32_t> clock{5000};
    std::atomic<int> sleeps{0};
    std::atomic<int> composes{0};
    std::mutex logMutex;
    std::vector<std::string> log;
    // Called at every stop test of a frame, before the loop's own test is asked.
    std::function<void()> onStopTest;
    // Called before a frame is composed.
    std::function<void()> onCompose;

    FakeDisplay* GetDisplay() { return display.load(); }
    uint32_t Now() { return clock.load(); }
    void Sleep(uint32_t ms) {
        ++sleeps;
        clock += ms;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    void Log(const char* text) {
        std::lock_guard<std::mutex> lock(logMutex);
        log.emplace_back(text);
    }
    template <class Stop>
    void Compose(SaverState& state, RandomSource& random, const SurfaceInfo& surface, Stop&& stop) {
        ++composes;
        if (onCompose) onCompose();
        ComposeRainFrame(state, random, surface, [&] {
            if (onStopTest) onStopTest();
            return stop();
        });
    }
    std::vector<std::string> Log() {
        std::lock_guard<std::mutex> lock(logMutex);
        return log;
    }
    int Count(const char* line) {
        int n = 0;
        for (const std::string& s : Log()) n += s == line;
        return n;
    }
};

bool WaitFor(const std::function<bool()>& done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class RenderLoop : public ::testing::Test {
protected:
    RenderLoop() : glyphs(kGlyph, kGlyph, kRequiredGlyphFrames, 0) {
        for (int f = 0; f < kRequiredGlyphFrames; ++f) {
            glyphs.frames[f] = new uint16_t[kGlyph * kGlyph];
            for (int i = 0; i < kGlyph * kGlyph; ++i) glyphs.frames[f][i] = kGlyphPixel;
        }
        clipRect = {0, 0, static_cast<uint16_t>(display.surface.Width()),
                    static_cast<uint16_t>(display.surface.Height())};
        colorType = kColor555;
        RandomSource seed(7);
        EXPECT_TRUE(state.rain.Allocate(kColumns, kRows));
        state.rain.Seed(20, seed);
        state.glyphs = &glyphs;
        display.clock = &env.clock;
        env.display = &display;
    }
    ~RenderLoop() override {
        state.running = 0;
        state.active = 0;
        if (thread.joinable()) thread.join();
        state.glyphs = nullptr;
    }

    void Start() {
        thread = std::thread([this] { RunRenderLoop(state, env, random); });
    }
    // Ends the thread and checks that it said so.
    void Stop() {
        state.running = 0;
        ASSERT_TRUE(WaitFor([&] { return state.threadEnded.load() != 0; }));
        thread.join();
        const std::vector<std::string> log = env.Log();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), kThreadEndedMsg);
        EXPECT_EQ(env.Count(kThreadEndedMsg), 1);
    }
    bool Idle() {
        return WaitFor([&] { return env.Count(kEnterIdleMsg) > 0; });
    }
    int ChangedPixels() {
        int n = 0;
        for (int y = 0; y < display.surface.Height(); ++y)
            for (int x = 0; x < display.surface.Width(); ++x) n += display.surface.At(x, y) != kUntouched;
        return n;
    }

    SaverState state;
    FakeEnv env;
    FakeDisplay display;
    Animation glyphs;
    RandomSource random{1};
    std::thread thread;
};

TEST_F(RenderLoop, EachPauseAndResumeIsLoggedOnce) {
    Start();  // active is still 0: the thread idles first, as when it wins the start race
    ASSERT_TRUE(Idle());
    const int sleepsAtIdle = env.sleeps;
    ASSERT_TRUE(WaitFor([&] { return env.sleeps > sleepsAtIdle + 20; }));  // a long pause
    EXPECT_EQ(env.Count(kEnterIdleMsg), 1);

    for (int round = 1; round <= 2; ++round) {
        state.monitorOff = 1;
        state.active = 1;
        const int presented = display.presentCalls;
        ASSERT_TRUE(WaitFor([&] { return display.presentCalls > presented + 3; }));
        EXPECT_EQ(state.framePresented.load(), 1);
        EXPECT_EQ(state.monitorOff.load(), 0);
        EXPECT_EQ(env.Count(kThreadResumedMsg), round);

        state.active = 0;
        ASSERT_TRUE(WaitFor([&] { return env.Count(kEnterIdleMsg) == round + 1; }));
        const int sleeps = env.sleeps;
        ASSERT_TRUE(WaitFor([&] { return env.sleeps > sleeps + 20; }));
        EXPECT_EQ(env.Count(kEnterIdleMsg), round + 1);
    }
    Stop();
    const std::vector<std::string> expected = {kThreadCreatedMsg, kEnterIdleMsg, kThreadResumedMsg, kEnterIdleMsg,
                                               kThreadResumedMsg, kEnterIdleMsg, kThreadEndedMsg};
    EXPECT_EQ(env.Log(), expected);
}

TEST_F(RenderLoop, AnyNonZeroActiveEndsTheIdleLoopAndIsSetBackToOne) {
    Start();
    ASSERT_TRUE(Idle());
    state.monitorOff = 1;
    state.active = 2;
    ASSERT_TRUE(WaitFor([&] { return display.presentCalls > 2; }));
    EXPECT_EQ(state.active.load(), 1);
    EXPECT_EQ(state.monitorOff.load(), 0);
    EXPECT_EQ(env.Count(kThreadResumedMsg), 1);
    Stop();
}

// Clearing active as the window thread would, right after a given number of cells has
// been drawn: not one more cell is drawn, nothing is presented, nothing is flagged.
TEST_F(RenderLoop, ClearingActiveMidFrameStopsWithinOneCell) {
    // A row may be drawn only when it is complete, so count from the full bottom row: the
    // third stop test after it comes before the second cell of the next row up.
    constexpr int kCellsBeforeClear = kColumns + 1;
    constexpr int kCellPixels = kGlyph * kGlyph;
    int testsAfterBottomRow = 0;
    bool cleared = false;
    env.onStopTest = [&] {
        if (!cleared && ChangedPixels() >= kColumns * kCellPixels && ++testsAfterBottomRow == 3) {
            state.active = 0;
            cleared = true;
        }
    };
    state.active = 1;
    Start();
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(cleared);
    EXPECT_EQ(ChangedPixels(), kCellsBeforeClear * kCellPixels);
    EXPECT_EQ(env.composes.load(), 1);
    EXPECT_EQ(display.presentCalls.load(), 0);
    EXPECT_EQ(state.framePresented.load(), 0);
    Stop();
    EXPECT_TRUE(display.surface.GuardsIntact());
}

TEST_F(RenderLoop, ClearingRunningWhileIdleEndsTheThread) {
    Start();
    ASSERT_TRUE(Idle());
    Stop();
    EXPECT_EQ(env.composes.load(), 0);
    EXPECT_EQ(display.presentCalls.load(), 0);
}

TEST_F(RenderLoop, ClearingRunningWhileDrawingFinishesAndShowsTheFrame) {
    env.onCompose = [&] {
        if (env.composes == 3) state.running = 0;
    };
    state.active = 1;
    Start();
    ASSERT_TRUE(WaitFor([&] { return state.threadEnded.load() != 0; }));
    thread.join();
    EXPECT_EQ(env.composes.load(), 3);
    EXPECT_EQ(display.presentCalls.load(), 3);
    EXPECT_EQ(state.framePresented.load(), 1);
    EXPECT_EQ(env.Count(kEnterIdleMsg), 0);
    EXPECT_EQ(env.Log().back(), kThreadEndedMsg);
    EXPECT_EQ(state.threadEnded.load(), 1);
}

TEST_F(RenderLoop, PresentAnsweringOneIsRetriedUntilActiveClears) {
    display.presentAnswer = 1;
    state.active = 1;
    Start();
    ASSERT_TRUE(WaitFor([&] { return display.presentCalls > 50; }));
    EXPECT_EQ(display.getCalls.load(), 1);  // still the first frame
    EXPECT_EQ(state.framePresented.load(), 0);
    EXPECT_GT(env.sleeps.load(), 40);  // retries wait instead of spinning
    state.active = 0;
    ASSERT_TRUE(Idle());
    const int calls = display.presentCalls;
    const int sleeps = env.sleeps;
    ASSERT_TRUE(WaitFor([&] { return env.sleeps > sleeps + 10; }));
    EXPECT_EQ(display.presentCalls.load(), calls);
    EXPECT_EQ(state.framePresented.load(), 0);
    Stop();
}

TEST_F(RenderLoop, NoBufferDrawsNothingButStillPresents) {
    display.giveBuffer = false;
    state.active = 1;
    Start();
    ASSERT_TRUE(WaitFor([&] { return display.presentCalls > 3; }));
    EXPECT_EQ(env.composes.load(), 0);
    EXPECT_EQ(state.framePresented.load(), 1);
    Stop();
    EXPECT_EQ(state.backBuffer, nullptr);
    EXPECT_EQ(ChangedPixels(), 0);
}

TEST_F(RenderLoop, WaitsWithoutDrawingUntilThereIsADisplay) {
    env.display = nullptr;
    state.active = 1;
    Start();
    ASSERT_TRUE(WaitFor([&] { return env.sleeps > 20; }));
    EXPECT_EQ(display.getCalls.load(), 0);
    env.display = &display;
    ASSERT_TRUE(WaitFor([&] { return display.presentCalls > 2; }));
    Stop();
}

struct PacingCase {
    uint32_t start;
    const char* what;
};

class RenderLoopPacing : public RenderLoop, public ::testing::WithParamInterface<PacingCase> {};

// Frames start at least 30 ms apart, by sleeping; the first frame is never held back,
// whatever the clock reads, and the clock's wrap-around changes nothing.
TEST_P(RenderLoopPacing, FramesAreThirtyMillisecondsApart) {
    env.clock = GetParam().start;
    state.active = 1;
    Start();
    ASSERT_TRUE(WaitFor([&] { return display.presentCalls >= 8; }));
    Stop();
    ASSERT_GE(display.getTimes.size(), 8u);
    EXPECT_EQ(display.getTimes[0], GetParam().start) << GetParam().what;
    for (size_t i = 1; i < display.getTimes.size(); ++i)
        EXPECT_EQ(display.getTimes[i] - display.getTimes[i - 1], 30u) << GetParam().what << " frame " << i;
}

std::string PacingName(const ::testing::TestParamInfo<PacingCase>& info) {
    static const char* const kNames[] = {"JustStarted", "Past2To31", "Wrapping"};
    return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(Clocks, RenderLoopPacing,
                         ::testing::Values(PacingCase{5000, "clock just started"},
                                           PacingCase{0x80000010u, "clock past 2^31 ms"},
                                           PacingCase{0xFFFFFFC0u, "clock wrapping during the run"}),
                         PacingName);

}  // namespace
