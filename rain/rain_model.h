#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

#include "rain/random_source.h"

// Glyph image indices of the glyph set.
constexpr int kBrightGlyphs = 27;      // 0 ... 26
constexpr int kFirstNormalGlyph = 27;  // 27 ... 53, same characters as 0 ... 26
constexpr int kBlankGlyph = 54;        // drawn where no stream covers the cell
constexpr int kRequiredGlyphFrames = 55;

// drawState values: a stream fades over its last three cells (half, quarter, eighth).
enum : uint8_t { kUncovered = 0, kEighth = 1, kQuarter = 2, kHalf = 3, kBody = 4 };

struct Cell {
    uint8_t glyph;      // 0 ... 53
    uint8_t threshold;  // 0 ... 79: replaced once age exceeds it
    uint8_t age;        // frames since the last replacement, wraps at 256
    uint8_t drawState;  // 0 uncovered, 1 ... 3 fading tail, 4 body
};
static_assert(sizeof(Cell) == 4, "a cell is four bytes");

// head and column are wider than a byte: a 1-pixel glyph at 1280x1024 gives
// 1281 columns and 1026 rows, so head reaches rows + 44 = 1070.
struct Stream {
    uint16_t column;   // 0 ... columns - 1
    int16_t head;      // row of the leading cell, -5 ... rows + 44
    uint8_t length;    // 10 ... 44
    uint8_t halfStep;  // the head moves on every second frame
};

// Grid that covers a screen of width x height pixels with glyphWidth x glyphHeight cells:
// one column more for the part-cell at the right, two rows more so streams enter and leave
// the screen through part-cells at the top and bottom.
struct GridSize {
    int columns;
    int rows;
};
constexpr GridSize GridFor(int width, int height, int glyphWidth, int glyphHeight) {
    return {width / glyphWidth + 1, height / glyphHeight + 2};
}

// What a cell shows: covered cells (1 ... 4) their glyph dimmed by 4 - drawState, the rest
// the blank. Worked out with a mask, not a branch: the states mix at random along a row, and
// a compiler turns a plain conditional into a jump.
struct CellLook {
    int glyph;
    int shade;
};
inline CellLook LookOf(Cell cell) {
    const int state = cell.drawState;
    const int covered = -static_cast<int>(static_cast<unsigned>(state - 1) < 4u);  // all ones or 0
    return {kBlankGlyph ^ ((cell.glyph ^ kBlankGlyph) & covered), (4 - state) & covered};
}

// Whether a sweep's draw can take whole rows (see SweepCells).
template <class Draw, class = void>
struct DrawsRows : std::false_type {};
template <class Draw>
struct DrawsRows<Draw, std::void_t<decltype(std::declval<Draw&>().Row(0, static_cast<const Cell*>(nullptr), 0))>>
    : std::true_type {};

// The falling-glyph effect without any platform: a grid of cells and a table of
// streams. The render thread runs StepStreams then SweepCells once per frame.
class RainModel {
public:
    static constexpr int kMaxStreams = 400;
    // Largest grid the fields can address: column is 16 bits, head is signed 16 bits.
    static constexpr int kMaxColumns = 65536;
    static constexpr int kMaxRows = 32767 - 44;

    // Allocates a zeroed grid; false (and no grid) for sizes the fields cannot hold
    // or when memory runs out.
    bool Allocate(int columns, int rows);
    void Release();

    // Fills every cell and the first streamCount streams (at most kMaxStreams).
    void Seed(unsigned streamCount, RandomSource& random);

    // One frame's stream step: every stream moves (those that have left the grid are
    // re-seeded), then the cells the moved streams cover are marked. stop() is tested
    // before each stream's move; the streams moved by then are marked in full.
    template <class Stop>
    void StepStreams(RandomSource& random, Stop&& stop);

