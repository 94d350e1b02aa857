#include <gtest/gtest.h>

#include "app/saver_state.h"

TEST(SaverState, StartsWithTheDocumentedValues) {
    SaverState s;
    EXPECT_EQ(s.running.load(), 1);
    EXPECT_EQ(s.active.load(), 0);
    EXPECT_EQ(s.framePresented.load(), 0);
    EXPECT_EQ(s.threadEnded.load(), 0);
    EXPECT_EQ(s.monitorOff.load(), 0);
    EXPECT_EQ(s.resumeLogged, 1);
    EXPECT_EQ(s.density, 300u);
    EXPECT_EQ(s.highlightDensity, 8);
    EXPECT_EQ(s.resolutionIndex, 2);
    EXPECT_EQ(s.screenWidth, 800);
    EXPECT_EQ(s.screenHeight, 600);
    EXPECT_EQ(s.valueSize, 20u);
    EXPECT_EQ(s.lastFrameTime, 0u);
    EXPECT_EQ(s.displayManager, nullptr);
    EXPECT_EQ(s.loader, nullptr);
    EXPECT_EQ(s.glyphs, nullptr);
    EXPECT_EQ(s.rain.Cells(), nullptr);
    EXPECT_EQ(s.cursorCaptured, 0);
}
