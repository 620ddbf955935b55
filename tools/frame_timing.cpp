#include "tools/frame_timing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void FrameTiming::Add(int64_t arrivalNs, int64_t timecode, int32_t rateN, int32_t rateD) {
    if (m_frames > 0) {
        m_intervalsNs.push_back(arrivalNs - m_lastArrivalNs);
        const int64_t step = timecode - m_lastTimecode;
        if (step <= 0) {
            ++m_repeated;
        } else if (rateN > 0 && rateD > 0) {
            // Timecodes run on the sender's clock, so a period may come out a little long
            // or short; only whole missing periods count.
            const double period = 1e7 * rateD / rateN;
            const auto periods =
                static_cast<int64_t>(std::llround(static_cast<double>(step) / period));
            m_skipped += static_cast<uint64_t>(std::max<int64_t>(periods - 1, 0));
        }
    }
    ++m_frames;
    m_lastArrivalNs = arrivalNs;
    m_lastTimecode = timecode;
}

FrameTiming::Summary FrameTiming::Summarise(int64_t spanNs) const {
    Summary summary;
    summary.frames = m_frames;
    summary.repeated = m_repeated;
    summary.skipped = m_skipped;
    summary.framesPerSecond =
        spanNs > 0 ? static_cast<double>(m_frames) * 1e9 / static_cast<double>(spanNs) : 0;
    if (m_intervalsNs.empty()) {
        return summary;
    }
    std::vector<int64_t> sorted = m_intervalsNs;
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank.
    const auto rank = [&](double share) {
        const auto index =
            static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size()))) - 1;
        return static_cast<double>(sorted[std::min(index, sorted.size() - 1)]) / 1e6;
    };
    summary.medianMs = rank(0.5);
    summary.p99Ms = rank(0.99);
    summary.maxMs = static_cast<double>(sorted.back()) / 1e6;
    return summary;
}

std::string FormatSummary(const FrameTiming::Summary& s) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "frames received\t%llu\n"
                  "frames per second\t%.2f\n"
                  "interval median ms\t%.2f\n"
                  "interval 99th percentile ms\t%.2f\n"
                  "interval maximum ms\t%.2f\n"
                  "frames repeated\t%llu\n"
                  "frames skipped\t%llu\n",
                  static_cast<unsigned long long>(s.frames), s.framesPerSecond, s.medianMs, s.p99Ms,
                  s.maxMs, static_cast<unsigned long long>(s.repeated),
                  static_cast<unsigned long long>(s.skipped));
    return text;
}

double RateBetween(const PublishSample& before, const PublishSample& now) {
    const int64_t spanNs = now.lastFrameNs - before.lastFrameNs;
    if (now.frames <= before.frames || spanNs <= 0) {
        return 0.0;
    }
    return static_cast<double>(now.frames - before.frames) * 1e9 / static_cast<double>(spanNs);
}
