// The preview box fed from a producer thread while this (the dialog's) thread paints:
// no paint mixes two frames, frames arrive in order and the last one is shown, and the
// once-request hand-over between the two threads neither loses nor repeats a refresh.

#include "frames.h"
#include "preview/vid_box.h"

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

TEST(VidBoxThreaded, PaintsNeverMixFramesAndFollowTheProducer) {
    VidBox box;
    box.resize(250, 143);
    box.InitPreview();
    box.show();

    constexpr int32_t kFrames = 300;
    std::atomic<int32_t> mode{2};
    std::atomic<bool> done{false};
    std::thread producer([&] {
        // Two frames, as the renderer overwrites its store while the last one is shown.
        TestFrame frames[2] = {TestFrame(1280, 720), TestFrame(1280, 720)};
        for (int32_t n = 1; n <= kFrames; ++n) {
            TestFrame& frame = frames[n % 2];
            frame.Fill(FrameColour(n));
            box.RefreshFromFrame(mode, frame.pixels.data(), frame.width, frame.height);
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

TEST(VidBoxThreaded, EveryOnceRequestGivesExactlyOneRefresh) {
    VidBox box;
    box.InitPreview();
    TestFrame frame(960, 540);
    frame.Fill(0xFF204060);

    std::atomic<int32_t> mode{0};
    std::atomic<bool> stop{false};
    int32_t refreshes = 0;
    std::thread producer([&] {
        while (!stop) {
            refreshes += box.RefreshFromFrame(mode, frame.pixels.data(), 960, 540);
        }
    });
    // The dialog side raises "off" to "once", as a settings change does.
    int32_t raises = 0;
    while (raises < 2000) {
        int32_t off = 0;
        raises += mode.compare_exchange_strong(off, 1);
    }
    stop = true;
    producer.join();
    EXPECT_EQ(refreshes, raises - (mode.load() == 1 ? 1 : 0));
}

TEST(VidBoxThreaded, TurningThePreviewOnIsNeverUndoneByAOnceRefresh) {
    VidBox box;
    box.InitPreview();
    TestFrame frame(640, 360);
    frame.Fill(0xFF336699);
    for (int trial = 0; trial < 200; ++trial) {
        std::atomic<int32_t> mode{1};
        std::atomic<bool> started{false};
        std::thread producer([&] {
            started = true;
            for (int i = 0; i < 20; ++i) {
                box.RefreshFromFrame(mode, frame.pixels.data(), 640, 360);
            }
        });
        while (!started) {
        }
        mode = 2; // "Video preview" checked
        producer.join();
        ASSERT_EQ(mode.load(), 2) << trial;
    }
    QApplication::processEvents();
}

} // namespace
