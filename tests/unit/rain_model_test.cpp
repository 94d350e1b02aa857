#include <gtest/gtest.h>

#include <vector>

#include "rain/rain_model.h"

namespace {

struct DrawRequest {
    int row, column, glyph, shade;
    bool operator==(const DrawRequest& o) const {
        return row == o.row && column == o.column && glyph == o.glyph && shade == o.shade;
    }
};

struct Recorder {
    std::vector<DrawRequest> requests;
    std::vector<int> rowsEnded;
    void Cell(int row, int column, int glyph, int shade) { requests.push_back({row, column, glyph, shade}); }
    void EndRow(int row) { rowsEnded.push_back(row); }
};

auto Never = [] { return false; };

// A model whose cells never change by ageing (threshold above any age) and hold
// normal glyphs, with streamCount streams whose fields the test sets itself.
RainModel QuietModel(int columns, int rows, unsigned streamCount) {
    RainModel m;
    EXPECT_TRUE(m.Allocate(columns, rows));
    RandomSource r(7);
    m.Seed(streamCount, r);
    for (int i = 0; i < columns * rows; ++i) {
        m.Cells()[i].glyph = static_cast<uint8_t>(kFirstNormalGlyph + i % kBrightGlyphs);
        m.Cells()[i].threshold = 255;
        m.Cells()[i].age = 0;
    }
    return m;
}

std::vector<int> ColumnMarks(RainModel& m, int column) {
    std::vector<int> marks;
    for (int row = 0; row < m.Rows(); ++row) marks.push_back(m.At(column, row).drawState);
    return marks;
}

}  // namespace

TEST(RandomSource, ReproducesTheRuntimeSequence) {
    RandomSource r;  // the runtime's generator starts at 1
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    for (int e : expected) EXPECT_EQ(r.Next(), e);
    RandomSource wrapped(0xFFFFFFFFu);
    for (int i = 0; i < 1000; ++i) {
        const int v = wrapped.Next();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, RandomSource::kMax);
    }
}

TEST(RainModelSeed, DrawsThreeNumbersPerCellThenThreePerStreamInOrder) {
    const int columns = 4, rows = 3;
    const unsigned streams = 5;
    RainModel m;
    ASSERT_TRUE(m.Allocate(columns, rows));
    RandomSource r(12345), expect(12345);
    m.Seed(streams, r);
    for (int i = 0; i < columns * rows; ++i) {
        const int r1 = expect.Next(), r2 = expect.Next(), r3 = expect.Next();
        const int glyph = r1 % 100 < 5 ? r2 % 27 : r2 % 27 + 27;
        SCOPED_TRACE(i);
        EXPECT_EQ(m.Cells()[i].glyph, glyph);
        EXPECT_EQ(m.Cells()[i].threshold, r3 % 80);
        EXPECT_EQ(m.Cells()[i].age, 0);
        EXPECT_EQ(m.Cells()[i].drawState, 0);
    }
    for (unsigned s = 0; s < streams; ++s) {
        const int head = expect.Next() % (rows + 30);
        const int length = expect.Next() % 35 + 10;
        const int column = expect.Next() % columns;
        SCOPED_TRACE(s);
        EXPECT_EQ(m.Streams()[s].head, head);
        EXPECT_EQ(m.Streams()[s].length, length);
        EXPECT_EQ(m.Streams()[s].column, column);
        EXPECT_EQ(m.Streams()[s].halfStep, 0);
    }
    EXPECT_EQ(r.State(), expect.State()) << "seeding drew more or fewer numbers than it should";
}

TEST(RainModelSeed, AboutFivePercentOfCellsStartBrightAndStreamCountIsCapped) {
    RainModel m;
    ASSERT_TRUE(m.Allocate(100, 100));
    RandomSource r(99);
    m.Seed(1000, r);
    EXPECT_EQ(m.StreamCount(), 400u);
    int bright = 0;
    for (int i = 0; i < 100 * 100; ++i) {
        ASSERT_LT(m.Cells()[i].glyph, 54);
        ASSERT_LT(m.Cells()[i].threshold, 80);
        bright += m.Cells()[i].glyph < kBrightGlyphs;
    }
    EXPECT_GT(bright, 350);
    EXPECT_LT(bright, 650);
}

