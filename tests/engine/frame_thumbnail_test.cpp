// The thumbnail the sending thread samples from the frames it draws, and its hand-over.

#include "engine/generator.h"
#include "tests/engine/look.h"
#include "tests/render/picture_test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 180;

std::vector<uint8_t> Pixels(const FrameThumbnail& thumbnail) {
    const uint8_t* p = thumbnail.Pixels();
    return {p, p + std::size_t{static_cast<uint32_t>(thumbnail.Width())} *
                       static_cast<uint32_t>(thumbnail.Height()) * 4};
}

class FrameThumbnailTest : public ::testing::Test {
protected:
    Generator generator;
    FrameComposer& composer = generator.Composer();
    FrameThumbnail& thumbnail = composer.Thumbnail();

    void SetUp() override {
        composer.Cloud(0) = BufferOf(NoisePicture(kWidth, kHeight, 1));
        composer.Logo() = BufferOf(NoisePicture(60, 20, 3));
    }
    // One frame from the start of a run, sampled at most `maxWidth` wide.
    std::vector<uint8_t> Sampled(int32_t maxWidth, bool uyvy) {
        composer.BeginRun(kWidth, kHeight);
        EXPECT_TRUE(thumbnail.Request(maxWidth));
        EXPECT_FALSE(thumbnail.Ready());
        composer.ComposeFrame(kWidth, kHeight, uyvy);
        EXPECT_TRUE(thumbnail.Ready());
        return Pixels(thumbnail);
    }
};

// Sampled band by band for a UYVY output or from the whole frame, the thumbnail is
// the same, as wide as asked but never wider than the frame, in the frame's shape; at
// the frame's own width it is the frame, clouds and logo included.
TEST_F(FrameThumbnailTest, BandsAndTheWholeFrameGiveOneThumbnailOfTheFrame) {
    GeneratorSettings look = Look(3, true, 0, 0x0A1B2C);
    look.logoOn = true;
    generator.Apply(look);
    for (const int32_t maxWidth : {kWidth / 3, kWidth, 4 * kWidth}) {
        const std::vector<uint8_t> banded = Sampled(maxWidth, true);
        EXPECT_EQ(banded, Sampled(maxWidth, false)) << maxWidth;
        EXPECT_EQ(thumbnail.Width(), std::min(maxWidth, kWidth));
        EXPECT_NEAR(thumbnail.Height(), double{kHeight} * thumbnail.Width() / kWidth, 0.5);
    }
    const uint8_t* frame = composer.FrameStore();
    EXPECT_EQ(Pixels(thumbnail),
              std::vector<uint8_t>(frame, frame + std::size_t{kWidth} * kHeight * 4));
    // Frames nobody asked for hand nothing over.
    ASSERT_TRUE(thumbnail.Withdraw());
    composer.ComposeFrame(kWidth, kHeight);
    EXPECT_FALSE(thumbnail.Ready());
}

// Frames sent as UYVY bands leave the store behind: a thumbnail of it, once stopped,
// shows the frame sent last, logo and scrolled clouds included, as a BGRX receiver of
// the UYVY frame sees it.
TEST_F(FrameThumbnailTest, AStoreLeftBehindShowsTheUyvyFrameSentLast) {
    // Smooth pictures, so that 4:2:2's shared chroma costs only rounding.
    composer.Cloud(0) = BufferOf(MakePicture(kWidth, kHeight, 32, [](int32_t x, int32_t y) {
        return 0x80000000U | static_cast<uint32_t>(y) << 16 | static_cast<uint32_t>(x / 2);
    }));
    composer.Logo() =
        BufferOf(MakePicture(60, 20, 32, [](int32_t, int32_t) { return 0xFFF0F0F0; }));
    GeneratorSettings look = Look(0, true, 0, 0x405060);
    look.cloudSpeed = 4;
    look.logoOn = true;
    generator.Apply(look);
    auto run = [&](bool uyvy) {
        composer.BeginRun(kWidth, kHeight);
        for (int frame = 0; frame < 10; ++frame) {
            composer.ComposeFrame(kWidth, kHeight, uyvy);
        }
    };
    run(false);
    const std::vector<uint8_t> drawn(composer.FrameStore(),
                                     composer.FrameStore() + std::size_t{kWidth} * kHeight * 4);
    run(true);
    ASSERT_TRUE(thumbnail.Withdraw());
    composer.SampleStore(kWidth, kHeight, kWidth);
    const std::vector<uint8_t> shown = Pixels(thumbnail);
    ASSERT_EQ(shown.size(), drawn.size());
    // The runtime's conversion rounds Y, Cb and Cr down and a pair shares them, so the
    // way back is off by about one step on average; a missing logo or clouds at the
    // wrong offset differ by tens.
    int largest = 0;
    double sum = 0;
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        if (i % 4 != 3) {
            const int difference = std::abs(shown[i] - drawn[i]);
            largest = std::max(largest, difference);
            sum += difference;
        }
    }
    EXPECT_LE(sum / (static_cast<double>(drawn.size()) * 3 / 4), 2.0);
    EXPECT_LE(largest, 6);
}

// Asked for, withdrawn and read while the sending thread draws frames of two looks,
// whole and in bands: every thumbnail handed over is one frame whole, and the pixels
// are never the two threads' at once (which ThreadSanitizer would see).
TEST_F(FrameThumbnailTest, AThumbnailAskedForWhileFramesAreDrawnIsOneFrameWhole) {
    const GeneratorSettings lookA = Look(0, false, 0, 0x102030);
    const GeneratorSettings lookB = Look(3, false, 0, 0x405060);
    generator.Apply(lookA);
    const std::vector<uint8_t> thumbA = Sampled(kWidth / 2, false);
    generator.Apply(lookB);
    const std::vector<uint8_t> thumbB = Sampled(kWidth / 2, true);
    ASSERT_NE(thumbA, thumbB);

    std::atomic<bool> stop{false};
    std::thread sending([&] {
        for (int frame = 0; !stop.load(); ++frame) {
            composer.ComposeFrame(kWidth, kHeight, frame % 2 != 0);
        }
    });
    int wholeA = 0;
    int wholeB = 0;
    int mixed = 0;
    for (int i = 0; i < 300; ++i) {
        generator.Apply(i % 2 == 0 ? lookA : lookB);
        while (!thumbnail.Request(kWidth / 2)) {
            std::this_thread::yield();
        }
        if (i % 3 == 0 && thumbnail.Withdraw()) {
            continue;
        }
        while (!thumbnail.Ready()) {
            std::this_thread::yield();
        }
        const std::vector<uint8_t> taken = Pixels(thumbnail);
        (taken == thumbA ? wholeA : taken == thumbB ? wholeB : mixed)++;
    }
    stop = true;
    sending.join();
    EXPECT_EQ(mixed, 0) << wholeA << " + " << wholeB << " whole thumbnails";
    EXPECT_GT(wholeA + wholeB, 0);
}

} // namespace
