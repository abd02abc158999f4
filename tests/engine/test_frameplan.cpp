#include "engine/FramePlan.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <set>

TEST(FramePlan, HalvesRoundToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(360.5), 360);
    EXPECT_EQ(RoundHalfEven(361.5), 362);
    EXPECT_EQ(RoundHalfEven(180.25), 180);
    EXPECT_EQ(ComputeOutputSize({721, 405}, 0.5, 0, 0), QSize(360, 202));
    EXPECT_EQ(ComputeOutputSize({723, 401}, 0.5, 0, 0), QSize(362, 200));
    EXPECT_EQ(ComputeOutputSize({854, 480}, 0.25, 0, 0), QSize(214, 120)); // 213.5 → 214
    EXPECT_EQ(ComputeOutputSize({854, 480}, 1.0, 0, 0), QSize(854, 480));
    EXPECT_EQ(ComputeOutputSize({200, 200}, -1.0, 400, 100), QSize(400, 100));
    EXPECT_EQ(ComputeOutputSize({200, 200}, -1.0000001, 0, 0), QSize(0, 0));
}

TEST(FramePlan, TheDisplayRateNeverNeedsDelaysBelowTwoHundredths) {
    EXPECT_DOUBLE_EQ(EffectiveFrameRate(8, 1.0), 8.0);
    EXPECT_DOUBLE_EQ(EffectiveFrameRate(60, 1.0), 50.0);
    EXPECT_DOUBLE_EQ(EffectiveFrameRate(30, 2.0), 25.0);
    EXPECT_DOUBLE_EQ(EffectiveFrameRate(30, 0.5), 30.0);
    EXPECT_EQ(EffectiveFrameRate(0, 1.0), 0.0);
    EXPECT_EQ(EffectiveFrameRate(10, 0.0), 0.0);
    for (int fps : {1, 7, 8, 24, 25, 30, 50, 60, 100})
        for (double speed : {0.2, 0.5, 1.0, 1.5, 2.0, 4.0}) {
            const double period = 100.0 / (EffectiveFrameRate(fps, speed) * speed);
            for (int position = 0; position < 200; ++position)
                ASSERT_GE(FrameDelayCs(position, period), 2) << fps << " fps at " << speed;
        }
}

TEST(FramePlan, SamplesIncludeBothEndsAndStepByTheRate) {
    const auto times = SampleTimes(1000000, 2000000, 8, 1000);
    ASSERT_EQ(times.size(), 9u);
    EXPECT_EQ(times.front(), 1000000);
    EXPECT_EQ(times[1], 1125000);
    EXPECT_EQ(times.back(), 2000000);
    EXPECT_EQ(SampleTimes(0, 900000, 3, 1000).back(), 666667);
    EXPECT_EQ(SampleTimes(0, 1000000, 3, 1000).size(), 4u);
    EXPECT_EQ(SampleTimes(0, 10000000, 25, 7).size(), 7u);
    EXPECT_TRUE(SampleTimes(5, 4, 25, 100).empty());
    EXPECT_TRUE(SampleTimes(0, 4, 0, 100).empty());
}

TEST(FramePlan, ASampleShowsTheSourceFrameNearestItsTime) {
    // 24 fps source (frames 41667 µs apart, as a microsecond clock rounds them) sampled at 12 fps:
    // every second frame, never the one after.
    for (int k = 0; k < 48; ++k) {
        const int64_t t = std::llround(k * 1e6 / 12);
        const int64_t current = std::llround(2 * k * 1e6 / 24);
        const int64_t next = std::llround((2 * k + 1) * 1e6 / 24);
        EXPECT_FALSE(ShowsNextFrame(t, current, next)) << k;
    }
    EXPECT_TRUE(ShowsNextFrame(30000, 0, 40000));  // 10 ms to the next, 30 ms from the current
    EXPECT_FALSE(ShowsNextFrame(10000, 0, 40000)); // the other way round
    EXPECT_FALSE(ShowsNextFrame(20000, 0, 40000)); // a tie keeps the current frame
    EXPECT_FALSE(ShowsNextFrame(20300, 0, 40000)); // and so does a clock's rounding of one
    EXPECT_TRUE(ShowsNextFrame(21000, 0, 40000));  // but not a real difference
    EXPECT_FALSE(ShowsNextFrame(5, 10, 10));       // no next frame to speak of
}

TEST(FramePlan, EveryFrameASampleShowsMayBeShownAndMostOthersNot) {
    // Sources of even frames (as their clocks round them) sampled at other rates: the frame each
    // sample shows, chosen from all frames as the sampler does, is one MayBeShown lets through.
    struct TCase {
        double SourceFps, SampleFps;
    };
    for (const TCase c : {TCase{24, 10}, TCase{25, 8}, TCase{30, 8}, TCase{60, 20},
                          TCase{30000.0 / 1001, 10}, TCase{24, 24}, TCase{25, 50}}) {
        SCOPED_TRACE(testing::Message() << c.SourceFps << " fps at " << c.SampleFps);
        const int64_t duration = std::llround(1e6 / c.SourceFps);
        std::vector<int64_t> frames;
        for (int k = 0; k < c.SourceFps * 10; ++k) // 10 s of frames for the samples of 1 s to 8 s
            frames.push_back(std::llround(k * 1e6 / c.SourceFps));
        const std::vector<int64_t> times = SampleTimes(1000000, 8000000, c.SampleFps, 1000);
        std::set<int64_t> shown;
        size_t current = 0;
        for (const int64_t t : times) {
            while (current + 1 < frames.size() && frames[current + 1] <= t)
                ++current;
            if (current + 1 < frames.size() &&
                ShowsNextFrame(t, frames[current], frames[current + 1]))
                ++current;
            shown.insert(frames[current]);
        }
        int mayBe = 0;
        for (const int64_t pts : frames) {
            const bool may = MayBeShown(times, pts, duration);
            if (shown.count(pts) > 0) {
                EXPECT_TRUE(may) << pts;
            }
            mayBe += may ? 1 : 0;
        }
        // Only frames near the samples (and the clip's ends): well under all where samples are
        // sparser than frames.
        if (c.SampleFps * 2 <= c.SourceFps) {
            EXPECT_LT(mayBe, static_cast<int>(shown.size()) * 3 / 2 + 8);
        }
    }
    EXPECT_TRUE(MayBeShown({1000000}, 0, 0));          // duration unknown: every frame
    EXPECT_TRUE(MayBeShown({}, 5, 40000));             // no samples: nothing is ruled out
    EXPECT_TRUE(MayBeShown({1000000}, 930000, 40000)); // just before the first sample
    EXPECT_FALSE(MayBeShown({1000000, 1200000}, 1100000, 40000));
}

