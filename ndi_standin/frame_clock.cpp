#include "ndi_standin/frame_clock.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;

class Monotonic final : public PacingTimer {
public:
    int64_t NowNs() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return int64_t{ts.tv_sec} * kNsPerSecond + ts.tv_nsec;
    }
    void SleepUntilNs(int64_t deadlineNs) override {
        // An absolute deadline: a signal that cuts the sleep short costs no time.
        const timespec ts{static_cast<time_t>(deadlineNs / kNsPerSecond),
                          static_cast<long>(deadlineNs % kNsPerSecond)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
        }
    }
};

} // namespace

PacingTimer& MonotonicTimer() {
    static Monotonic timer;
    return timer;
}

int64_t FrameClock::SlotOffset(int64_t index, int32_t rateN, int32_t rateD) {
    // index * D < 2^62 for index <= N, and the remainder term stays below 2^61.
    const int64_t units = index * rateD;
    return units / rateN * kNsPerSecond + units % rateN * kNsPerSecond / rateN;
}

int64_t FrameClock::Schedule(int64_t nowNs, int32_t rateN, int32_t rateD) {
    if (rateN <= 0 || rateD <= 0) {
        rateN = 30;
        rateD = 1;
    }
    if (!m_started) {
        m_started = true;
        m_anchorNs = nowNs;
        m_index = 0;
        m_rateN = rateN;
        m_rateD = rateD;
        return nowNs;
    }
    if (rateN != m_rateN || rateD != m_rateD) {
        // The last slot becomes the start of a schedule at the new rate.
        m_anchorNs += SlotOffset(m_index, m_rateN, m_rateD);
        m_index = 0;
        m_rateN = rateN;
        m_rateD = rateD;
    }
    const int64_t due = m_anchorNs + SlotOffset(m_index + 1, m_rateN, m_rateD);
    if (nowNs - due > SlotOffset(1, m_rateN, m_rateD) / 2) {
        m_anchorNs = nowNs;
        m_index = 0;
        return nowNs;
    }
    if (++m_index == m_rateN) {
        // N slots take exactly D seconds; moving the anchor keeps the numbers small.
        m_anchorNs += m_rateD * kNsPerSecond;
        m_index = 0;
    }
    return std::max(nowNs, due);
}
