// skyfill-monitor, run as its own process, reading what this process publishes
// through the stand-in runtime.

#include "ndi/sender_setup.h"
#include "ndi/standin_runtime.h"
#include "tests/ndi/monitor_fixture.h"

#include <QImage>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace monitor_test;

TEST_F(MonitorTest, ReadsNameFormatMetadataAndPixels) {
    const std::string name = Name("pixels");
    NDIlib_send_instance_t sender = Create(name, false);
    ASSERT_NE(sender, nullptr);
    NDIlib_metadata_frame_t product{static_cast<int>(kProductText.size()), INT64_MAX,
                                    const_cast<char*>(kProductText.data())};
    api.send_add_connection_metadata(sender, &product);

    // Every alpha value, including 0 under a colour, must come back as sent.
    const int width = 64, height = 36;
    std::vector<uint8_t> pixels(std::size_t{4} * width * height);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<uint8_t>((i * 37) ^ (i >> 8));
    }
    NDIlib_video_frame_v2_t frame{};
    FillVideoFrame(frame, {width, height, 30000, 1001}, false, pixels.data());
    api.send_send_video_v2(sender, &frame);

    const Result list = Monitor({"list"});
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(LineFor(list.out, name), name + "\t64x36\tBGRA\t30000/1001\t1\t0.00");

    const Result metadata = Monitor({"metadata", name});
    ASSERT_EQ(metadata.status, 0) << metadata.err;
    EXPECT_EQ(metadata.out, std::string(kProductText) + "\n");

    const std::string png = dir + "/frame.png";
    const Result save = Monitor({"save", name, png});
    ASSERT_EQ(save.status, 0) << save.err;
    QImage image(QString::fromStdString(png));
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(image.width(), width);
    ASSERT_EQ(image.height(), height);
    EXPECT_TRUE(image.hasAlphaChannel());
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        ASSERT_EQ(std::memcmp(image.constScanLine(y), &pixels[std::size_t(y) * 4 * width],
                              std::size_t{4} * width),
                  0)
            << "row " << y;
    }
    api.send_destroy(sender);
}

TEST_F(MonitorTest, AMissingSourceIsAClearErrorWithStatusOne) {
    const std::string name = Name("missing");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"metadata", name},
          std::vector<std::string>{"save", name, dir + "/x.png"}}) {
        const Result result = Monitor(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find("no live source named \"" + name + "\""), std::string::npos)
            << result.err;
    }
    EXPECT_EQ(Monitor({"save", name}).status, 2);
    EXPECT_EQ(Monitor({"frobnicate"}).status, 2);
}

TEST_F(MonitorTest, ASourceWithoutAFrameCannotBeSavedButIsListed) {
    const std::string name = Name("empty");
    NDIlib_send_instance_t sender = Create(name, false);
    ASSERT_NE(sender, nullptr);
    EXPECT_EQ(LineFor(Monitor({"list"}).out, name), name + "\t0x0\t-\t0/0\t0\t0.00");
    const Result save = Monitor({"save", name, dir + "/none.png"});
    EXPECT_EQ(save.status, 1);
    EXPECT_NE(save.err.find("has not sent a frame"), std::string::npos) << save.err;
    api.send_destroy(sender);
    EXPECT_EQ(LineFor(Monitor({"list"}).out, name), "");
}

TEST_F(MonitorTest, ListMeasuresTheRateOfAnotherProcess) {
    const std::string name = Name("rate");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        NDIlib_send_instance_t sender = Create(name, true);
        std::vector<uint8_t> pixels(std::size_t{4} * 320 * 180, 0x80);
        NDIlib_video_frame_v2_t frame{};
        FillVideoFrame(frame, {320, 180, 30000, 1200}, true, pixels.data());
        api.send_send_video_v2(sender, &frame);
        const char byte = sender != nullptr ? 1 : 0;
        (void)!write(ready[1], &byte, 1);
        for (int i = 0; i < 25 * 4; ++i) {
            api.send_send_video_v2(sender, &frame);
        }
        api.send_destroy(sender);
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    ASSERT_EQ(byte, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<std::string> fields = Fields(LineFor(Monitor({"list"}).out, name));
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[1], "320x180");
    EXPECT_EQ(fields[2], "BGRX");
    EXPECT_EQ(fields[3], "30000/1200");
    EXPECT_GE(std::stoull(fields[4]), 5u);
    const double rate = std::stod(fields[5]);
    std::printf("  measured %.2f frames per second at 25p\n", rate);
    EXPECT_GT(rate, 22.0);
    EXPECT_LT(rate, 28.0);
}

} // namespace
