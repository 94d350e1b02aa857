// Whole frames against a plain memcpy of the same number of bytes: the blitter writes
// every pixel about once, so the ratio shows what the model and the per-cell work cost.
// The changed:1 rows draw only the cells that differ from the frame before, as the X11
// program does.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "app/frame_composer.h"
#include "display/glyph_blitter.h"

namespace {

// A realistic glyph cell, 55 frames of antialiased-looking noise.
constexpr int kGlyphW = 16;
constexpr int kGlyphH = 20;

std::unique_ptr<Animation> SyntheticGlyphs() {
    auto a = std::make_unique<Animation>(kGlyphW, kGlyphH, 55, 0);
    RandomSource r(99);
    for (int f = 0; f < 55; ++f) {
        a->frames[f] = new uint16_t[kGlyphW * kGlyphH];
        for (int i = 0; i < kGlyphW * kGlyphH; ++i)
            a->frames[f][i] = f == 54 ? 0 : static_cast<uint16_t>((r.Next() & 0x3F) << 5);
    }
    return a;
}

// Processor time of this thread: on a shared machine the wall clock also counts the time
// other programs ran, which dwarfs a frame.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Each iteration draws a frame, then copies as many bytes with memcpy, timing both: a busy
// machine slows both alike, so their ratio holds where either time alone would wander.
// The reported time is the frame's; memcpy_ns (mean) and ratio are counters.
void BM_Frame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    colorType = static_cast<ColorType>(state.range(2));
    const unsigned density = static_cast<unsigned>(state.range(3));
    ShownCells shown;
    ShownCells* const changedOnly = state.range(4) != 0 ? &shown : nullptr;
    clipRect = {0, 0, static_cast<uint16_t>(width), static_cast<uint16_t>(height)};

    auto glyphs = SyntheticGlyphs();
    RainModel model;
    if (!model.Allocate(width / kGlyphW + 1, height / kGlyphH + 2)) {
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
    double memcpySeconds = 0;
    std::vector<double> ratios;
    ratios.reserve(1 << 16);
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        ComposeFrame(
            model, frameRandom, 8, *glyphs, surface, [] { return false; }, changedOnly);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
        const double t1 = ThreadSeconds();
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
        const double t2 = ThreadSeconds();
        const double frame = t1 - t0;
        memcpySeconds += t2 - t1;
        if (t2 > t1) ratios.push_back(frame / (t2 - t1));
        state.SetIterationTime(frame);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["memcpy_ns"] = benchmark::Counter(memcpySeconds * 1e9, benchmark::Counter::kAvgIterations);
    // The median of the pairs: a pair is measured under the same load, and the median drops
    // the pairs where another program took the cache or the core in between.
    std::sort(ratios.begin(), ratios.end());
    state.counters["ratio"] = ratios.empty() ? 0 : ratios[ratios.size() / 2];
}

const int64_t kSizes[][2] = {{800, 600}, {1024, 768}, {1280, 1024}};

void FrameArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "layout", "density", "changed"});
    for (auto& s : kSizes)
        for (int layout : {0, 1}) {
            for (int density : {300, 400}) b->Args({s[0], s[1], layout, density, 0});
            b->Args({s[0], s[1], layout, 300, 1});
        }
}

}  // namespace

BENCHMARK(BM_Frame)->Apply(FrameArgs)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
