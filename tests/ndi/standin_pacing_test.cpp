// When the stand-in's senders with clock_video send: the frame clock's schedule, and
// the runtime waiting for it on an injected clock, checked to the nanosecond.

#include "ndi_standin/frame_clock.h"
#include "ndi_standin/segment_directory.h"
#include "ndi_standin/standin_runtime.h"
#include "tests/ndi/standin_support.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace standin_test;

TEST(StandInClock, OnTimeCallersFollowExactDeadlinesWithoutDrift) {
    FrameClock clock;
    const int64_t start = 5'000'000'000;
    EXPECT_EQ(clock.Schedule(start, 30000, 1001), start); // the first frame goes at once
    int64_t due = start;
    for (int64_t k = 1; k <= 30000 * 3; ++k) {
        // The caller always comes back early, 1 ms after its previous frame.
        due = clock.Schedule(due + 1'000'000, 30000, 1001);
        if (k % 30000 == 0) {
            ASSERT_EQ(due - start, k / 30000 * 1001'000'000'000) << "slot " << k;
        }
    }
    EXPECT_EQ(FrameClock::SlotOffset(1, 30000, 1200), 40'000'000);
    EXPECT_EQ(FrameClock::SlotOffset(3, 30000, 1001), 100'100'000);
}

TEST(StandInClock, ALateCallerStartsANewScheduleInsteadOfABurst) {
    FrameClock clock;
    const int64_t period = 40'000'000; // 25p
    clock.Schedule(0, 30000, 1200);
    EXPECT_EQ(clock.Schedule(1'000'000, 30000, 1200), period);
    // Three periods late: sent at once, and the next slot is a full period later.
    const int64_t late = 5 * period;
    EXPECT_EQ(clock.Schedule(late, 30000, 1200), late);
    EXPECT_EQ(clock.Schedule(late + 1, 30000, 1200), late + period);
    EXPECT_EQ(clock.Schedule(late + period + 1, 30000, 1200), late + 2 * period);
    // A little late (under half a period) keeps the schedule.
    EXPECT_EQ(clock.Schedule(late + 3 * period + 5'000'000, 30000, 1200),
              late + 3 * period + 5'000'000);
    EXPECT_EQ(clock.Schedule(late + 3 * period + 6'000'000, 30000, 1200), late + 4 * period);
}

TEST(StandInClock, RateChangesAndNonsenseRatesStillPace) {
    FrameClock clock;
    clock.Schedule(0, 30000, 1200);
    EXPECT_EQ(clock.Schedule(0, 30000, 1200), 40'000'000);
    // The next frame at the new rate is one new period after the last slot.
    EXPECT_EQ(clock.Schedule(0, 30000, 1000), 40'000'000 + 33'333'333);
    FrameClock bad;
    bad.Schedule(0, 0, 0);
    EXPECT_EQ(bad.Schedule(0, 0, 0), 33'333'333);
    EXPECT_EQ(bad.Schedule(0, -5, 1), 66'666'666);
}

// A clock that moves only when a sender sleeps or the test moves it on, so deadlines
// can be checked to the nanosecond.
class FakeTimer : public PacingTimer {
public:
    int64_t now = 7'000'000'000;
    std::vector<int64_t> deadlines; // every sleep asked for

    int64_t NowNs() override { return now; }
    void SleepUntilNs(int64_t deadlineNs) override {
        deadlines.push_back(deadlineNs);
        now = std::max(now, deadlineNs);
    }
};

class StandInPacing : public ::testing::Test {
protected:
    FakeTimer timer;
    NdiRuntimeApi api = standin::Api();

    void SetUp() override { standin::UsePacingTimer(&timer); }
    void TearDown() override { standin::UsePacingTimer(nullptr); }

    // The deadline the send waited for.
    int64_t Send(NDIlib_send_instance_t sender, const TestFrame& frame) {
        timer.deadlines.clear();
        api.send_send_video_v2(sender, &frame.frame);
        EXPECT_EQ(timer.deadlines.size(), 1u);
        return timer.deadlines.empty() ? -1 : timer.deadlines.back();
    }
};

TEST_F(StandInPacing, OnTimeSendsWaitForExactSlotsAndNeverDriftAtEveryRate) {
    for (const auto& [n, d] : {std::pair{30000, 1200}, {30000, 1001}, {30000, 1000}, {50, 1}}) {
        const std::string name = UniqueName("pacing");
        NDIlib_send_instance_t sender = Create(api, name, true);
        ASSERT_NE(sender, nullptr);
        const std::optional<standin::SegmentReader> reader = standin::FindSource(name, geteuid());
        ASSERT_TRUE(reader);
        standin::SourceInfo info;
        const TestFrame frame(16, 9, n, d);
        const int64_t start = timer.now;
        EXPECT_EQ(Send(sender, frame), start) << "the first frame goes at once";
        // The caller is always back 1 ms after its last frame: early for every slot. Each
        // frame waits one period to the nanosecond, is stamped with its slot, and N
        // frames take exactly D seconds.
        const int64_t periodNs = int64_t{d} * 1'000'000'000 / n;
        int64_t previous = start;
        for (int64_t k = 1; k <= n; ++k) {
            timer.now += 1'000'000;
            const int64_t due = Send(sender, frame);
            ASSERT_TRUE(due - previous == periodNs || due - previous == periodNs + 1)
                << n << "/" << d << " frame " << k << ": " << due - previous;
            if (k <= 100 || k == n) { // reading every frame would take longer than sending
                ASSERT_EQ(reader->Read(info), standin::SegmentReader::Outcome::Read);
                ASSERT_EQ(info.lastFrameNs, due) << n << "/" << d << " frame " << k;
            }
            previous = due;
        }
        EXPECT_EQ(previous - start, int64_t{d} * 1'000'000'000) << n << "/" << d;
        EXPECT_EQ(info.frameCounter, static_cast<uint64_t>(n) + 1);
        api.send_destroy(sender);
    }
}

TEST_F(StandInPacing, WithoutClockVideoNothingWaitsAndFramesAreStampedWhenSent) {
    const std::string name = UniqueName("unclocked");
    NDIlib_send_instance_t sender = Create(api, name, false);
    ASSERT_NE(sender, nullptr);
    const TestFrame frame(16, 16, 30000, 1200);
    for (int i = 0; i < 3; ++i) {
        timer.now += 1'000;
        api.send_send_video_v2(sender, &frame.frame);
    }
    EXPECT_TRUE(timer.deadlines.empty());
    const std::optional<standin::SourceInfo> info = ReadSource(name);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->lastFrameNs, timer.now);
    api.send_destroy(sender);
}

// The real clock, which senders use unless told otherwise: a wait never ends before its
// deadline, and frames are stamped with CLOCK_MONOTONIC.
TEST(StandInRealClock, WaitsEndNoEarlierThanTheirDeadlinesAndStampsAreMonotonic) {
    PacingTimer& real = MonotonicTimer();
    const int64_t deadline = real.NowNs() + 2'000'000;
    real.SleepUntilNs(deadline);
    EXPECT_GE(real.NowNs(), deadline);

    const NdiRuntimeApi api = standin::Api();
    const std::string name = UniqueName("real clock");
    NDIlib_send_instance_t sender = Create(api, name, true);
    ASSERT_NE(sender, nullptr);
    const TestFrame frame(16, 16, 500, 1);
    const int64_t before = real.NowNs();
    api.send_send_video_v2(sender, &frame.frame);
    const std::optional<standin::SourceInfo> first = ReadSource(name);
    api.send_send_video_v2(sender, &frame.frame);
    const int64_t returned = real.NowNs();
    const std::optional<standin::SourceInfo> second = ReadSource(name);
    api.send_destroy(sender);
    ASSERT_TRUE(first && second);
    EXPECT_GE(first->lastFrameNs, before);
    EXPECT_GE(second->lastFrameNs, first->lastFrameNs);
    EXPECT_LE(second->lastFrameNs, returned);
}

} // namespace
