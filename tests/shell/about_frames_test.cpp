#include "shell/about_frames.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(AboutFrames, OneCycleIsTwentyFourTicksAndStartsAgainAtTheStandingPicture) {
    int step = 0;
    int ticks = 0;
    do {
        // Every picture shown exists, and the figure moves by one picture a
        // tick at most, so it never jumps.
        int next = NextAboutStep(step);
        EXPECT_GE(AboutFrameAt(next), 0);
        EXPECT_LT(AboutFrameAt(next), kAboutFrameCount);
        EXPECT_LE(std::abs(AboutFrameAt(next) - AboutFrameAt(step)), 1) << "step " << step;
        step = next;
        ++ticks;
    } while (step != 0 && ticks <= kAboutCycleLength);
    EXPECT_EQ(ticks, 24);
    EXPECT_EQ(NextAboutStep(23), 0);
    EXPECT_EQ(AboutFrameAt(NextAboutStep(23)), 0);
    EXPECT_EQ(AboutFrameAt(12), 10);  // the full kick, halfway
}

TEST(AboutFrames, AStepOutsideTheCycleShowsTheStandingPictureAndStartsOver) {
    for (int step : {-1, 24, 1000, -2147483647 - 1, 2147483647}) {
        EXPECT_EQ(AboutFrameAt(step), 0) << step;
        EXPECT_EQ(NextAboutStep(step), 0) << step;
    }
}

}  // namespace
