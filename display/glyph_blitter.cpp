#include "display/glyph_blitter.h"

#include <cstddef>
#include <cstring>

#include "glyphs/animation.h"

ClipRect clipRect = {0, 0, 0, 0};
ColorType colorType = kColor555;

void CopyRow(uint16_t* dst, const uint16_t* src, int32_t n) {
    if (n > 0) std::memcpy(dst, src, static_cast<size_t>(n) * sizeof(uint16_t));
}

namespace {

constexpr ShadeOp kShadeOps[2][3] = {
    {{0x7BDE, 1}, {0x739C, 2}, {0x6318, 3}},  // 5-5-5
    {{0xF7DE, 1}, {0xE79C, 2}, {0xC718, 3}},  // 5-6-5
};
constexpr ShadeOp kCopyOp = {0xFFFF, 0};

// One loop per mask and shift, so nothing is decided per pixel.
template <uint16_t kMask, int kShift>
void DimRowT(uint16_t* dst, const uint16_t* src, int32_t n) {
    for (int32_t i = 0; i < n; ++i) dst[i] = static_cast<uint16_t>((src[i] & kMask) >> kShift);
}

template <int L, int S>
constexpr RowOp kDimOp = DimRowT<kShadeOps[L][S].mask, kShadeOps[L][S].shift>;
constexpr RowOp kDimOps[2][3] = {
    {kDimOp<0, 0>, kDimOp<0, 1>, kDimOp<0, 2>},
    {kDimOp<1, 0>, kDimOp<1, 1>, kDimOp<1, 2>},
};

// A whole fully visible cell, dimmed: one call per cell instead of one per row.
using CellOp = void (*)(uint16_t* dst, const uint16_t* src, int32_t w, int32_t h, int32_t pitch);

template <uint16_t kMask, int kShift>
void DimCellT(uint16_t* dst, const uint16_t* src, int32_t w, int32_t h, int32_t pitch) {
    for (int32_t r = 0; r < h; ++r, src += w, dst += pitch)
        for (int32_t i = 0; i < w; ++i) dst[i] = static_cast<uint16_t>((src[i] & kMask) >> kShift);
}

template <int L, int S>
constexpr CellOp kDimCellOp = DimCellT<kShadeOps[L][S].mask, kShadeOps[L][S].shift>;
constexpr CellOp kDimCellOps[2][3] = {
    {kDimCellOp<0, 0>, kDimCellOp<0, 1>, kDimCellOp<0, 2>},
    {kDimCellOp<1, 0>, kDimCellOp<1, 1>, kDimCellOp<1, 2>},
};

// Whole rows of a fully visible raw cell. Glyph rows are short (a few dozen bytes), where
// a call into the library's memcpy costs more than the copy; a width known at compile
// time lets the compiler emit a few wide moves per row.
template <int32_t kWidth>
void CopyCellRows(uint16_t* dst, const uint16_t* src, int32_t height, int32_t pitch) {
    for (int32_t r = 0; r < height; ++r, src += kWidth, dst += pitch) std::memcpy(dst, src, kWidth * sizeof(uint16_t));
}

void CopyCellRowsAnyWidth(uint16_t* dst, const uint16_t* src, int32_t width, int32_t height, int32_t pitch) {
    switch (width) {
        case 8:
            return CopyCellRows<8>(dst, src, height, pitch);
        case 10:
            return CopyCellRows<10>(dst, src, height, pitch);
        case 12:
            return CopyCellRows<12>(dst, src, height, pitch);
        case 14:
            return CopyCellRows<14>(dst, src, height, pitch);
        case 16:
            return CopyCellRows<16>(dst, src, height, pitch);
        case 18:
            return CopyCellRows<18>(dst, src, height, pitch);
        case 20:
            return CopyCellRows<20>(dst, src, height, pitch);
        case 24:
            return CopyCellRows<24>(dst, src, height, pitch);
        default:
            break;
    }
    const size_t bytes = static_cast<size_t>(width) * sizeof(uint16_t);
    for (int32_t r = 0; r < height; ++r, src += width, dst += pitch) std::memcpy(dst, src, bytes);
}

inline int32_t Max(int32_t a, int32_t b) { return a > b ? a : b; }
inline int32_t Min(int32_t a, int32_t b) { return a < b ? a : b; }

// Walks one LLE row without drawing it and returns the start of the next.
const uint16_t* SkipLleRow(const uint16_t* src, int32_t w) {
    const uint16_t count = *src++;
    if (count == 1) return src + w;
    for (int k = 1; k < count; ++k) {
        src += 1;  // skip S
        const uint16_t n = *src++;
        src += n;
    }
    return src;
}

void DrawLleFull(const SurfaceInfo& surface, const Pen& pen, const uint16_t* src, int32_t w, int32_t h) {
    uint16_t* row = surface.pixels + static_cast<std::ptrdiff_t>(pen.y) * surface.pitch + pen.x;
    for (int32_t r = 0; r < h; ++r, row += surface.pitch) {
        const uint16_t count = *src++;
        if (count == 1) {
            std::memcpy(row, src, static_cast<size_t>(w) * sizeof(uint16_t));
            src += w;
            continue;
        }
        uint16_t* p = row;
        for (int k = 1; k < count; ++k) {
            p += *src++;
            const uint16_t n = *src++;
            std::memcpy(p, src, static_cast<size_t>(n) * sizeof(uint16_t));
            src += n;
            p += n;
        }
    }
}

// Writes only cell columns [clip.col0, clip.col1): a run straddling either edge is cut
// there, and the runs after it still land at their own positions.
void DrawLleClipped(const SurfaceInfo& surface, const Pen& pen, const uint16_t* src, int32_t w, const CellClip& clip) {
    for (int32_t r = 0; r < clip.row0; ++r) src = SkipLleRow(src, w);
    // Points at the first visible column, so no pointer is formed outside the surface.
    uint16_t* row =
        surface.pixels + static_cast<std::ptrdiff_t>(pen.y + clip.row0) * surface.pitch + (pen.x + clip.col0);
    for (int32_t r = clip.row0; r < clip.row1; ++r, row += surface.pitch) {
        const uint16_t count = *src++;
        if (count == 1) {
            CopyRow(row, src + clip.col0, clip.col1 - clip.col0);
            src += w;
            continue;
        }
        int32_t p = 0;
        for (int k = 1; k < count; ++k) {
            p += *src++;
            const int32_t n = *src++;
            const int32_t a = Max(p, clip.col0);
            const int32_t b = Min(p + n, clip.col1);
            if (a < b) CopyRow(row + (a - clip.col0), src + (a - p), b - a);
            src += n;
            p += n;
        }
    }
}

// Eight pixels at once: the compiler's vector type turns into one SIMD register where the
// target has them and into plain code elsewhere.
using Pixels8 = uint16_t __attribute__((vector_size(16)));

// One scan line of one cell; copying is the mask 0xFFFF with shift 0, so a row of mixed
// shades runs without a branch per cell. kWidth 0: the width is only known at run time.
template <int32_t kWidth>
inline void ShadeLine(uint16_t* dst, const uint16_t* src, int32_t w, ShadeOp op) {
    const int32_t n = kWidth != 0 ? kWidth : w;
    int32_t i = 0;
    if (kWidth != 0) {
        const Pixels8 mask = Pixels8{} + op.mask;
        for (; i + 8 <= n; i += 8) {
            Pixels8 v;
            std::memcpy(&v, src + i, sizeof v);
            v = (v & mask) >> op.shift;
            std::memcpy(dst + i, &v, sizeof v);
        }
    }
    for (; i < n; ++i) dst[i] = static_cast<uint16_t>((src[i] & op.mask) >> op.shift);
}

// kLines scan lines from row r of every cell, cell after cell: a few lines at a time
// share each cell's set-up and still write the surface in a few sequential runs.
template <int32_t kWidth, int32_t kLines>
void ShadeBand(uint16_t* line, int32_t pitch, const RowCell* cells, int32_t count, int32_t w, int32_t r) {
    const int32_t width = kWidth != 0 ? kWidth : w;
    const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(r) * width;
    for (int32_t k = 0; k < count; ++k, line += width) {
        const uint16_t* src = cells[k].frame + offset;
        const ShadeOp op = cells[k].op;
        for (int32_t j = 0; j < kLines; ++j) ShadeLine<kWidth>(line + j * pitch, src + j * width, width, op);
    }
}

// Scan lines [row0, row1) of the cells.
template <int32_t kWidth>
void ShadeLines(uint16_t* line, int32_t pitch, const RowCell* cells, int32_t count, int32_t w, int32_t row0,
                int32_t row1) {
    constexpr int32_t kGroup = 4;
    int32_t r = row0;
    for (; r + kGroup <= row1; r += kGroup, line += kGroup * pitch)
        ShadeBand<kWidth, kGroup>(line, pitch, cells, count, w, r);
    for (; r < row1; ++r, line += pitch) ShadeBand<kWidth, 1>(line, pitch, cells, count, w, r);
}

// The glyph set's cells are 16 pixels wide: that width gets a loop of whole vectors.
void ShadeLinesAnyWidth(uint16_t* line, int32_t pitch, const RowCell* cells, int32_t count, int32_t w, int32_t row0,
                        int32_t row1) {
    if (w == 16)
        ShadeLines<16>(line, pitch, cells, count, w, row0, row1);
    else
        ShadeLines<0>(line, pitch, cells, count, w, row0, row1);
}

// A cell that is cut by the clip rectangle, or lies outside it.
void ShadeClippedCell(const SurfaceInfo& surface, int64_t x, int32_t y, int32_t w, int32_t h, const RowCell& cell) {
    if (x >= clipRect.right || x + w <= clipRect.left) return;  // also keeps x within 32 bits
    const Pen pen{static_cast<int32_t>(x), y};
    const CellClip clip = ClipCell(pen, w, h);
    if (clip.Empty()) return;
    const uint16_t* src = cell.frame + static_cast<std::ptrdiff_t>(clip.row0) * w + clip.col0;
    uint16_t* dst =
        surface.pixels + static_cast<std::ptrdiff_t>(pen.y + clip.row0) * surface.pitch + (pen.x + clip.col0);
    for (int32_t r = clip.row0; r < clip.row1; ++r, src += w, dst += surface.pitch)
        ShadeLine<0>(dst, src, clip.col1 - clip.col0, cell.op);
}

}  // namespace

