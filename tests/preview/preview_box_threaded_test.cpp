// The preview box fed from a producer thread while this (the dialog's) thread paints:
// no paint mixes two frames, frames arrive in order and the last one is shown, and the
// once-request hand-over between the two threads neither loses nor repeats a refresh.

#include "frames.h"
#include "preview/preview_box.h"

#include <QApplication>
#include <QImage>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// A uniform frame whose colour encodes its number.
uint32_t FrameColour(int32_t number) {
    return 0xFF000000u | static_cast<uint32_t>(number & 0xFF) |
           static_cast<uint32_t>((number >> 8) & 0xFF) << 8 | 0x800000u;
}

int32_t NumberOf(QRgb pixel) {
    return qBlue(pixel) | qGreen(pixel) << 8;
}

TEST(PreviewBoxThreaded, PaintsNeverMixFramesAndFollowTheProducer) {
    PreviewBox box;
    box.resize(250, 143);
    box.InitPreview();
    box.show();

    constexpr int32_t kFrames = 300;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        // Two frames, as the renderer overwrites its store while the last one is shown.
        TestFrame frames[2] = {TestFrame(1280, 720), TestFrame(1280, 720)};
        for (int32_t n = 1; n <= kFrames; ++n) {
            TestFrame& frame = frames[n % 2];
            frame.Fill(FrameColour(n));
            box.RefreshAlways(frame.pixels.data(), frame.width, frame.height);
        }
        done = true;
    });

    int32_t last = 0;
    int paints = 0, mixed = 0, backwards = 0;
    auto check = [&] {
        QApplication::processEvents();
        const QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (!box.HasDrawImage()) {
            return;
        }
        ++paints;
        const QRgb first = image.pixel(0, 0);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixel(x, y) != first) {
                    ++mixed;
                    return;
                }
            }
        }
        const int32_t number = NumberOf(first);
        backwards += number < last;
        last = number;
    };
    while (!done) {
        check();
    }
    producer.join();
    check();
    EXPECT_GT(paints, 0);
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(backwards, 0);
    EXPECT_EQ(last, kFrames);
}

} // namespace
