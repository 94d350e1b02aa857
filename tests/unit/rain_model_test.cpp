#include "rain/rain_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Ints = std::vector<int>;

struct Recorder {
    std::vector<Ints> cells;  // row, column, glyph, shade; the row alone at its end
    void Cell(int row, int column, int glyph, int shade) { cells.push_back({row, column, glyph, shade}); }
    void EndRow(int row) { cells.push_back({row}); }
};
auto Never = [] { return false; };

// Cells that never age out and hold normal glyphs.
RainModel QuietModel(int columns, int rows, unsigned streamCount) {
    RainModel m;
    EXPECT_TRUE(m.Allocate(columns, rows));
    RandomSource r(7);
    m.Seed(streamCount, r);
    for (int i = 0; i < columns * rows; ++i) m.Cells()[i] = Cell{uint8_t(kFirstNormalGlyph + i % 27), 255, 0, 0};
    return m;
}

// Rows 0 ... 13: column 1's mark plus ten times column 0's.
Ints Marks(RainModel& m) {
    Ints marks;
    for (int row = 0; row < 14; ++row) marks.push_back(m.At(1, row).drawState + 10 * m.At(0, row).drawState);
    return marks;
}

// Recorded from a seeded run; every stream starts in its range, and at most 400 of them.
TEST(RainModel, Seed) {
    RandomSource runtime;  // the C runtime's rand()
    EXPECT_EQ(Ints({runtime.Next(), runtime.Next(), runtime.Next()}), Ints({41, 18467, 6334}));
    RainModel m;
    ASSERT_TRUE(m.Allocate(4, 3));
    RandomSource r(12345);
    m.Seed(1000, r);
    Ints cells, streams;
    for (int i = 0; i < 12; ++i) cells.insert(cells.end(), {m.Cells()[i].glyph, m.Cells()[i].threshold});
    for (int i = 0; i < 3; ++i) streams.insert(streams.end(), {m.Streams()[i].head, m.Streams()[i].length});
    EXPECT_EQ(cells,
              Ints({48, 35, 50, 45, 40, 32, 1, 0, 51, 14, 42, 56, 34, 58, 48, 4, 36, 41, 32, 69, 33, 21, 45, 56}));
    EXPECT_EQ(streams, Ints({24, 13, 27, 34, 2, 19}));
    EXPECT_EQ(r.State(), 3344583005u);
    ASSERT_EQ(m.StreamCount(), 400u);
    for (unsigned s = 0; s < 400; ++s) {
        const Stream& st = m.Streams()[s];
        ASSERT_TRUE(st.head >= 0 && st.head < 33 && st.length >= 10 && st.length < 45 && st.column < 4) << s;
    }
}

// Later streams win overlaps; a step stopped before stream 2 moves and marks 0 and 1 only.
// Grids taller than 64 rows mark alike.
TEST(RainModel, OverlapsAndStoppedSteps) {
    for (const int rows : {14, 70}) {
        RainModel m = QuietModel(2, rows, 3);
        // Column 0: stream 0's tail lies on stream 1's body; column 1: stream 2 alone.
        m.Streams()[0] = Stream{0, 9, 10, 0};
        m.Streams()[1] = Stream{0, 11, 5, 0};
        m.Streams()[2] = Stream{1, 4, 10, 0};
        RandomSource r(5);
        int tests = 0;
        m.StepStreams(r, [&] { return ++tests > 2; });
        EXPECT_EQ(Marks(m), Ints({10, 20, 30, 40, 40, 40, 40, 10, 20, 30, 40, 40, 0, 0})) << rows;
        EXPECT_EQ(Ints({m.Streams()[0].halfStep, m.Streams()[1].halfStep, m.Streams()[2].halfStep}), Ints({1, 1, 0}));
    }
}

TEST(RainModel, SweepDrawsBottomRowFirstAndClearsTheMarks) {
    RainModel m = QuietModel(3, 2, 0);
    const uint8_t states[6] = {kBody, kHalf, kQuarter, kEighth, kUncovered, 7};
    for (int i = 0; i < 6; ++i) m.Cells()[i].drawState = states[i];
    RandomSource r(1);
    Recorder rec;
    m.SweepCells(r, 0, rec, Never);
    const std::vector<Ints> expected = {{1, 0, 30, 3}, {1, 1, 54, 0}, {1, 2, 54, 0}, {1},
                                        {0, 0, 27, 0}, {0, 1, 28, 1}, {0, 2, 29, 2}, {0}};
    EXPECT_EQ(rec.cells, expected);
    EXPECT_EQ(m.Cells()[1].drawState + m.Cells()[5].drawState, kUncovered);
}

// New glyphs are bright by the highlight percent, in the upper two thirds only.
TEST(RainModel, Highlights) {
    for (int highlight : {0, 100}) {
        RainModel m = QuietModel(20, 30, 0);
        for (int i = 0; i < 600; ++i) m.Cells()[i].threshold = 0;
        RandomSource r(11);
        Recorder rec;
        m.SweepCells(r, highlight, rec, Never);
        for (int row = 0; row < 30; ++row)
            for (int col = 0; col < 20; ++col)
                ASSERT_EQ(m.At(col, row).glyph < kBrightGlyphs, highlight == 100 && row < 20) << row << " " << col;
    }
}

}  // namespace
