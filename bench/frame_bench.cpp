// Whole frames against a plain memcpy of the same number of bytes: the blitter writes
// every pixel about once, so the ratio shows what the model and the per-cell work cost.
// The changed:1 rows draw only the cells that differ from the frame before, as the X11
// program does; the changed:2 rows run the rain model alone, the floor under them.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "app/frame_composer.h"
#include "display/glyph_blitter.h"

namespace {

// A realistic glyph cell, 55 frames of antialiased-looking noise, at the glyph sets' scale.
constexpr int kGlyphW = 16;
constexpr int kGlyphH = 20;

std::unique_ptr<Animation> SyntheticGlyphs(int scale) {
    const int w = kGlyphW * scale, h = kGlyphH * scale;
    auto a = std::make_unique<Animation>(w, h, 55, 0);
    RandomSource r(99);
    for (int f = 0; f < 55; ++f) {
        a->frames[f] = new uint16_t[w * h];
        for (int i = 0; i < w * h; ++i) a->frames[f][i] = f == 54 ? 0 : static_cast<uint16_t>((r.Next() & 0x3F) << 5);
    }
    return a;
}

// The wall clock: the thread's processor-time clock is a system call here (1.3 us, as much as a
// twentieth of a changed frame, counted in both times); the median below drops the pairs of
// frames another program interrupted.
double Seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The rain model's own share of a changed frame: its step and sweep, the rows handed to a draw
// that draws nothing.
struct NoDraw {
    bool TakesRows() const { return true; }
    void Row(int, const Cell*, int) {}
    void Cell(int, int, int, int) {}
    void EndRow(int) {}
};

// Each iteration draws a frame, then copies as many bytes with memcpy, timing both: a busy
// machine slows both alike, so their ratio holds where either time alone would wander.
// Streams move on every second frame, so the changed frames alternate between many cells and
// few: a ratio is taken over two frames and their two copies, whose median is then the typical
// frame's (the median of single frames falls between the two kinds, wherever noise puts it).
// The reported time is the frame's; memcpy_ns (mean) and ratio are counters.
void BM_Frame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    colorType = static_cast<ColorType>(state.range(2));
    const unsigned density = static_cast<unsigned>(state.range(3));
    ShownCells shown;
    ShownCells* const changedOnly = state.range(4) != 0 ? &shown : nullptr;
    const bool modelOnly = state.range(4) == 2;
    const int scale = static_cast<int>(state.range(5));
    clipRect = {0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height)};

    auto glyphs = SyntheticGlyphs(scale);
    RainModel model;
    const GridSize grid = GridFor(width, height, glyphs->width, glyphs->height);
    if (!model.Allocate(grid.columns, grid.rows)) {
        state.SkipWithError("grid allocation failed");
        return;
    }
    RandomSource seedRandom(12345), frameRandom;
    model.Seed(density, seedRandom);
    std::vector<uint16_t> pixels(static_cast<size_t>(width) * height);
    SurfaceInfo surface{pixels.data(), width, height, width};
    if (changedOnly != nullptr)
        ComposeFrame(
            model, frameRandom, 8, *glyphs, surface, [] { return false; }, &shown);
    const size_t bytes = pixels.size() * sizeof(uint16_t);
    std::vector<char> src(bytes, 1), dst(bytes);
    double memcpySeconds = 0, pairFrame = 0, pairCopy = 0;
    bool second = false;
    std::vector<double> ratios;
    ratios.reserve(1 << 16);
    for (auto _ : state) {
        const double t0 = Seconds();
        if (modelOnly) {
            NoDraw none;
            model.StepStreams(frameRandom, [] { return false; });
            model.SweepCells(frameRandom, 8, none, [] { return false; });
        } else {
            ComposeFrame(
                model, frameRandom, 8, *glyphs, surface, [] { return false; }, changedOnly);
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
        const double t1 = Seconds();
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
        const double t2 = Seconds();
        const double frame = t1 - t0;
        memcpySeconds += t2 - t1;
        pairFrame += frame;
        pairCopy += t2 - t1;
        if (second && pairCopy > 0) ratios.push_back(pairFrame / pairCopy);
        if (second) pairFrame = pairCopy = 0;
        second = !second;
        state.SetIterationTime(frame);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["memcpy_ns"] = benchmark::Counter(memcpySeconds * 1e9, benchmark::Counter::kAvgIterations);
    // Each ratio's frames and copies ran under the same load, and the median drops the ones
    // where another program took the cache or the core in between.
    std::sort(ratios.begin(), ratios.end());
    state.counters["ratio"] = ratios.empty() ? 0 : ratios[ratios.size() / 2];
}

// The Windows module's modes, then the monitors the X11 program draws changed cells on, with the
// glyph scale it picks there by itself.
const int64_t kSizes[][2] = {{800, 600}, {1024, 768}, {1280, 1024}};
const int64_t kMonitors[][3] = {{1920, 1080, 1}, {3840, 2160, 2}};

void FrameArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "layout", "density", "changed", "scale"});
    for (auto& s : kSizes)
        for (int layout : {0, 1}) {
            for (int density : {300, 400}) b->Args({s[0], s[1], layout, density, 0, 1});
            b->Args({s[0], s[1], layout, 300, 1, 1});
        }
    for (auto& m : kMonitors)
        for (int changed : {0, 1}) b->Args({m[0], m[1], 1, 300, changed, m[2]});
    for (auto& s : kSizes) b->Args({s[0], s[1], 1, 300, 2, 1});
    // The model alone not at 3840x2160: a fiftieth of its memcpy there, whose copies would take most of the run.
    b->Args({1920, 1080, 1, 300, 2, 1});
}

}  // namespace

BENCHMARK(BM_Frame)->Apply(FrameArgs)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
