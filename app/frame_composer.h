#pragma once

#include <cstddef>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "display/glyph_blitter.h"
#include "display/surface_info.h"
#include "glyphs/animation.h"
#include "rain/rain_model.h"

// The top row sticks 10 pixels above the surface: cell (row i, column c) is drawn
// at (c * glyph width, i * glyph height - 10).
constexpr int kTopRowOffset = 10;

// Cells [first, end) of one row.
struct CellRun {
    int32_t row;
    int32_t first;
    int32_t end;
};

// What a buffer that keeps its frame shows, for composing only what changed: each cell's glyph
// and shade as last drawn there (kUnknown: draw it), and the runs of cells the last frame drew,
// bottom row first as the sweep goes. Pixels drawn over by anything else must be forgotten.
struct ShownCells {
    static constexpr uint16_t kUnknown = 0xFFFF;
    int32_t columns = 0;
    std::vector<uint16_t> cells;
    std::vector<CellRun> runs;
    // When set, each batch of changed cells is handed over as soon as it is drawn, while its pixels
    // are in the cache: the width x height pixels at (x, y), pitch apart, clipped to the surface.
    void (*put)(void* context, uint16_t* pixels, int32_t pitch, int32_t x, int32_t y, int32_t width,
                int32_t height) = nullptr;
    // When set beside put, cells wholly inside the clip that were drawn before are not drawn at all
    // (the surface keeps its old pixels there): count cells of w x h side by side from (x, y) go
    // over as glyph frames and shades, and as looks (glyph << 2 | shade, the same for the same pair).
    void (*putCells)(void* context, const RowCell* cells, const uint16_t* looks, int32_t count, int32_t x, int32_t y,
                     int32_t w, int32_t h) = nullptr;
    void* context = nullptr;

    void Forget(int32_t columnCount, int32_t rowCount) {
        columns = columnCount;
        cells.assign(static_cast<size_t>(columnCount) * static_cast<size_t>(rowCount), kUnknown);
    }
};

// One frame of the rain into a 16-bit surface: the stream step, then every cell, bottom
// row first. Platform-free, so the render thread adds only pacing, the back buffer and
// presentation, and whole frames can be tested without a display.
// The model's draw requests for a row are collected and the row is drawn scan line by
// scan line (DrawCellRow): the random numbers still go to the cells in sweep order, and
// cells of one row never overlap, so the picture is the one cell-by-cell drawing gives.
class FrameComposer {
public:
    // With shown, only the cells that differ from it are drawn (and noted in it).
    FrameComposer(Animation& glyphs, const SurfaceInfo& surface, Pen firstCell, ShownCells* shown = nullptr)
        : glyphs_(glyphs), surface_(surface), pen_(firstCell), shown_(shown) {
        for (int shade = 0; shade < 4; ++shade) ops_[shade] = SelectShadeOp(colorType, shade);
        // Null where the row drawing cannot take the frame: run-length sets, missing frames.
        for (int f = 0; f < Animation::kMaxFrames; ++f)
            raw_[f] = glyphs.compressed == 0 && f < glyphs.frameCount ? glyphs.frames[f] : nullptr;
        // Run-length frames may leave pixels as they were, so they need the surface to hold every cell.
        bool raw = true;
        for (int f = 0; f < kRequiredGlyphFrames; ++f) raw = raw && raw_[f] != nullptr;
        handOver_ = raw && shown_ != nullptr && shown_->put != nullptr && shown_->putCells != nullptr;
    }

    void Cell(int, int, int glyph, int shade) {
        const uint16_t* frame = static_cast<unsigned>(glyph) < Animation::kMaxFrames ? raw_[glyph] : nullptr;
        if (frame == nullptr) {
            // Run-length frames and frames the set lacks take the single-cell draw.
            Flush();
            if (shade == 0)
                glyphs_.Draw(surface_, pen_, glyph);
            else
                glyphs_.DrawDimmed(surface_, pen_, glyph, shade);
            if (shown_ != nullptr && shown_->put != nullptr) PutFromSurface(1);
            pen_.x += glyphs_.width;
            return;
        }
        last_ = glyph;
        const int tone = static_cast<unsigned>(shade) < 4 ? shade : 0;
        looks_[count_] = static_cast<uint16_t>(glyph << 2 | tone);
        batch_[count_++] = RowCell{frame, ops_[tone]};
        if (count_ == kBatch) Flush();
    }
    // Drawing only what changed takes whole rows: a row's looks are compared with what the
    // buffer shows, and only the cells that differ are visited.
    bool TakesRows() const { return shown_ != nullptr; }
    void Row(int row, const ::Cell* cells, int count) {
        uint16_t* const seen = shown_->cells.data() + static_cast<size_t>(row) * static_cast<size_t>(shown_->columns);
        uint16_t now[kBatch];
        for (int base = 0; base < count; base += kBatch) {
            const int n = count - base < kBatch ? count - base : kBatch;
            for (int k = 0; k < n; ++k) {
                const CellLook look = LookOf(cells[base + k]);
                now[k] = static_cast<uint16_t>(look.glyph << 2 | look.shade);
            }
            uint16_t* const was = seen + base;
            for (int group = 0; group < n; group += 64) {
                // Most cells stay as they were: a mask of the ones that differ leaves one branch a changed cell.
                for (uint64_t differ = Differing(now + group, was + group, n - group < 64 ? n - group : 64);
                     differ != 0; differ &= differ - 1) {
                    const int k = group + __builtin_ctzll(differ);
                    const bool known = was[k] != ShownCells::kUnknown;
                    was[k] = now[k];
                    Changed(row, base + k, now[k] >> 2, now[k] & 3, known);
                }
            }
        }
    }
    void EndRow(int) {
        Flush();
        pen_.x = 0;
        pen_.y -= glyphs_.height;
    }
    // Draws (or hands over) the cells collected so far; a sweep that stopped part-way still
    // shows the cells it reached.
    void Flush() {
        if (count_ == 0) return;
        glyphs_.currentFrame = last_;  // as drawing the cells one by one leaves it
        const int w = glyphs_.width, h = glyphs_.height;
        if (aside_) {
            shown_->putCells(shown_->context, batch_, looks_, count_, pen_.x, pen_.y, w, h);
        } else {
            DrawCellRow(surface_, pen_, w, h, batch_, count_);
            if (shown_ != nullptr && shown_->put != nullptr) PutFromSurface(count_);
        }
        pen_.x += count_ * w;
        count_ = 0;
    }

private:
    // Bit k set where a[k] != b[k], for k < n <= 64.
    static uint64_t Differing(const uint16_t* a, const uint16_t* b, int n) {
        uint64_t bits = 0;
        int k = 0;
#if defined(__SSE2__)
        for (; k + 16 <= n; k += 16) {
            const __m128i low = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k)),
                                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k)));
            const __m128i high = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k + 8)),
                                                 _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k + 8)));
            const unsigned same = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
            bits |= static_cast<uint64_t>(~same & 0xFFFFu) << k;
        }
