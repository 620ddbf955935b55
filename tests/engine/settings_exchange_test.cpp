#include "engine/settings_exchange.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Every word derived from one counter, so a torn copy (old and new words mixed) shows.
struct Words {
    uint32_t w[7];
};

Words SetNumber(uint32_t n) {
    Words words{};
    for (uint32_t i = 0; i < 7; ++i) {
        words.w[i] = n * 7 + i;
    }
    return words;
}

TEST(SettingsExchange, ReaderNeverSeesAMixedSetNorAnOlderOne) {
    SettingsExchange<Words> exchange;
    exchange.Publish(SetNumber(0));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (uint32_t n = 1; n <= 200000; ++n) {
            exchange.Publish(SetNumber(n));
        }
        done = true;
    });
    uint32_t last = 0;
    int reads = 0;
    while (!done || reads < 10) {
        const Words words = exchange.Snapshot();
        const uint32_t n = words.w[0] / 7;
        for (uint32_t i = 0; i < 7; ++i) {
            ASSERT_EQ(words.w[i], n * 7 + i);
        }
        ASSERT_GE(n, last);
        last = n;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(exchange.Snapshot().w[6], 200000u * 7 + 6);
}

} // namespace