    // One frame's cell sweep, bottom row first, each row left to right. For every cell
    // draw.Cell(row, column, glyph, shade) is called, and draw.EndRow(row) after each
    // row. stop() is tested before each row and each cell. A draw whose TakesRows() is true
    // is given each row before its update instead, as draw.Row(row, cells, count), and
    // stop() is tested before each row only.
    template <class Draw, class Stop>
    void SweepCells(RandomSource& random, int highlightPercent, Draw& draw, Stop&& stop);

    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    unsigned StreamCount() const { return streamCount_; }
    Cell* Cells() { return cells_.get(); }
    const Cell* Cells() const { return cells_.get(); }
    Cell& At(int column, int row) { return cells_[column + row * columns_]; }
    Stream* Streams() { return streams_; }
    const Stream* Streams() const { return streams_; }

private:
    // Marks the cells streams 0 ... count - 1 cover: body 4, then 3, 2, 1 up the fading
    // tail; where streams overlap, the later one in the table wins.
    void MarkStreams(unsigned count);
    void MarkStreamsInOrder(unsigned count);
    void MarkStreamsOnce(unsigned count);

    // The sweep's update of cells [0, count) of a row, after the row was drawn: a highlight
    // moves to the cell below (none on the bottom row), ages grow, and a cell whose age
    // passed its threshold takes a new glyph (a highlight only where mayBrighten), in
    // column order, so the random numbers go to the cells as a cell-by-cell loop gives them.
    static void UpdateRow(Cell* row, Cell* below, int count, bool mayBrighten, int highlightPercent,
                          RandomSource& random);

    void ReseedStream(Stream& s, RandomSource& random) const {
        s.head = static_cast<int16_t>(-(random.Next() % 5) - 1);
        s.length = static_cast<uint8_t>(random.Next() % 35 + 10);
        s.column = static_cast<uint16_t>(random.Next() % columns_);
    }

    int columns_ = 0;
    int rows_ = 0;
    unsigned streamCount_ = 0;
    Stream streams_[kMaxStreams] = {};
    std::unique_ptr<Cell[]> cells_;
    // For grids of at most kMaskRows rows: a bit per row of each column, the rows a later
    // stream has marked this frame; all zero between frames.
    static constexpr int kMaskRows = 64;
    std::unique_ptr<uint64_t[]> taken_;
};

template <class Stop>
void RainModel::StepStreams(RandomSource& random, Stop&& stop) {
    unsigned moved = 0;
    for (; moved < streamCount_; ++moved) {
        if (stop()) break;
        Stream& st = streams_[moved];
        // The toggle without a branch: streams sit at either phase, so it would be a coin toss.
        const int toggle = st.halfStep != 0;
        st.head = static_cast<int16_t>(st.head + toggle);
        st.halfStep = static_cast<uint8_t>(toggle ^ 1);
        // A re-seeded stream's head is above the grid, so it marks nothing this frame.
        if (st.head - st.length >= rows_) ReseedStream(st, random);
    }
    MarkStreams(moved);
}

template <class Draw, class Stop>
void RainModel::SweepCells(RandomSource& random, int highlightPercent, Draw& draw, Stop&& stop) {
    const int twoThirds = rows_ * 2 / 3;
    for (int i = rows_ - 1; i >= 0; --i) {
        if (stop()) return;
        Cell* const row = cells_.get() + static_cast<size_t>(i) * columns_;
        // A row's draw requests, then its updates: a cell's update changes only that cell and
        // the one below, whose row is already drawn, so this is what going cell by cell gives.
        int reached = 0;
        if constexpr (DrawsRows<Draw>::value) {
            if (draw.TakesRows()) {
                draw.Row(i, static_cast<const Cell*>(row), columns_);
                reached = columns_;
            }
        }
        for (; reached < columns_; ++reached) {
            if (stop()) break;
            const CellLook look = LookOf(row[reached]);
            draw.Cell(i, reached, look.glyph, look.shade);
        }
        // The highlight moves down one row per frame because rows are swept bottom-up: the
        // cell below has already been drawn this frame. The bottom row has none below.
        UpdateRow(row, i < rows_ - 1 ? row + columns_ : nullptr, reached, i < twoThirds, highlightPercent, random);
        if (reached < columns_) return;
        draw.EndRow(i);
    }
}
