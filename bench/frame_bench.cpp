// Whole frames against a plain memcpy of the same number of bytes: the blitter writes
// every pixel about once, so the ratio shows what the model and the per-cell work cost.
#include <benchmark/benchmark.h>

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

void BM_Frame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    colorType = static_cast<ColorType>(state.range(2));
    const unsigned density = static_cast<unsigned>(state.range(3));
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
    for (auto _ : state) {
        ComposeFrame(model, frameRandom, 8, *glyphs, surface);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size() * 2));
}

void BM_Memcpy(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0)) * state.range(1) * 2;
    std::vector<char> src(bytes, 1), dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

const int64_t kSizes[][2] = {{800, 600}, {1024, 768}, {1280, 1024}};

void FrameArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h", "layout", "density"});
    for (auto& s : kSizes)
        for (int layout : {0, 1})
            for (int density : {300, 400}) b->Args({s[0], s[1], layout, density});
}

void MemcpyArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h"});
    for (auto& s : kSizes) b->Args({s[0], s[1]});
}

}  // namespace

BENCHMARK(BM_Frame)->Apply(FrameArgs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->Apply(MemcpyArgs)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