TEST(FramePlan, OrdersAreOriginalReverseAndPingPongWithoutDoubledTurns) {
    EXPECT_EQ(OrderFrames(4, foOriginal, 100), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(OrderFrames(4, foReverse, 100), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(OrderFrames(4, foPingPong, 100), (std::vector<int>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(OrderFrames(2, foPingPong, 100), (std::vector<int>{0, 1}));
    EXPECT_EQ(OrderFrames(1, foPingPong, 100), (std::vector<int>{0}));
    // Under a maximum a ping-pong order still comes back, with fewer frames each way.
    EXPECT_EQ(OrderFrames(5, foPingPong, 7), (std::vector<int>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(OrderFrames(5, foPingPong, 8), (std::vector<int>{0, 1, 2, 3, 4, 3, 2, 1}));
    EXPECT_EQ(OrderFrames(20, foPingPong, 4), (std::vector<int>{0, 1, 2, 1}));
    EXPECT_EQ(OrderFrames(20, foPingPong, 3), (std::vector<int>{0, 1}));
    EXPECT_EQ(OrderFrames(20, foPingPong, 1), (std::vector<int>{0}));
    for (int maxCount : {1, 2, 9, 10, 999, 1000}) {
        const std::vector<int> order = OrderFrames(5000, foPingPong, maxCount);
        EXPECT_LE(static_cast<int>(order.size()), maxCount);
        EXPECT_GE(static_cast<int>(order.size()), maxCount - 1);
        // Only the frames the engine reads are used.
        EXPECT_EQ(*std::max_element(order.begin(), order.end()) + 1,
                  FramesNeeded(foPingPong, maxCount))
            << maxCount;
    }
    EXPECT_EQ(FramesNeeded(foOriginal, 10), 10);
    EXPECT_EQ(FramesNeeded(foReverse, 10), 10);
    EXPECT_EQ(FramesNeeded(foPingPong, 10), 6);
    EXPECT_EQ(FramesNeeded(foPingPong, 0), 0);
    EXPECT_EQ(OrderFrames(5, foReverse, 2), (std::vector<int>{4, 3}));
    EXPECT_TRUE(OrderFrames(0, foOriginal, 10).empty());
    EXPECT_TRUE(OrderFrames(3, foOriginal, 0).empty());
}

TEST(FramePlan, DelaysAddUpToTheRunningTotalWithinOneHundredth) {
    for (double period : {12.5, 100.0 / 3, 100.0 / 7.0 / 1.3, 2.0, 4.1666666}) {
        for (int count : {1, 2, 3, 10, 99, 1000}) {
            int total = 0;
            for (int i = 0; i < count; ++i)
                total += FrameDelayCs(i, period);
            EXPECT_LE(std::abs(total - count * period), 1.0) << period << " x " << count;
        }
    }
}

TEST(FramePlan, RepeatedPicturesBecomeOneImageWithTheirTimeAddedUp) {
    // 25 fps shown at 50: each picture twice, at 2 hundredths each.
    const std::vector<TImageRun> doubled = MergeRepeatedFrames({5, 5, 6, 6, 7, 7}, 2.0);
    ASSERT_EQ(doubled.size(), 3u);
    for (size_t i = 0; i < doubled.size(); ++i) {
        EXPECT_EQ(doubled[i].Position, static_cast<int>(i) * 2);
        EXPECT_EQ(doubled[i].Frames, 2);
        EXPECT_EQ(doubled[i].DelayCs, 4);
    }
    // Uneven periods: each run ends when its last frame would have ended.
    const double period = 100.0 / 30;
    const std::vector<int64_t> pictures = {1, 1, 1, 2, 3, 3, 1, 1};
    const std::vector<TImageRun> runs = MergeRepeatedFrames(pictures, period);
    ASSERT_EQ(runs.size(), 4u);
    int total = 0;
    for (const TImageRun& run : runs) {
        EXPECT_EQ(total, std::llround(run.Position * period)) << run.Position;
        total += run.DelayCs;
    }
    EXPECT_EQ(total, std::llround(pictures.size() * period));
    EXPECT_EQ(runs[3].Frames, 2); // the same picture again after others is a new image
    // A run never needs more than the delay field holds.
    const std::vector<TImageRun> capped = MergeRepeatedFrames({9, 9, 9, 9, 9}, 100.0, 250);
    ASSERT_EQ(capped.size(), 3u);
    EXPECT_EQ(capped[0].DelayCs, 200);
    EXPECT_EQ(capped[2].DelayCs, 100);
    EXPECT_TRUE(MergeRepeatedFrames({}, 10.0).empty());
}
