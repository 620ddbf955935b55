#include "render/gradient_exchange.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Every published set has all five words derived from one counter, so a torn
// snapshot (old and new words mixed) is visible.
GradientParams SetNumber(uint32_t n) {
    GradientParams p;
    for (int i = 0; i < 4; ++i) {
        p.corners[i] = ColourRecord::FromValue(n * 4 + static_cast<uint32_t>(i));
    }
    p.fillPattern = static_cast<int32_t>(n);
    return p;
}

TEST(GradientExchange, ReaderNeverSeesAMixedSet) {
    GradientExchange exchange;
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
        const GradientParams p = exchange.Snapshot();
        const auto n = static_cast<uint32_t>(p.fillPattern);
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(p.corners[i].Value(), n * 4 + static_cast<uint32_t>(i));
        }
        ASSERT_GE(n, last); // never goes back to an older set
        last = n;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(exchange.Snapshot().fillPattern, 200000);
}

} // namespace
