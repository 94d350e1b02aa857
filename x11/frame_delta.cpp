#include "x11/frame_delta.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kLooks = kRequiredGlyphFrames * 4;  // glyph << 2 | shade
// Cells up to 64 x 80 pixels keep widened glyphs (at most 4.5 MB); a glyph file's larger cells are
// widened each time instead.
constexpr int32_t kMaxWideCell = 64 * 80;

// A widened glyph's lines into the image; the glyph sets' widths get copies of known size, which the
// compiler makes a few wide moves where a library call would cost more than the copy.
template <int32_t kWidth>
void CopyLines(uint32_t* out, int32_t pitch, const uint32_t* from, int32_t width, int32_t h) {
    const size_t bytes = static_cast<size_t>(kWidth > 0 ? kWidth : width) * sizeof(uint32_t);
    for (int32_t r = 0; r < h; ++r, from += width, out += pitch) std::memcpy(out, from, bytes);
}

void CopyLinesAnyWidth(uint32_t* out, int32_t pitch, const uint32_t* from, int32_t width, int32_t h) {
    switch (width) {
        case 16:
            return CopyLines<16>(out, pitch, from, width, h);
        case 32:
            return CopyLines<32>(out, pitch, from, width, h);
        case 48:
            return CopyLines<48>(out, pitch, from, width, h);
        default:
            return CopyLines<0>(out, pitch, from, width, h);
    }
}

// The part of r inside src, widened into dst.
void WidenRect(const PixelConverter& converter, const SurfaceInfo& src, uint32_t* dst, int32_t dstPitch,
               const PixelRect& r) {
    const int32_t x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
    const int32_t x1 = std::min(r.x + r.width, src.width), y1 = std::min(r.y + r.height, src.height);
    if (x0 >= x1 || y0 >= y1) return;
    const SurfaceInfo part{src.pixels + static_cast<ptrdiff_t>(y0) * src.pitch + x0, x1 - x0, y1 - y0, src.pitch};
    converter.ConvertFrame(part, dst + static_cast<ptrdiff_t>(y0) * dstPitch + x0, dstPitch);
}

}  // namespace

void FrameDelta::Reshape(int32_t width, int32_t height, int32_t cellWidth, int32_t cellHeight) {
    width_ = width;
    height_ = height;
    cellWidth_ = std::max(cellWidth, 1);
    cellHeight_ = std::max(cellHeight, 1);
    whole_ = true;
    wideMade_.clear();  // made again from the frames as they are now
}

void FrameDelta::Redraw(const PixelRect& r) {
    over_.push_back(r);
    const int32_t columns = shown_.columns;
    if (columns == 0 || r.width <= 0 || r.height <= 0) return;
    const int32_t rows = static_cast<int32_t>(shown_.cells.size()) / columns;
    const int32_t c1 = std::min((r.x + r.width - 1) / cellWidth_, columns - 1);
    const int32_t r1 = std::min((r.y + r.height - 1 + kTopRowOffset) / cellHeight_, rows - 1);
    for (int32_t row = std::max((r.y + kTopRowOffset) / cellHeight_, 0); row <= r1; ++row)
        for (int32_t c = std::max(r.x / cellWidth_, 0); c <= c1; ++c)
            shown_.cells[static_cast<size_t>(row) * static_cast<size_t>(columns) + c] = ShownCells::kUnknown;
}

void FrameDelta::WidenAsDrawn(const PixelConverter& converter, uint32_t* dst, int32_t dstPitch) {
    widen_ = &converter;
    widenDst_ = dst;
    widenPitch_ = dstPitch;
}

ShownCells* FrameDelta::Begin() {
    drewWhole_ = whole_;
    if (whole_) shown_.Forget(0, 0);  // the composer sizes it for the grid, every cell unknown
    whole_ = false;
    // A whole frame is widened whole afterwards: its cells need not cover every pixel.
    widened_ = widen_ != nullptr && !drewWhole_;
    shown_.put = widened_ ? &FrameDelta::Widen : nullptr;
    shown_.putCells = widened_ ? &FrameDelta::WidenCells : nullptr;
    shown_.context = this;
    return &shown_;
}

