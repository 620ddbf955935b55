// The thumbnail the sending thread samples from the frames it draws, and its hand-over.

#include "engine/generator.h"
#include "tests/engine/look.h"
#include "tests/render/picture_test_support.h"

#include <atomic>
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
// shows the look drawn last, not the one the store held.
TEST_F(FrameThumbnailTest, TheStoreIsDrawnAgainWhenBandsLeftItBehind) {
    const GeneratorSettings lookA = Look(0, false, 0, 0x102030);
    const GeneratorSettings lookB = Look(0, false, 0, 0x405060);
    generator.Apply(lookB);
    const std::vector<uint8_t> expected = Sampled(kWidth / 4, false);
    generator.Apply(lookA);
    composer.RenderStill(kWidth, kHeight);
    generator.Apply(lookB);
    composer.ComposeFrame(kWidth, kHeight, true);
    ASSERT_TRUE(thumbnail.Withdraw());
    composer.SampleStore(kWidth, kHeight, kWidth / 4);
    EXPECT_EQ(Pixels(thumbnail), expected);
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