ShadeOp SelectShadeOp(ColorType layout, int32_t shade) {
    if (shade < 1 || shade > 3) return kCopyOp;
    return kShadeOps[layout == kColor565 ? 1 : 0][shade - 1];
}

void DrawCellRow(const SurfaceInfo& surface, const Pen& pen, int32_t w, int32_t h, const RowCell* cells,
                 int32_t count) {
    if (count <= 0 || w <= 0) return;
    // Every cell of the row shares its scan lines, so their clip is worked out once.
    const CellClip band = ClipCell(pen, w, h);
    if (band.row0 >= band.row1) return;
    auto cellX = [&](int32_t k) { return static_cast<int64_t>(pen.x) + static_cast<int64_t>(k) * w; };
    auto whole = [&](int32_t k) { return cellX(k) >= clipRect.left && cellX(k) + w <= clipRect.right; };
    // The wholly visible cells are one run [first, last); the cells around it are cut.
    int32_t first = 0;
    for (; first < count && !whole(first); ++first) ShadeClippedCell(surface, cellX(first), pen.y, w, h, cells[first]);
    int32_t last = first;
    while (last < count && whole(last)) ++last;
    for (int32_t k = last; k < count; ++k) ShadeClippedCell(surface, cellX(k), pen.y, w, h, cells[k]);
    if (first == last) return;
    uint16_t* line = surface.pixels + static_cast<std::ptrdiff_t>(pen.y + band.row0) * surface.pitch + cellX(first);
    ShadeLinesAnyWidth(line, surface.pitch, cells + first, last - first, w, band.row0, band.row1);
}

