#include "engine/frame_viewer.h"
#include "engine/generator.h"
#include "tests/engine/look.h"
#include "tests/render/picture_test_support.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kW = 320;
constexpr int32_t kH = 180;

std::vector<uint8_t> Frame(const Generator& generator) {
    const uint8_t* store = generator.Composer().FrameStore();
    return {store, store + std::size_t{kW} * kH * 4};
}

class FrameComposerTest : public ::testing::Test {
protected:
    Generator generator;

    void SetUp() override {
        // Two cloud sets that differ everywhere, at the frame's size.
        generator.Composer().Cloud(0) = BufferOf(NoisePicture(kW, kH, 1));
        generator.Composer().Cloud(1) = BufferOf(NoisePicture(kW, kH, 2));
        generator.Composer().BeginRun(kW, kH);
    }
    std::vector<uint8_t> Rendered(const GeneratorSettings& settings) {
        generator.Apply(settings);
        generator.Composer().ComposeFrame(kW, kH);
        return Frame(generator);
    }
};

// The window thread switches pattern, clouds and cloud set while the sending thread
// renders: every frame must be one look or the other, never a mixture.
TEST_F(FrameComposerTest, AFrameRenderedWhileSettingsChangeIsOneLookWhole) {
    const GeneratorSettings lookA = Look(0, false, 0, 0x102030);
    const GeneratorSettings lookB = Look(3, true, 1, 0x405060);
    const std::vector<uint8_t> frameA = Rendered(lookA);
    const std::vector<uint8_t> frameB = Rendered(lookB);
    ASSERT_NE(frameA, frameB);

    std::atomic<bool> done{false};
    std::thread window([&] {
        for (int i = 0; !done.load(); ++i) {
            generator.Apply(i % 2 == 0 ? lookA : lookB);
        }
    });
    int framesA = 0;
    int framesB = 0;
    int mixed = 0;
    for (int frame = 0; frame < 2000; ++frame) {
        generator.Composer().ComposeFrame(kW, kH);
        const std::vector<uint8_t> drawn = Frame(generator);
        (drawn == frameA ? framesA : drawn == frameB ? framesB : mixed)++;
    }
    done = true;
    window.join();
    EXPECT_EQ(mixed, 0) << framesA << " + " << framesB << " whole frames";
}

class CountingViewer : public FrameViewer {
public:
    std::atomic<int> shown{0};
    void ShowFrame(const uint8_t*, int32_t, int32_t) override { ++shown; }
};

TEST_F(FrameComposerTest, ThePreviewShowsNoFrameTheNextOnceOrEveryOne) {
    CountingViewer viewer;
    generator.Composer().SetViewer(&viewer);
    FrameComposer& composer = generator.Composer();
    composer.ComposeFrame(kW, kH);
    EXPECT_EQ(viewer.shown, 0);
    composer.SetPreviewOnce(true);
    composer.ComposeFrame(kW, kH);
    composer.ComposeFrame(kW, kH);
    EXPECT_EQ(viewer.shown, 1);
    GeneratorSettings settings = generator.Settings();
    settings.previewEveryFrame = true;
    generator.Apply(settings);
    composer.ComposeFrame(kW, kH);
    composer.ComposeFrame(kW, kH);
    EXPECT_EQ(viewer.shown, 3);
}

// A request raised while a frame is drawn is kept for the next frame: every request the
// window makes is met by exactly one frame shown.
TEST_F(FrameComposerTest, EveryOnceRequestGivesExactlyOneFrameShown) {
    CountingViewer viewer;
    FrameComposer& composer = generator.Composer();
    composer.SetViewer(&viewer);
    std::atomic<bool> stop{false};
    std::thread sending([&] {
        while (!stop) {
            composer.ComposeFrame(kW, kH);
        }
    });
    int requests = 0;
    while (requests < 200) {
        if (!composer.PreviewOnce()) {
            composer.SetPreviewOnce(true);
            ++requests;
        }
        std::this_thread::yield();
    }
    stop = true;
    sending.join();
    EXPECT_EQ(viewer.shown, requests - (composer.PreviewOnce() ? 1 : 0));
}

// The mask's alpha written while sending lands between two frames, and the logo's
// alpha is merged into the first frame after it.
TEST_F(FrameComposerTest, AlphaHandedOverWhileSendingIsWrittenBeforeTheNextFrame) {
    GeneratorSettings settings = Look(0, false, 0, 0x102030);
    settings.useMask = true;
    generator.Apply(settings);
    ImageBuffer mask = BufferOf(MakePicture(kW, kH, 32, [](int32_t x, int32_t) {
        return x < kW / 2 ? 0xFF000000u : 0xFFFFFFFFu; // black left, white right
    }));
    generator.Composer().TakeMask("/masks/half.png", "half.png", &mask);
    ASSERT_TRUE(generator.Composer().FitMask(kW, kH));
    EXPECT_EQ(generator.Composer().Mask().m_filePath, "/masks/half.png");

    generator.Composer().WriteAlpha(kW, kH, settings, /*sending=*/true);
    const uint8_t* store = generator.Composer().FrameStore();
    generator.Composer().ComposeFrame(kW, kH);
    EXPECT_EQ(store[3], 0x00);                // left half transparent
    EXPECT_EQ(store[(kW - 1) * 4 + 3], 0xFF); // right half opaque

    // A hand-over that a re-configure overtook is dropped.
    settings.useMask = false;
    generator.Composer().WriteAlpha(kW, kH, settings, true);
    generator.Composer().DropPendingAlpha();
    generator.Composer().ComposeFrame(kW, kH);
    EXPECT_EQ(store[3], 0x00);
}

} // namespace
