// The X11 saver's frame on a 24/32-bit visual: compose the 16-bit frame, then widen it to
// 32 bits, against a memcpy of the 32-bit frame. Three ways to widen are weighed: the
// saver's pass for 0x00RRGGBB (SSE2 arithmetic), its byte tables (any other masks, here
// 0x00BBGGRR), and plain per-pixel shifts left to the compiler. BM_ChangedFrame is the
// saver's frame as it is: only the changed cells composed and widened, each row as it is
// drawn, at 1920x1080 with glyph2.ani and at 3840x2160 with glyph2-2x.ani, against a memcpy
// of its 32-bit frame.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "x11/frame_delta.h"
#include "x11/glyph_search.h"
#include "x11/pixel_convert.h"
#include "x11/rain_effect.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void ShiftConvert(const SurfaceInfo& src, uint32_t* dst) {
    for (int32_t y = 0; y < src.height; ++y) {
        const uint16_t* in = src.pixels + static_cast<ptrdiff_t>(y) * src.pitch;
        uint32_t* out = dst + static_cast<ptrdiff_t>(y) * src.width;
        for (int32_t x = 0; x < src.width; ++x) {
            const uint32_t p = in[x];
            const uint32_t r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
            out[x] = ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
        }
    }
}

struct Scene {
    std::vector<uint16_t> frame = std::vector<uint16_t>(kWidth * kHeight);
    std::vector<uint32_t> wide = std::vector<uint32_t>(kWidth * kHeight);
    SurfaceInfo surface{frame.data(), kWidth, kHeight, kWidth};
    PixelConverter direct;  // 0x00RRGGBB
    PixelConverter table;   // 0x00BBGGRR goes through the tables
    std::unique_ptr<RainEffect> effect;

    explicit Scene(benchmark::State& state) {
        std::string tried, found;
        auto glyphs = LoadFirstGlyphSet({VORLEX_BUILT_GLYPHS}, kColor565, tried, found);
        if (glyphs == nullptr || !direct.Build(kColor565, 0xFF0000, 0xFF00, 0xFF) ||
            !table.Build(kColor565, 0xFF, 0xFF00, 0xFF0000)) {
            state.SkipWithError(("no glyph set: " + tried).c_str());
            return;
        }
        effect = std::make_unique<RainEffect>(std::move(glyphs), kColor565, 300, 8, 12345);
        if (!effect->Reshape(kWidth, kHeight)) state.SkipWithError("grid allocation failed");
    }
};

template <int kind>
void BM_ComposeConvert(benchmark::State& state) {
    Scene s(state);
    for (auto _ : state) {
        s.effect->Draw(s.surface);
        if (kind == 0) s.direct.ConvertFrame(s.surface, s.wide.data(), kWidth);
        if (kind == 1) s.table.ConvertFrame(s.surface, s.wide.data(), kWidth);
        if (kind == 2) ShiftConvert(s.surface, s.wide.data());
        benchmark::DoNotOptimize(s.wide.data());
        benchmark::ClobberMemory();
    }
}

void BM_ConvertOnly(benchmark::State& state) {
    Scene s(state);
    s.effect->Draw(s.surface);
    for (auto _ : state) {
        s.direct.ConvertFrame(s.surface, s.wide.data(), kWidth);
        benchmark::DoNotOptimize(s.wide.data());
        benchmark::ClobberMemory();
    }
}

void BM_Compose(benchmark::State& state) {
    Scene s(state);
    for (auto _ : state) {
        s.effect->Draw(s.surface);
        benchmark::DoNotOptimize(s.frame.data());
        benchmark::ClobberMemory();
    }
}

void BM_Memcpy32(benchmark::State& state) {
    std::vector<uint32_t> src(kWidth * kHeight, 1), dst(kWidth * kHeight);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size() * 4);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

void BM_ChangedFrame(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const std::string set = state.range(2) == 1 ? VORLEX_BUILT_GLYPHS : VORLEX_BUILT_GLYPHS_2X;
    std::string tried, found;
    auto glyphs = LoadFirstGlyphSet({set}, kColor565, tried, found);
    PixelConverter direct;
    if (glyphs == nullptr || !direct.Build(kColor565, 0xFF0000, 0xFF00, 0xFF)) {
        state.SkipWithError(("no glyph set: " + tried).c_str());
        return;
    }
    RainEffect effect(std::move(glyphs), kColor565, 300, 8, 12345);
    FrameDelta delta;
    if (!effect.Reshape(width, height)) return state.SkipWithError("grid allocation failed");
    delta.Reshape(width, height, effect.CellWidth(), effect.CellHeight());
    std::vector<uint16_t> frame(static_cast<size_t>(width) * height);
    std::vector<uint32_t> wide(frame.size()), copy(frame.size(), 1);
    const SurfaceInfo surface{frame.data(), width, height, width};
    double memcpyTime = 0, rects = 0;
    for (auto _ : state) {
        delta.WidenAsDrawn(direct, wide.data(), width);
        effect.Draw(
            surface, [] { return false; }, delta.Begin());
        rects += static_cast<double>(delta.End().size());
        delta.Convert(direct, surface, wide.data(), width);
        benchmark::DoNotOptimize(wide.data());
        state.PauseTiming();
        const auto t0 = std::chrono::steady_clock::now();
        std::memcpy(wide.data(), copy.data(), copy.size() * 4);
        benchmark::ClobberMemory();
        memcpyTime += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.ResumeTiming();
    }
    state.counters["memcpy_us"] = benchmark::Counter(memcpyTime * 1e6, benchmark::Counter::kAvgIterations);
    state.counters["rects"] = benchmark::Counter(rects, benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_ChangedFrame)->Args({1920, 1080, 1})->Args({3840, 2160, 2})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeConvert<0>)->Name("BM_ComposeConvert/direct")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeConvert<1>)->Name("BM_ComposeConvert/tables")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeConvert<2>)->Name("BM_ComposeConvert/shifts")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compose)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy32)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