void DimRow(uint16_t* dst, const uint16_t* src, int32_t n, ColorType layout, int32_t shade) {
    SelectRowOp(layout, shade)(dst, src, n);
}

RowOp SelectRowOp(ColorType layout, int32_t shade) {
    if (shade < 1 || shade > 3) return CopyRow;
    return kDimOps[layout == kColor565 ? 1 : 0][shade - 1];
}

// 64-bit arithmetic: a pen far off the surface must not overflow.
bool FullyVisible(const Pen& pen, int32_t w, int32_t h) {
    const int64_t x = pen.x, y = pen.y;
    return y >= clipRect.top && x >= clipRect.left && y + h <= clipRect.bottom && x + w <= clipRect.right;
}

CellClip ClipCell(const Pen& pen, int32_t w, int32_t h) {
    const int64_t x = pen.x, y = pen.y;
    auto clamp = [](int64_t v, int32_t lo, int32_t hi) {
        return static_cast<int32_t>(v < lo ? lo : (v > hi ? hi : v));
    };
    // Each bound is clamped to the cell, so an empty result compares empty.
    return CellClip{clamp(clipRect.left - x, 0, w), clamp(clipRect.right - x, 0, w), clamp(clipRect.top - y, 0, h),
                    clamp(clipRect.bottom - y, 0, h)};
}

