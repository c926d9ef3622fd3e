// The frame-rate title: when it refreshes and what it says.
#include "app/frame_loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

class FrameRate : public ::testing::Test {
  protected:
    void SetUp() override {
        lt = 0.0;
        fps = 0.0;
        nbFrames = 0;
        std::strcpy(title_string, "unchanged");
    }
};

TEST_F(FrameRate, RefreshesOnlyWhenStrictlyMoreThanATenthOfASecondHasPassed) {
    struct Case {
        const char *label;
        double lt, now;
        bool refreshes;
    } cases[] = {
        {"exactly 0.1", 0.1, 0.2, false},
        {"just above 0.1", 0.1, std::nextafter(0.2, 1.0), true},
        {"well below", 5.0, 5.0625, false},
        {"no time at all", 3.0, 3.0, false},
        {"clock behind the window start", 3.0, 2.0, false},
    };
    // The boundary cases mean what they say only if the subtraction is exact.
    ASSERT_EQ(0.2 - 0.1, 0.1);
    ASSERT_GT(std::nextafter(0.2, 1.0) - 0.1, 0.1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        lt = c.lt;
        nbFrames = 3;
        EXPECT_EQ(refreshFrameRate(c.now), c.refreshes);
        if (c.refreshes) {
            EXPECT_EQ(nbFrames, 0);
            EXPECT_STRNE(title_string, "unchanged");
        } else {
            EXPECT_EQ(lt, c.lt);
            EXPECT_EQ(nbFrames, 3);
            EXPECT_EQ(fps, 0.0);
            EXPECT_STREQ(title_string, "unchanged");
        }
    }
}

TEST_F(FrameRate, TitleShowsTheRateTruncatedWithNoDigitsBelowOne) {
    struct Case {
        const char *label;
        int frames;
        double elapsed; // exact in binary, so the rate is exact too
        double fps;
        const char *title;
    } cases[] = {
        {"below 1: blank before the placeholder and trailing blank together", 1, 2.0, 0.5,
         "Quorlin - FPS =  "},
        {"no frames", 0, 0.5, 0.0, "Quorlin - FPS =  "},
        {"exactly 1", 4, 4.0, 1.0, "Quorlin - FPS = 1 "},
        {"fraction truncated", 7, 2.0, 3.5, "Quorlin - FPS = 3 "},
        {"just below 2", 15, 7.5 + 0.0078125, 15 / 7.5078125, "Quorlin - FPS = 1 "},
        {"large", 123456, 0.125, 987648.0, "Quorlin - FPS = 987648 "},
        // 2^24 + 1 frames become 2^24 on the way through a float.
        {"count goes through a float", 16777217, 1.0, 16777216.0, "Quorlin - FPS = 16777216 "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SetUp();
        lt = 1.0;
        nbFrames = c.frames;
        ASSERT_TRUE(refreshFrameRate(1.0 + c.elapsed));
        EXPECT_EQ(fps, c.fps);
        EXPECT_STREQ(title_string, c.title);
        EXPECT_EQ(nbFrames, 0);
    }
}

TEST_F(FrameRate, WindowStartAdvancesByTheElapsedTime) {
    // lt + (now - lt) is not now for these values, so "lt = now" would show.
    const double start = 0.2, now = 0.9;
    ASSERT_NE(start + (now - start), now);
    lt = start;
    nbFrames = 10;
    ASSERT_TRUE(refreshFrameRate(now));
    EXPECT_EQ(lt, start + (now - start));
    EXPECT_EQ(fps, static_cast<double>(10.0f) / (now - start));
    EXPECT_STREQ(title_string, "Quorlin - FPS = 14 ");
}

} // namespace