TEST(RainModelAllocate, RefusesGridsTheFieldsCannotHold) {
    RainModel m;
    EXPECT_FALSE(m.Allocate(0, 10));
    EXPECT_FALSE(m.Allocate(10, 0));
    EXPECT_FALSE(m.Allocate(-1, 10));
    EXPECT_FALSE(m.Allocate(RainModel::kMaxColumns + 1, 2));
    EXPECT_EQ(m.Cells(), nullptr);
    // A 1-pixel glyph at 1280x1024 gives the largest grid the saver makes.
    EXPECT_TRUE(m.Allocate(1281, 1026));
}

TEST(RainModelStep, MarksBodyAndFadingTail) {
    struct Case {
        const char* name;
        int head, length;
        std::vector<std::pair<int, int>> marks;  // (row, drawState); every other row 0
    };
    const int rows = 30;
    const std::vector<Case> cases = {
        {"length 10 head 20",
         20,
         10,
         {{20, 4}, {19, 4}, {18, 4}, {17, 4}, {16, 4}, {15, 4}, {14, 4}, {13, 3}, {12, 2}, {11, 1}}},
        {"partly above the top", 3, 10, {{3, 4}, {2, 4}, {1, 4}, {0, 4}}},
        {"head on row 0", 0, 12, {{0, 4}}},
        {"above the top", -1, 10, {}},
        {"partly below the bottom", rows + 2, 10, {{29, 4}, {28, 4}, {27, 4}, {26, 4}, {25, 3}, {24, 2}, {23, 1}}},
        {"only the top cell left", rows + 8, 10, {{29, 1}}},
        {"shortest stream",
         12,
         10,
         {{12, 4}, {11, 4}, {10, 4}, {9, 4}, {8, 4}, {7, 4}, {6, 4}, {5, 3}, {4, 2}, {3, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RainModel m = QuietModel(3, rows, 1);
        m.Streams()[0] = Stream{1, static_cast<int16_t>(c.head), static_cast<uint8_t>(c.length), 1};
        RandomSource r(5);
        const uint32_t before = r.State();
        // halfStep 1: this frame moves the head one row down before marking.
        m.Streams()[0].head = static_cast<int16_t>(c.head - 1);
        m.StepStreams(r, Never);
        EXPECT_EQ(m.Streams()[0].head, c.head);
        EXPECT_EQ(m.Streams()[0].halfStep, 0);
        EXPECT_EQ(r.State(), before) << "a stream on the grid draws no numbers";
        std::vector<int> expected(rows, 0);
        for (auto [row, state] : c.marks) expected[row] = state;
        EXPECT_EQ(ColumnMarks(m, 1), expected);
        EXPECT_EQ(ColumnMarks(m, 0), std::vector<int>(rows, 0));
        EXPECT_EQ(ColumnMarks(m, 2), std::vector<int>(rows, 0));
    }
}

TEST(RainModelStep, HeadMovesOnEverySecondFrame) {
    RainModel m = QuietModel(2, 100, 1);
    m.Streams()[0] = Stream{0, 5, 10, 0};
    RandomSource r(1);
    std::vector<int> heads;
    for (int f = 0; f < 6; ++f) {
        m.StepStreams(r, Never);
        heads.push_back(m.Streams()[0].head);
        Recorder rec;
        m.SweepCells(r, 0, rec, Never);
    }
    EXPECT_EQ(heads, (std::vector<int>{5, 6, 6, 7, 7, 8}));
}

TEST(RainModelStep, StreamBelowTheGridIsReseededWithThreeDraws) {
    const int rows = 20, columns = 7;
    RainModel m = QuietModel(columns, rows, 2);
    m.Streams()[0] = Stream{3, static_cast<int16_t>(rows + 9), 10, 1};  // moves to rows + 10: leaves
    m.Streams()[1] = Stream{4, static_cast<int16_t>(rows + 7), 10, 1};  // moves to rows + 8: top cell left
    RandomSource r(777), expect(777);
    m.StepStreams(r, Never);
    const int head = -(expect.Next() % 5) - 1;
    const int length = expect.Next() % 35 + 10;
    const int column = expect.Next() % columns;
    EXPECT_EQ(m.Streams()[0].head, head);
    EXPECT_EQ(m.Streams()[0].length, length);
    EXPECT_EQ(m.Streams()[0].column, column);
    EXPECT_EQ(m.Streams()[0].halfStep, 0) << "halfStep keeps its value";
    EXPECT_EQ(r.State(), expect.State());
    EXPECT_EQ(m.At(4, rows - 1).drawState, 1);
    if (column != 4) {
        for (int row = 0; row < rows; ++row)
            EXPECT_EQ(m.At(column, row).drawState, 0) << "a re-seeded stream marks nothing";
    }
}

TEST(RainModelStep, ReseededStreamReachesTheTopRowInTheSixthFrame) {
    RainModel m = QuietModel(2, 10, 1);
    m.Streams()[0] = Stream{1, -3, 10, 0};
    RandomSource r(3);
    for (int frame = 1; frame <= 6; ++frame) {
        m.StepStreams(r, Never);
        const int marked = m.At(1, 0).drawState;
        if (frame < 6) {
            EXPECT_EQ(marked, 0) << "frame " << frame;
        } else {
            EXPECT_EQ(marked, 4);
            EXPECT_EQ(m.Streams()[0].head, 0);
        }
        Recorder rec;
        m.SweepCells(r, 0, rec, Never);
    }
}

TEST(RainModelStep, LaterStreamOverwritesEarlierMarksAndZeroStreamsMarkNothing) {
    RainModel m = QuietModel(1, 30, 2);
    m.Streams()[0] = Stream{0, 19, 10, 1};  // head 20: tail rows 13, 12, 11
    m.Streams()[1] = Stream{0, 14, 12, 1};  // head 15 covers row 13 with body
    RandomSource r(1);
    m.StepStreams(r, Never);
    EXPECT_EQ(m.At(0, 13).drawState, 4);
    EXPECT_EQ(m.At(0, 4).drawState, 1);

    RainModel empty = QuietModel(4, 4, 0);
    empty.StepStreams(r, Never);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(empty.Cells()[i].drawState, 0);
}

TEST(RainModelSweep, EmitsOneRequestPerCellBottomRowFirstAndClearsMarks) {
    RainModel m = QuietModel(3, 2, 0);
    const uint8_t states[6] = {4, 3, 2, 1, 0, 7};
    for (int i = 0; i < 6; ++i) m.Cells()[i].drawState = states[i];
    RandomSource r(1);
    Recorder rec;
    m.SweepCells(r, 0, rec, Never);
    auto g = [&](int i) { return kFirstNormalGlyph + i % kBrightGlyphs; };
    const std::vector<DrawRequest> expected = {
        {1, 0, g(3), 3}, {1, 1, kBlankGlyph, 0}, {1, 2, kBlankGlyph, 0},
        {0, 0, g(0), 0}, {0, 1, g(1), 1},        {0, 2, g(2), 2},
    };
    EXPECT_EQ(rec.requests, expected);
    EXPECT_EQ(rec.rowsEnded, (std::vector<int>{1, 0}));
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m.Cells()[i].drawState, 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m.Cells()[i].age, 1);
}

TEST(RainModelSweep, HighlightFallsOneRowPerFrameAndStopsAtTheBottom) {
    const int rows = 5;
    const int normal6 = 6 + kFirstNormalGlyph;
    RainModel m = QuietModel(2, rows, 0);
    for (int row = 0; row < rows; ++row) m.At(1, row).glyph = static_cast<uint8_t>(normal6);
    m.At(1, 0).glyph = 6;  // bright form of the same character
    RandomSource r(1);
    for (int frame = 0; frame < rows + 3; ++frame) {
        Recorder rec;
        m.SweepCells(r, 0, rec, Never);
        // After the sweep of frame f the highlight waits in row f + 1, or stays in the bottom row.
        const int nextRow = frame + 1 < rows ? frame + 1 : rows - 1;
        for (int row = 0; row < rows; ++row) {
            SCOPED_TRACE(testing::Message() << "frame " << frame << " row " << row);
            EXPECT_EQ(m.At(1, row).glyph, row == nextRow ? 6 : normal6);
        }
    }
}

TEST(RainModelSweep, HighlightIsDrawnWhereItIsWhenACoveringStreamShowsIt) {
    const int rows = 4;
    RainModel m = QuietModel(1, rows, 0);
    for (int row = 0; row < rows; ++row) m.At(0, row).glyph = static_cast<uint8_t>(kFirstNormalGlyph + 2);
    m.At(0, 0).glyph = 2;
    RandomSource r(1);
    for (int frame = 0; frame < rows; ++frame) {
        for (int row = 0; row < rows; ++row) m.At(0, row).drawState = kBody;
        Recorder rec;
        m.SweepCells(r, 0, rec, Never);
        for (const DrawRequest& q : rec.requests) {
            SCOPED_TRACE(testing::Message() << "frame " << frame << " row " << q.row);
            EXPECT_EQ(q.glyph, q.row == frame ? 2 : kFirstNormalGlyph + 2);
        }
    }
}

TEST(RainModelSweep, HighlightMergesIntoABrightCellBelow) {
    RainModel m = QuietModel(1, 3, 0);
    m.At(0, 1).glyph = 4;
    m.At(0, 2).glyph = 9;  // bright in the bottom row: it keeps its highlight
    RandomSource r(1);
    Recorder rec;
    m.SweepCells(r, 0, rec, Never);
    EXPECT_EQ(m.At(0, 1).glyph, 4 + kFirstNormalGlyph);
    EXPECT_EQ(m.At(0, 2).glyph, 9) << "the arriving highlight merged into the bright cell";
}

TEST(RainModelSweep, NewBrightGlyphsOnlyInTheUpperTwoThirds) {
    struct Case {
        int highlight, rows, brightRowsBelow;
    };
    const Case cases[] = {{100, 10, 6}, {100, 9, 6}, {100, 3, 2}, {0, 10, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "highlight " << c.highlight << " rows " << c.rows);
        RainModel m = QuietModel(4, c.rows, 0);
        for (int i = 0; i < 4 * c.rows; ++i) m.Cells()[i].threshold = 0;
        RandomSource r(11);
        Recorder rec;
        m.SweepCells(r, c.highlight, rec, Never);
        for (int row = 0; row < c.rows; ++row)
            for (int col = 0; col < 4; ++col) {
                const Cell& cell = m.At(col, row);
                EXPECT_EQ(cell.glyph < kBrightGlyphs, row < c.brightRowsBelow) << "row " << row;
                EXPECT_EQ(cell.age, 0);
                EXPECT_LT(cell.threshold, 80);
            }
    }
}

TEST(RainModelSweep, ReplacementDrawsThreeNumbersInOrderOnlyWhenAgeExceedsThreshold) {
    RainModel m = QuietModel(2, 1, 0);
    m.At(0, 0).threshold = 0;  // age 1 > 0: replaced this frame
    m.At(1, 0).threshold = 1;  // age 1 is not > 1: kept
    RandomSource r(4242), expect(4242);
    Recorder rec;
    m.SweepCells(r, 50, rec, Never);
    const int r1 = expect.Next(), r2 = expect.Next(), r3 = expect.Next();
    (void)r1;  // one row: 2 * 1 / 3 = 0, so no row is in the upper two thirds
    EXPECT_EQ(m.At(0, 0).glyph, r2 % 27 + 27);
    EXPECT_EQ(m.At(0, 0).threshold, r3 % 80);
    EXPECT_EQ(m.At(0, 0).age, 0);
    EXPECT_EQ(m.At(1, 0).age, 1);
    EXPECT_EQ(r.State(), expect.State());
}

TEST(RainModelSweep, AgeWrapsAt256) {
    RainModel m = QuietModel(1, 1, 0);
    m.At(0, 0).age = 255;
    RandomSource r(1);
    Recorder rec;
    m.SweepCells(r, 0, rec, Never);
    EXPECT_EQ(m.At(0, 0).age, 0);
}

TEST(RainModelStop, StopEndsTheStepAndTheSweepAtOnce) {
    RainModel m = QuietModel(5, 4, 3);
    for (int s = 0; s < 3; ++s) m.Streams()[s] = Stream{static_cast<uint16_t>(s), 2, 10, 1};
    RandomSource r(1);
    int tests = 0;
    // Stop on the third test: stream 0, its cell at row 3 ... the second cell is not marked.
    m.StepStreams(r, [&] { return ++tests > 2; });
    EXPECT_EQ(m.Streams()[0].head, 3);
    EXPECT_EQ(m.Streams()[1].head, 2) << "streams after the stop are not advanced";
    EXPECT_EQ(m.At(0, 3).drawState, 4);
    EXPECT_EQ(m.At(0, 2).drawState, 0);

    Recorder rec;
    int sweepTests = 0;
    // Tests: row 3, then cells; stop after 3 cells were drawn.
    m.SweepCells(r, 0, rec, [&] { return ++sweepTests > 4; });
    EXPECT_EQ(rec.requests.size(), 3u);
    EXPECT_TRUE(rec.rowsEnded.empty());
    EXPECT_EQ(m.At(3, 3).age, 0) << "cells after the stop are not aged";
    EXPECT_EQ(m.At(0, 3).drawState, 0);
    m.At(0, 2).drawState = 4;  // a mark left for the next frame is drawn then
    Recorder next;
    m.SweepCells(r, 0, next, Never);
    ASSERT_EQ(next.requests.size(), 20u);
    EXPECT_EQ(next.requests[5].row, 2);
    EXPECT_EQ(next.requests[5].column, 0);
    EXPECT_NE(next.requests[5].glyph, kBlankGlyph);
}

TEST(RainModelWide, OneByOnePixelGlyphsAt1280x1024) {
    const int columns = 1280 / 1 + 1, rows = 1024 / 1 + 2;
    RainModel m;
    ASSERT_TRUE(m.Allocate(columns, rows));
    RandomSource r(1);
    m.Seed(400, r);
    for (unsigned s = 0; s < 400; ++s) {
        ASSERT_LT(m.Streams()[s].column, columns);
        ASSERT_LT(m.Streams()[s].head, rows + 30);
    }
    m.Streams()[0] = Stream{static_cast<uint16_t>(columns - 1), static_cast<int16_t>(rows + 41), 44, 1};
    m.StepStreams(r, Never);
    EXPECT_EQ(m.Streams()[0].head, rows + 42);
    EXPECT_EQ(m.At(columns - 1, rows - 1).drawState, 1) << "only the top cell of the stream is left on the grid";
    for (int frame = 0; frame < 3; ++frame) m.StepStreams(r, Never);
    EXPECT_EQ(m.Streams()[0].head, rows + 43) << "below the grid but not yet re-seeded";
    m.StepStreams(r, Never);  // the head reaches rows + 44 and the stream leaves
    EXPECT_LT(m.Streams()[0].head, 0) << "re-seeded once head - length >= rows";
}