void DrawRawClipped(const SurfaceInfo& surface, const Pen& pen, const uint16_t* frame, int32_t w, int32_t h, RowOp op) {
    const CellClip clip = ClipCell(pen, w, h);
    if (clip.Empty()) return;
    const uint16_t* src = frame + static_cast<std::ptrdiff_t>(clip.row0) * w + clip.col0;
    uint16_t* dst =
        surface.pixels + static_cast<std::ptrdiff_t>(pen.y + clip.row0) * surface.pitch + (pen.x + clip.col0);
    const int32_t n = clip.col1 - clip.col0;
    for (int32_t r = clip.row0; r < clip.row1; ++r, src += w, dst += surface.pitch) op(dst, src, n);
}

void Animation::Draw(const SurfaceInfo& surface, const Pen& pen, int32_t frame) {
    currentFrame = frame;
    if (frame < 0 || frame >= frameCount || frame >= kMaxFrames || frames[frame] == nullptr) return;
    const uint16_t* src = frames[frame];
    if (compressed != 0) {
        if (FullyVisible(pen, width, height)) {
            DrawLleFull(surface, pen, src, width, height);
        } else {
            const CellClip clip = ClipCell(pen, width, height);
            if (!clip.Empty()) DrawLleClipped(surface, pen, src, width, clip);
        }
        return;
    }
    if (FullyVisible(pen, width, height)) {
        CopyCellRowsAnyWidth(surface.pixels + static_cast<std::ptrdiff_t>(pen.y) * surface.pitch + pen.x, src, width,
                             height, surface.pitch);
        return;
    }
    DrawRawClipped(surface, pen, src, width, height, CopyRow);
}

void Animation::DrawDimmed(const SurfaceInfo& surface, const Pen& pen, int32_t frame, int32_t shade) {
    currentFrame = frame;
    if (frame < 0 || frame >= frameCount || frame >= kMaxFrames || frames[frame] == nullptr) return;
    // Dimming reads the frame as raw pixels; an LLE frame is shorter than that.
    if (compressed != 0) return;
    const uint16_t* src = frames[frame];
    if (FullyVisible(pen, width, height)) {
        uint16_t* dst = surface.pixels + static_cast<std::ptrdiff_t>(pen.y) * surface.pitch + pen.x;
        if (shade >= 1 && shade <= 3)
            kDimCellOps[colorType == kColor565 ? 1 : 0][shade - 1](dst, src, width, height, surface.pitch);
        else
            CopyCellRowsAnyWidth(dst, src, width, height, surface.pitch);
        return;
    }
    DrawRawClipped(surface, pen, src, width, height, SelectRowOp(colorType, shade));
}
