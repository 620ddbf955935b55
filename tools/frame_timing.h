#pragma once

// What `skyfill-monitor watch` reports about a run of received frames: how many, how
// often, how evenly, and what the sender's timecodes say was repeated or skipped.

#include <cstdint>
#include <string>
#include <vector>

class FrameTiming {
public:
    // One received frame: when it arrived (any steady clock, nanoseconds), its timecode
    // (100 ns units, as NDI stamps them) and the frame rate it announced.
    void Add(int64_t arrivalNs, int64_t timecode, int32_t rateN, int32_t rateD);

    struct Summary {
        uint64_t frames = 0;
        double framesPerSecond = 0;
        double medianMs = 0;
        double p99Ms = 0;
        double maxMs = 0;
        uint64_t repeated = 0; // same or earlier timecode than the frame before
        uint64_t skipped = 0;  // whole frame periods missing between timecodes
    };
    // Frames per second are counted over `spanNs`, the time watched.
    Summary Summarise(int64_t spanNs) const;

private:
    std::vector<int64_t> m_intervalsNs;
    uint64_t m_frames = 0;
    int64_t m_lastArrivalNs = 0;
    int64_t m_lastTimecode = 0;
    uint64_t m_repeated = 0;
    uint64_t m_skipped = 0;
};

// The summary as `watch` prints it, one fact a line.
std::string FormatSummary(const FrameTiming::Summary& summary);

// A source's frame counter and when its latest frame was published (steady clock, ns).
struct PublishSample {
    uint64_t frames = 0;
    int64_t lastFrameNs = 0;
};

// Frames per second published between two samples of one source; 0 when no frame came
// between them or the counter went back.
double RateBetween(const PublishSample& before, const PublishSample& now);
