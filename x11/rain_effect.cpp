#include "x11/rain_effect.h"

#include <algorithm>
#include <cstdio>

#include "display/glyph_blitter.h"

RainEffect::RainEffect(std::unique_ptr<Animation> glyphs, ColorType layout, int density, int highlight, uint32_t seed)
    : glyphs_(std::move(glyphs)), layout_(layout), density_(density), highlight_(highlight), seeding_(seed) {}

bool RainEffect::Reshape(int width, int height) {
    model_.Release();
    if (width < 1 || height < 1) return false;
    const GridSize grid = GridFor(width, height, glyphs_->width, glyphs_->height);
    if (!model_.Allocate(grid.columns, grid.rows)) return false;
    model_.Seed(static_cast<unsigned>(density_), seeding_);
    // The blitter's clip is 16-bit; larger windows show their top-left 65535 pixels.
    clipRect =
        ClipRect{0, 0, static_cast<uint16_t>(std::min(width, 65535)), static_cast<uint16_t>(std::min(height, 65535))};
    colorType = layout_;
    return true;
}

namespace {

// 3 x 5 digits, one row per 3 bits (most significant bit on the left).
constexpr uint16_t kDigits[10] = {075557, 026222, 071747, 071717, 055711, 074717, 074757, 071111, 075757, 075717};

}  // namespace

void DrawFpsCounter(const SurfaceInfo& surface, ColorType layout, double fps) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", fps);
    const uint16_t white = layout == kColor565 ? 0xFFFF : 0x7FFF;
    constexpr int kScale = 2, kMargin = 4;
    int x0 = kMargin;
    for (const char* c = text; *c != '\0'; ++c, x0 += 4 * kScale) {
        const bool dot = *c == '.';
        const uint16_t bits = dot ? 000002 : kDigits[*c - '0'];
        for (int row = 0; row < 5; ++row) {
            for (int col = 0; col < 3; ++col) {
                if ((bits >> ((4 - row) * 3 + (2 - col)) & 1) == 0) continue;
                for (int dy = 0; dy < kScale; ++dy) {
                    for (int dx = 0; dx < kScale; ++dx) {
                        const int x = x0 + col * kScale + dx, y = kMargin + row * kScale + dy;
                        if (x < surface.width && y < surface.height) surface.pixels[y * surface.pitch + x] = white;
                    }
                }
            }
        }
    }
}