void FrameDelta::Widen(void* self, uint16_t* pixels, int32_t pitch, int32_t x, int32_t y, int32_t width,
                       int32_t height) {
    const FrameDelta& d = *static_cast<const FrameDelta*>(self);
    uint32_t* const to = d.widenDst_ + static_cast<ptrdiff_t>(y) * d.widenPitch_ + x;
    // The image's lines are long out of the cache and one pitch apart: asked for all at once, they
    // arrive together, where the stores alone wait for a few at a time (a third less at 3840x2160).
    for (int32_t line = 0; line < height; ++line) {
        const uint32_t* const start = to + static_cast<ptrdiff_t>(line) * d.widenPitch_;
        for (int32_t at = 0; at < width; at += 16) __builtin_prefetch(start + at, 1);
    }
    d.widen_->ConvertFrame(SurfaceInfo{pixels, width, height, pitch}, to, d.widenPitch_);
}

const uint32_t* FrameDelta::WideGlyph(const RowCell& cell, uint16_t look, int32_t size) {
    if (wideBy_ != widen_ || wideMade_.size() != kLooks || wideGlyphs_.size() != static_cast<size_t>(size) * kLooks) {
        wideBy_ = widen_;
        wideMade_.assign(kLooks, Widened{});
        wideGlyphs_.assign(static_cast<size_t>(size) * kLooks, 0);
    }
    uint32_t* const wide = wideGlyphs_.data() + static_cast<size_t>(look) * static_cast<size_t>(size);
    Widened& made = wideMade_[look];
    if (made.frame != cell.frame || made.op.mask != cell.op.mask || made.op.shift != cell.op.shift) {
        made = {cell.frame, cell.op};
        widen_->ConvertShaded(cell.frame, size, 1, cell.op, wide, size);
    }
    return wide;
}

void FrameDelta::WidenCells(void* self, const RowCell* cells, const uint16_t* looks, int32_t count, int32_t x,
                            int32_t y, int32_t w, int32_t h) {
    FrameDelta& d = *static_cast<FrameDelta*>(self);
    // No prefetch here: a copy's stores alone measured faster than with the lines asked for first.
    uint32_t* const to = d.widenDst_ + static_cast<ptrdiff_t>(y) * d.widenPitch_ + x;
    for (int32_t k = 0; k < count; ++k) {
        if (looks[k] < kLooks && w * h <= kMaxWideCell)
            CopyLinesAnyWidth(to + k * w, d.widenPitch_, d.WideGlyph(cells[k], looks[k], w * h), w, h);
        else
            d.widen_->ConvertShaded(cells[k].frame, w, h, cells[k].op, to + k * w, d.widenPitch_);
    }
}

const std::vector<PixelRect>& FrameDelta::End() {
    rects_.clear();
    widen_ = nullptr;  // given again for each frame
    late_.swap(over_);
    over_.clear();
    if (drewWhole_) {
        rects_.push_back({0, 0, width_, height_});
        return rects_;
    }
    // The sweep went bottom row first: take its rows in the opposite order.
    const std::vector<CellRun>& runs = shown_.runs;
    size_t end = runs.size();
    while (end > 0) {
        size_t start = end - 1;
        while (start > 0 && runs[start - 1].row == runs[end - 1].row) --start;
        for (size_t k = start; k < end; ++k) AddRun(runs[k]);
        end = start;
    }
    return rects_;
}

PixelRect FrameDelta::RectOf(const CellRun& run) const {
    const int32_t top = run.row * cellHeight_ - kTopRowOffset;
    const int32_t y0 = std::max(top, 0), y1 = std::min(top + cellHeight_, height_);
    const int32_t x0 = run.first * cellWidth_, x1 = std::min(run.end * cellWidth_, width_);
    return {x0, y0, x1 - x0, y1 - y0};
}

void FrameDelta::AddRun(const CellRun& run) {
    const PixelRect r = RectOf(run);
    if (r.width > 0 && r.height > 0) rects_.push_back(r);
}

void FrameDelta::Convert(const PixelConverter& converter, const SurfaceInfo& src, uint32_t* dst,
                         int32_t dstPitch) const {
    for (const PixelRect& r : widened_ ? late_ : rects_) WidenRect(converter, src, dst, dstPitch, r);
}
