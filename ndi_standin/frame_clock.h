#pragma once

#include <cstdint>

// Paces frames to frame_rate_N / frame_rate_D against absolute deadlines: slot k is
// at anchor + k * D / N seconds, computed exactly, so an on-time caller never drifts.
// A caller that comes later than half a period after its slot starts a new schedule
// at the moment it comes, so it gets no burst of frames to catch up; smaller
// lateness keeps the schedule. A rate that is not positive paces as 30 frames a
// second, so no caller can spin.
class FrameClock {
public:
    // The time (in the caller's nanosecond clock) at which a frame offered at `nowNs`
    // is due; never earlier than `nowNs`.
    int64_t Schedule(int64_t nowNs, int32_t rateN, int32_t rateD);

    // Nanoseconds from slot 0 to slot `index` at rate n / d, for 0 <= index <= n.
    static int64_t SlotOffset(int64_t index, int32_t rateN, int32_t rateD);

private:
    bool m_started = false;
    int64_t m_anchorNs = 0;
    int64_t m_index = 0;
    int32_t m_rateN = 0;
    int32_t m_rateD = 0;
};

// Where a paced sender reads the time and waits for a deadline, both in nanoseconds of
// one steady clock. MonotonicTimer() is CLOCK_MONOTONIC and clock_nanosleep; tests pass
// their own to check deadlines exactly instead of measuring real ones.
class PacingTimer {
public:
    virtual ~PacingTimer() = default;
    virtual int64_t NowNs() = 0;
    // Returns no earlier than `deadlineNs`.
    virtual void SleepUntilNs(int64_t deadlineNs) = 0;
};

PacingTimer& MonotonicTimer();