#endif
        for (; k < n; ++k) bits |= static_cast<uint64_t>(a[k] != b[k]) << k;
        return bits;
    }

    // Hands over count cells at the pen as the surface holds them.
    void PutFromSurface(int count) {
        const int32_t x0 = pen_.x > 0 ? pen_.x : 0, y0 = pen_.y > 0 ? pen_.y : 0;
        const int32_t right = pen_.x + count * glyphs_.width, bottom = pen_.y + glyphs_.height;
        const int32_t x1 = right < surface_.width ? right : surface_.width;
        const int32_t y1 = bottom < surface_.height ? bottom : surface_.height;
        if (x0 >= x1 || y0 >= y1) return;
        shown_->put(shown_->context, surface_.pixels + static_cast<ptrdiff_t>(y0) * surface_.pitch + x0, surface_.pitch,
                    x0, y0, x1 - x0, y1 - y0);
    }

    // wasKnown: the cell was drawn before and nothing has drawn over it since.
    void Changed(int row, int column, int glyph, int shade, bool wasKnown) {
        const int x = column * glyphs_.width;
        const bool aside = handOver_ && wasKnown && FullyVisible(Pen{x, pen_.y}, glyphs_.width, glyphs_.height);
        if (pen_.x + count_ * glyphs_.width != x || aside != aside_) {
            Flush();
            pen_.x = x;
            aside_ = aside;
        }
        std::vector<CellRun>& runs = shown_->runs;
        if (!runs.empty() && runs.back().row == row && runs.back().end == column) {
            ++runs.back().end;
        } else {
            // Field by field: a run built on the stack and copied as a whole waits for its parts' stores.
            CellRun& run = runs.emplace_back();
            run.row = row;
            run.first = column;
            run.end = column + 1;
        }
        Cell(row, column, glyph, shade);
    }

    // A whole row at every screen size with the 16-pixel glyph set (81 cells at 1280 pixels);
    // wider rows are drawn in parts. Smaller parts measured slower.
    static constexpr int kBatch = 128;

    Animation& glyphs_;
    const SurfaceInfo& surface_;
    Pen pen_;
    ShownCells* shown_;
    ShadeOp ops_[4];
    const uint16_t* raw_[Animation::kMaxFrames];
    RowCell batch_[kBatch];
    uint16_t looks_[kBatch];
    int count_ = 0;
    int last_ = 0;
    bool handOver_ = false;  // cells wholly inside the clip may go over undrawn
    bool aside_ = false;     // the batch goes over undrawn
};

// With shown, the surface must still hold what shown describes (all unknown for a new one);
// the frame is then the same as a whole one, drawing only the cells that changed.
template <class Stop>
void ComposeFrame(RainModel& model, RandomSource& random, int highlightPercent, Animation& glyphs,
                  const SurfaceInfo& surface, Stop&& stop, ShownCells* shown = nullptr) {
    if (shown != nullptr) {
        shown->runs.clear();
        if (shown->columns != model.Columns() ||
            shown->cells.size() != static_cast<size_t>(model.Columns()) * static_cast<size_t>(model.Rows()))
            shown->Forget(model.Columns(), model.Rows());
    }
    FrameComposer composer(glyphs, surface, Pen{0, (model.Rows() - 1) * glyphs.height - kTopRowOffset}, shown);
    model.StepStreams(random, stop);
    model.SweepCells(random, highlightPercent, composer, stop);
    composer.Flush();
}

// For callers that never stop part-way (tools, tests, benchmarks).
inline void ComposeFrame(RainModel& model, RandomSource& random, int highlightPercent, Animation& glyphs,
                         const SurfaceInfo& surface) {
    ComposeFrame(model, random, highlightPercent, glyphs, surface, [] { return false; });
}
