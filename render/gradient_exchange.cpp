#include "render/gradient_exchange.h"

#include <thread>

// No stand-alone fences: the words are stored with release and loaded with acquire,
// so a reader that sees any new word also sees the odd sequence number before it.
void GradientExchange::Publish(const GradientParams& params) {
    const uint32_t sequence = m_sequence.load(std::memory_order_relaxed);
    m_sequence.store(sequence + 1, std::memory_order_relaxed);
    for (int i = 0; i < 4; ++i) {
        m_words[i].store(params.corners[i].Value(), std::memory_order_release);
    }
    m_words[4].store(static_cast<uint32_t>(params.fillPattern), std::memory_order_release);
    m_sequence.store(sequence + 2, std::memory_order_release);
}

GradientParams GradientExchange::Snapshot() const {
    uint32_t words[kWords];
    for (;;) {
        const uint32_t before = m_sequence.load(std::memory_order_acquire);
        if ((before & 1u) == 0) {
            for (int i = 0; i < kWords; ++i) {
                words[i] = m_words[i].load(std::memory_order_acquire);
            }
            if (m_sequence.load(std::memory_order_relaxed) == before) {
                break;
            }
        }
        std::this_thread::yield();
    }
    GradientParams params;
    for (int i = 0; i < 4; ++i) {
        params.corners[i] = ColourRecord::FromValue(words[i]);
    }
    params.fillPattern = static_cast<int32_t>(words[4]);
    return params;
}
