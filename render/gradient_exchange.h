#pragma once

#include "render/gradient.h"

#include <atomic>
#include <cstdint>

// Hands the corner colours and fill pattern from the one thread that changes them to
// the thread that renders, so that every frame is drawn from one consistent set and
// neither side ever waits for the other (a sequence lock; the writer never blocks,
// a reader retries only while a write is under way).
class GradientExchange {
public:
    // Single writer only.
    void Publish(const GradientParams& params);
    GradientParams Snapshot() const;

private:
    static constexpr int kWords = 5;
    std::atomic<uint32_t> m_sequence{0};
    std::atomic<uint32_t> m_words[kWords]{};
};
