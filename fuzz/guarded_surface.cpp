#include "fuzz/guarded_surface.h"

#include <cstdio>
#include <cstdlib>

#include "display/glyph_blitter.h"

GuardedSurface::GuardedSurface(int32_t width, int32_t height)
    : width_(width),
      height_(height),
      pitch_(width + 2 * kGuard),
      pixels_(static_cast<size_t>(pitch_) * static_cast<size_t>(height + 2 * kGuard)),
      before_(pixels_.size()) {}

SurfaceInfo GuardedSurface::Info() { return SurfaceInfo{&pixels_[Index(0, 0)], width_, height_, pitch_}; }

void GuardedSurface::Fill(uint16_t seed) {
    for (size_t i = 0; i < pixels_.size(); ++i)
        pixels_[i] = static_cast<uint16_t>(((i * 40503u + seed * 2654435761u) >> 7) | 1u);
    before_ = pixels_;
}

bool GuardedSurface::OnlyClipChanged() const {
    for (int32_t y = -kGuard; y < height_ + kGuard; ++y)
        for (int32_t x = -kGuard; x < width_ + kGuard; ++x)
            if (!InClipRect(x, y) && At(x, y) != Before(x, y)) return false;
    return true;
}

bool GuardedSurface::Matches(const std::vector<uint16_t>& picture, int32_t& x, int32_t& y) const {
    if (picture == pixels_) return true;
    for (size_t i = 0; i < pixels_.size(); ++i) {
        if (picture[i] != pixels_[i]) {
            x = static_cast<int32_t>(i % static_cast<size_t>(pitch_)) - kGuard;
            y = static_cast<int32_t>(i / static_cast<size_t>(pitch_)) - kGuard;
            break;
        }
    }
    return false;
}

bool InClipRect(int32_t x, int32_t y) {
    return x >= clipRect.left && x < clipRect.right && y >= clipRect.top && y < clipRect.bottom;
}

void FuzzFail(const char* what, int64_t x, int64_t y) {
    std::fprintf(stderr, "fuzz check failed: %s (%lld, %lld)\n", what, static_cast<long long>(x),
                 static_cast<long long>(y));
    std::abort();
}

uint16_t DimPixel(uint16_t p, ColorType layout, int32_t shade) {
    if (shade < 1 || shade > 3) return p;
    if (layout == kColor565)
        return static_cast<uint16_t>(((p >> 11) >> shade) << 11 | (((p >> 5) & 63) >> shade) << 5 |
                                     ((p & 31) >> shade));
    return static_cast<uint16_t>((((p >> 10) & 31) >> shade) << 10 | (((p >> 5) & 31) >> shade) << 5 |
                                 ((p & 31) >> shade));
}

void CheckLleEncoding(const uint16_t* words, int32_t count, const std::vector<uint16_t>& frame, int32_t w, int32_t h,
                      uint16_t key) {
    int32_t at = 0;
    auto next = [&]() -> uint16_t {
        if (at >= count) FuzzFail("LLE words end before the last row", at, count);
        return words[at++];
    };
    std::vector<bool> covered(static_cast<size_t>(w));
    for (int32_t y = 0; y < h; ++y) {
        const uint16_t* row = &frame[static_cast<size_t>(y) * static_cast<size_t>(w)];
        covered.assign(covered.size(), false);
        const uint16_t n = next();
        if (n == 1) {
            for (int32_t x = 0; x < w; ++x) {
                if (next() != row[x]) FuzzFail("whole LLE row differs from the frame", x, y);
                if (row[x] == key) FuzzFail("whole LLE row holds a key pixel", x, y);
                covered[x] = true;
            }
        } else {
            int32_t p = 0;
            for (int k = 1; k < n; ++k) {
                p += next();
                const uint16_t len = next();
                if (len == 0) FuzzFail("empty LLE run", p, y);
                for (int32_t i = 0; i < len; ++i, ++p) {
                    if (p >= w) FuzzFail("LLE run past the row", p, y);
                    if (next() != row[p] || row[p] == key) FuzzFail("LLE run pixel differs from the frame", p, y);
                    covered[p] = true;
                }
            }
        }
        for (int32_t x = 0; x < w; ++x)
            if (!covered[x] && row[x] != key) FuzzFail("opaque pixel missing from the LLE encoding", x, y);
    }
    if (at != count) FuzzFail("LLE words left over after the last row", at, count);
}

void CheckDraw(const GuardedSurface& s, const std::vector<uint16_t>& frame, int32_t w, int32_t h, const Pen& pen,
               DrawMode mode, uint16_t key, ColorType layout, int32_t shade) {
    std::vector<uint16_t> want = s.Painted();
    for (int32_t cy = 0; cy < h; ++cy) {
        for (int32_t cx = 0; cx < w; ++cx) {
            // clipRect lies inside the surface, so a pixel inside it is one of ours.
            const int64_t x = static_cast<int64_t>(pen.x) + cx;
            const int64_t y = static_cast<int64_t>(pen.y) + cy;
            if (x < clipRect.left || x >= clipRect.right || y < clipRect.top || y >= clipRect.bottom) continue;
            const uint16_t p = frame[static_cast<size_t>(cy) * static_cast<size_t>(w) + static_cast<size_t>(cx)];
            if (mode == DrawMode::kLle && p == key) continue;
            s.Patch(want, static_cast<int32_t>(x), static_cast<int32_t>(y),
                    mode == DrawMode::kDimmed ? DimPixel(p, layout, shade) : p);
        }
    }
    int32_t x = 0, y = 0;
    if (!s.Matches(want, x, y)) {
        FuzzFail(mode == DrawMode::kLle   ? "LLE draw left a wrong pixel"
                 : mode == DrawMode::kRaw ? "raw draw left a wrong pixel"
                                          : "dimmed draw left a wrong pixel",
                 x, y);
    }
}
