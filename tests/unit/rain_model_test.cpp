#include "rain/rain_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Recorder {
    std::vector<std::vector<int>> cells;  // row, column, glyph, shade; the row alone at its end
    void Cell(int row, int column, int glyph, int shade) { cells.push_back({row, column, glyph, shade}); }
    void EndRow(int row) { cells.push_back({row}); }
};
auto Never = [] { return false; };

// Cells that never age out and hold normal glyphs; streamCount streams for the test to set.
RainModel QuietModel(int columns, int rows, unsigned streamCount) {
    RainModel m;
    EXPECT_TRUE(m.Allocate(columns, rows));
    RandomSource r(7);
    m.Seed(streamCount, r);
    for (int i = 0; i < columns * rows; ++i) m.Cells()[i] = Cell{uint8_t(kFirstNormalGlyph + i % 27), 255, 0, 0};
    return m;
}

TEST(RainModel, SeedDrawsTheRuntimesNumbersThreePerCellThenPerStreamAndCapsTheStreams) {
    RandomSource runtime;  // the C runtime's rand()
    EXPECT_EQ(std::vector<int>({runtime.Next(), runtime.Next(), runtime.Next()}), std::vector<int>({41, 18467, 6334}));
    RainModel m;
    ASSERT_TRUE(m.Allocate(4, 3));
    RandomSource r(12345), expect(12345);
    m.Seed(1000, r);
    EXPECT_EQ(m.StreamCount(), 400u);
    const int r1 = expect.Next(), r2 = expect.Next(), r3 = expect.Next();
    EXPECT_EQ(std::vector<int>({m.Cells()[0].glyph, m.Cells()[0].threshold}),
              std::vector<int>({r2 % 27 + (r1 % 100 < 5 ? 0 : 27), r3 % 80}));
    for (int i = 3; i < 3 * 12; ++i) expect.Next();
    for (int s = 0; s < 400; ++s) {
        const int head = expect.Next() % 33, length = expect.Next() % 35 + 10, column = expect.Next() % 4;
        ASSERT_EQ(std::vector<int>({m.Streams()[s].head, m.Streams()[s].length, m.Streams()[s].column}),
                  std::vector<int>({head, length, column}))
            << s;
    }
    EXPECT_EQ(r.State(), expect.State());
}

TEST(RainModel, StepMarksBodyAndAFadingTailOfThreeCells) {
    const struct {
        const char* name;
        int head, length;
        std::vector<int> marks;  // rows 0 ... 13 of the stream's column
    } cases[] = {
        {"whole", 12, 10, {0, 0, 0, 1, 2, 3, 4, 4, 4, 4, 4, 4, 4, 0}},
        {"partly above the top", 3, 10, {4, 4, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"partly below the bottom", 15, 11, {0, 0, 0, 0, 0, 1, 2, 3, 4, 4, 4, 4, 4, 4}},
        {"only the top cell left", 22, 10, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RainModel m = QuietModel(2, 14, 1);
        m.Streams()[0] = Stream{1, static_cast<int16_t>(c.head - 1), static_cast<uint8_t>(c.length), 1};
        RandomSource r(5);
        m.StepStreams(r, Never);  // halfStep 1: the head moves one row down first
        std::vector<int> marks;
        for (int row = 0; row < 14; ++row) marks.push_back(m.At(1, row).drawState + 10 * m.At(0, row).drawState);
        EXPECT_EQ(marks, c.marks);
    }
}

// Later streams in the table win where streams overlap; a step stopped before stream k moves
// and marks streams 0 ... k - 1 only. Grids of up to 64 rows and taller ones mark alike.
TEST(RainModel, OverlapsGoToTheLaterStreamAndAStoppedStepMarksTheStreamsMoved) {
    for (const int rows : {14, 70}) {
        SCOPED_TRACE(rows);
        RainModel m = QuietModel(2, rows, 3);
        // Column 0: stream 0's tail lies on stream 1's body; column 1: stream 2 alone.
        m.Streams()[0] = Stream{0, 9, 10, 0};
        m.Streams()[1] = Stream{0, 11, 5, 0};
        m.Streams()[2] = Stream{1, 4, 10, 0};
        RandomSource r(5);
        int tests = 0;
        m.StepStreams(r, [&] { return ++tests > 2; });
        std::vector<int> marks;
        for (int row = 0; row < 14; ++row) marks.push_back(m.At(1, row).drawState + 10 * m.At(0, row).drawState);
        EXPECT_EQ(marks, std::vector<int>({10, 20, 30, 40, 40, 40, 40, 10, 20, 30, 40, 40, 0, 0}));
        EXPECT_EQ(std::vector<int>({m.Streams()[0].halfStep, m.Streams()[1].halfStep, m.Streams()[2].halfStep}),
                  std::vector<int>({1, 1, 0}));
    }
}

TEST(RainModel, SweepDrawsEveryCellBottomRowFirstWithItsShadeAndClearsTheMarks) {
    RainModel m = QuietModel(3, 2, 0);
    const uint8_t states[6] = {kBody, kHalf, kQuarter, kEighth, kUncovered, 7};
    for (int i = 0; i < 6; ++i) m.Cells()[i].drawState = states[i];
    RandomSource r(1);
    Recorder rec;
    m.SweepCells(r, 0, rec, Never);
    const std::vector<std::vector<int>> expected = {{1, 0, 30, 3}, {1, 1, 54, 0}, {1, 2, 54, 0}, {1},
                                                    {0, 0, 27, 0}, {0, 1, 28, 1}, {0, 2, 29, 2}, {0}};
    EXPECT_EQ(rec.cells, expected);
    EXPECT_EQ(m.Cells()[1].drawState + m.Cells()[5].drawState, kUncovered);
}

TEST(RainModel, NewGlyphsAreBrightByTheHighlightPercentInTheUpperTwoThirdsOnly) {
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
