#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>
#include <type_traits>

// Hands a value from the one thread that changes it to a thread that reads it, whole: a
// sequence lock over 32-bit words. The writer never waits; a reader retries only while
// a write is under way, so neither side ever blocks the other.
template <typename T> class SettingsExchange {
    static_assert(std::is_trivially_copyable_v<T> && std::is_default_constructible_v<T>);

public:
    SettingsExchange() { Publish(T{}); }

    // Single writer only. No stand-alone fences: the words are stored with release and
    // loaded with acquire, so a reader that sees any new word also sees the odd
    // sequence number before it.
    void Publish(const T& value) {
        uint32_t words[kWords]{};
        std::memcpy(words, &value, sizeof(T));
        const uint32_t sequence = m_sequence.load(std::memory_order_relaxed);
        m_sequence.store(sequence + 1, std::memory_order_relaxed);
        for (std::size_t i = 0; i < kWords; ++i) {
            m_words[i].store(words[i], std::memory_order_release);
        }
        m_sequence.store(sequence + 2, std::memory_order_release);
    }

    T Snapshot() const {
        uint32_t words[kWords];
        for (;;) {
            const uint32_t before = m_sequence.load(std::memory_order_acquire);
            if ((before & 1u) == 0) {
                for (std::size_t i = 0; i < kWords; ++i) {
                    words[i] = m_words[i].load(std::memory_order_acquire);
                }
                if (m_sequence.load(std::memory_order_relaxed) == before) {
                    break;
                }
            }
            std::this_thread::yield();
        }
        T value;
        std::memcpy(&value, words, sizeof(T));
        return value;
    }

private:
    static constexpr std::size_t kWords = (sizeof(T) + 3) / 4;
    std::atomic<uint32_t> m_sequence{0};
    std::atomic<uint32_t> m_words[kWords]{};
};
