#include "tools/frame_timing.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr int64_t kMs = 1'000'000;
constexpr int64_t kPeriod25 = 400'000; // 40 ms in timecode units

// Frames arriving after `intervals` (ms), each one period on at 25 per second.
FrameTiming Arrivals(const std::vector<int64_t>& intervals) {
    FrameTiming timing;
    int64_t at = 0;
    int64_t timecode = 0;
    timing.Add(at, timecode, 25, 1);
    for (const int64_t interval : intervals) {
        at += interval * kMs;
        timecode += kPeriod25;
        timing.Add(at, timecode, 25, 1);
    }
    return timing;
}

TEST(FrameTimingTest, IntervalsAreRankedByNearestRankInWhateverOrderTheyCame) {
    // Seven intervals: the median is the 4th smallest, the 99th percentile the 7th.
    const FrameTiming::Summary seven = Arrivals({40, 10, 30, 70, 20, 60, 50}).Summarise(2000 * kMs);
    EXPECT_EQ(seven.frames, 8u);
    EXPECT_DOUBLE_EQ(seven.framesPerSecond, 4.0);
    EXPECT_DOUBLE_EQ(seven.medianMs, 40);
    EXPECT_DOUBLE_EQ(seven.p99Ms, 70);
    EXPECT_DOUBLE_EQ(seven.maxMs, 70);
    EXPECT_EQ(seven.repeated + seven.skipped, 0u);

    // 160: the 99th percentile is the 159th smallest (158.4 rounded up, never down).
    std::vector<int64_t> ramp;
    for (int64_t ms = 160; ms >= 1; --ms) {
        ramp.push_back(ms);
    }
    const FrameTiming::Summary many = Arrivals(ramp).Summarise(1000 * kMs);
    EXPECT_DOUBLE_EQ(many.medianMs, 80);
    EXPECT_DOUBLE_EQ(many.p99Ms, 159);
    EXPECT_DOUBLE_EQ(many.maxMs, 160);
}

TEST(FrameTimingTest, TimecodesCountRepeatsAndWholeMissingPeriods) {
    FrameTiming timing;
    int64_t at = 0;
    const auto add = [&](int64_t timecode, int32_t rateN, int32_t rateD) {
        at += 40 * kMs;
        timing.Add(at, timecode, rateN, rateD);
    };
    add(0, 25, 1);
    add(kPeriod25, 25, 1);
    add(kPeriod25, 25, 1);              // repeated
    add(2 * kPeriod25, 25, 1);          // on from the repeat: nothing missing
    add(5 * kPeriod25, 25, 1);          // two missing
    add(6 * kPeriod25 + 10'000, 25, 1); // a little late: none missing
    const int64_t late = 7 * kPeriod25 + 360'000;
    add(late, 25, 1); // short of two periods on, as clocks drift: one missing
    // At 30000/1001 a period is 333 667 units: three periods on, two missing.
    add(late + 1'001'000, 30000, 1001);
    add(late, 30000, 1001); // earlier than the last: repeated
    const FrameTiming::Summary summary = timing.Summarise(1000 * kMs);
    EXPECT_EQ(summary.frames, 9u);
    EXPECT_EQ(summary.repeated, 2u);
    EXPECT_EQ(summary.skipped, 5u);
}

// What `list` shows as a source's rate: two samples of its frame counter and of when its
// latest frame was published.
TEST(PublishRateTest, FramesBetweenTwoSamplesOverTheTimeBetweenTheirLatestFrames) {
    // 25p: 12 more frames, the latest 12 periods after the one seen first.
    EXPECT_DOUBLE_EQ(RateBetween({30, 7'000 * kMs}, {42, 7'480 * kMs}), 25.0);
    // 30000/1001: 30 frames in 1.001 s.
    EXPECT_NEAR(RateBetween({0, 0}, {30, 1'001 * kMs}), 29.970, 0.0005);
    // No frame between the samples.
    EXPECT_EQ(RateBetween({5, 100 * kMs}, {5, 100 * kMs}), 0.0);
    // The source was replaced under its name between the samples and counts afresh.
    EXPECT_EQ(RateBetween({500, 9'000 * kMs}, {3, 9'500 * kMs}), 0.0);
}

} // namespace
