#include "rain/rain_model.h"

#include <cstddef>
#include <cstring>
#include <new>

bool RainModel::Allocate(int columns, int rows) {
    Release();
    if (columns <= 0 || rows <= 0 || columns > kMaxColumns || rows > kMaxRows) return false;
    cells_.reset(new (std::nothrow) Cell[static_cast<size_t>(columns) * rows]());
    if (!cells_) return false;
    if (rows <= kMaskRows) taken_.reset(new (std::nothrow) uint64_t[static_cast<size_t>(columns)]());
    columns_ = columns;
    rows_ = rows;
    return true;
}

void RainModel::Release() {
    cells_.reset();
    taken_.reset();
    columns_ = 0;
    rows_ = 0;
    streamCount_ = 0;
}

void RainModel::Seed(unsigned streamCount, RandomSource& random) {
    if (!cells_) return;
    const int count = columns_ * rows_;
    for (int i = 0; i < count; ++i) {
        Cell& cell = cells_[i];
        const bool bright = random.Next() % 100 < 5;
        cell.glyph = static_cast<uint8_t>(random.Next() % kBrightGlyphs + (bright ? 0 : kFirstNormalGlyph));
        cell.drawState = kUncovered;
        cell.age = 0;
        cell.threshold = static_cast<uint8_t>(random.Next() % 80);
    }
    streamCount_ = streamCount > kMaxStreams ? kMaxStreams : streamCount;
    for (unsigned s = 0; s < streamCount_; ++s) {
        Stream& st = streams_[s];
        st.head = static_cast<int16_t>(random.Next() % (rows_ + 30));
        st.length = static_cast<uint8_t>(random.Next() % 35 + 10);
        st.column = static_cast<uint16_t>(random.Next() % columns_);
    }
}

namespace {

// The cells stream st covers: j = first ... end - 1 counted from the head up, that is rows
// head - end + 1 ... head - first; empty for a stream above or below the grid.
struct Span {
    int first, end;
};
Span Covered(const Stream& st, int rows) {
    const int head = st.head;
    return {head >= rows ? head - rows + 1 : 0, head + 1 < st.length ? head + 1 : st.length};
}

void Replace(Cell& cell, bool mayBrighten, int highlightPercent, RandomSource& random) {
    const int r1 = random.Next();
    const bool bright = r1 % 100 < highlightPercent && mayBrighten;
    const int r2 = random.Next();
    cell.glyph = static_cast<uint8_t>(r2 % kBrightGlyphs + (bright ? 0 : kFirstNormalGlyph));
    cell.age = 0;
    cell.threshold = static_cast<uint8_t>(random.Next() % 80);
}

// Four cells at once, a cell to a lane: glyph, threshold, age and drawState are its bytes
// from the lowest. Values stay below 256 in every byte, so the lanes can be signed.
using Lanes = int32_t __attribute__((vector_size(16)));
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a cell's glyph is the low byte of its lane");
static_assert(offsetof(Cell, glyph) == 0 && offsetof(Cell, threshold) == 1 && offsetof(Cell, age) == 2 &&
                  offsetof(Cell, drawState) == 3,
              "the lanes' byte order");
constexpr int kLaneCells = static_cast<int>(sizeof(Lanes) / sizeof(Cell));

uint8_t MarkAt(int j, int length) { return static_cast<uint8_t>(j < length - 3 ? int{kBody} : length - j); }

}  // namespace

// Rows are a few dozen to a few hundred cells and a tenth of a frame went to updating them
// one by one; a lane a cell does the common part without a branch, and the few cells whose
// threshold passed (one in about forty a frame) then take their random numbers in order.
void RainModel::UpdateRow(Cell* row, Cell* below, int count, bool mayBrighten, int highlightPercent,
                          RandomSource& random) {
    const int32_t moves = below != nullptr ? kFirstNormalGlyph : 0;  // what a highlight adds
    auto update = [&](Cell* cells, Cell* under) {
        Lanes v;
        std::memcpy(&v, cells, sizeof v);
        const Lanes glyph = v & 0xFF, threshold = (v >> 8) & 0xFF, age = ((v >> 16) + 1) & 0xFF;
        const Lanes lit = (glyph < kBrightGlyphs) & moves;
        const Lanes out = (glyph + lit) | (threshold << 8) | (age << 16);  // drawState back to uncovered
        std::memcpy(cells, &out, sizeof out);
        if (under != nullptr) {
            Lanes b;
            std::memcpy(&b, under, sizeof b);
            b -= lit & ((b & 0xFF) >= kFirstNormalGlyph);
            std::memcpy(under, &b, sizeof b);
        }
        const Lanes expired = age > threshold;
        uint64_t halves[2];
        std::memcpy(halves, &expired, sizeof halves);
        if ((halves[0] | halves[1]) == 0) return;
        for (int k = 0; k < kLaneCells; ++k)
            if (expired[k] != 0) Replace(cells[k], mayBrighten, highlightPercent, random);
    };
    int c = 0;
    for (; c + kLaneCells <= count; c += kLaneCells) update(row + c, below != nullptr ? below + c : nullptr);
    if (c == count) return;
    // The last few cells go through the same step beside cells it leaves alone: not a
    // highlight, and a threshold no age passes.
    const size_t rest = static_cast<size_t>(count - c) * sizeof(Cell);
    Cell cells[kLaneCells], under[kLaneCells];
    for (Cell& cell : cells) cell = Cell{kBlankGlyph, 255, 0, kUncovered};
    std::memcpy(cells, row + c, rest);
    if (below != nullptr) std::memcpy(under, below + c, rest);
    update(cells, below != nullptr ? under : nullptr);
    std::memcpy(row + c, cells, rest);
    if (below != nullptr) std::memcpy(below + c, under, rest);
}

void RainModel::MarkStreams(unsigned count) {
    if (taken_)
        MarkStreamsOnce(count);
    else
        MarkStreamsInOrder(count);
}

void RainModel::MarkStreamsInOrder(unsigned count) {
    for (unsigned s = 0; s < count; ++s) {
        const Stream& st = streams_[s];
        const Span span = Covered(st, rows_);
        if (span.first >= span.end) continue;
        Cell* cell = cells_.get() + st.column + static_cast<std::ptrdiff_t>(st.head - span.first) * columns_;
        for (int j = span.first; j < span.end; ++j, cell -= columns_) cell->drawState = MarkAt(j, st.length);
    }
}

// Streams overlap several deep at high densities, and a store into the grid costs more
// than the bookkeeping: walking the table backwards, a stream marks only the rows of its
// column that no later stream has marked, so each cell is written once.
void RainModel::MarkStreamsOnce(unsigned count) {
    uint64_t* const taken = taken_.get();
    for (unsigned s = count; s-- > 0;) {
        const Stream& st = streams_[s];
        const Span span = Covered(st, rows_);
        if (span.first >= span.end) continue;
        const int top = st.head - span.end + 1, bottom = st.head - span.first;  // 0 <= top <= bottom < kMaskRows
        const uint64_t rows = (~uint64_t{0} >> (63 - bottom)) & (~uint64_t{0} << top);
        uint64_t fresh = rows & ~taken[st.column];
        taken[st.column] |= rows;
        Cell* const column = cells_.get() + st.column;
        for (; fresh != 0; fresh &= fresh - 1) {
            const int row = __builtin_ctzll(fresh);
            column[static_cast<std::ptrdiff_t>(row) * columns_].drawState = MarkAt(st.head - row, st.length);
        }
    }
    for (unsigned s = 0; s < count; ++s) taken[streams_[s].column] = 0;
}
