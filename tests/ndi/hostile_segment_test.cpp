// What other programs and users put under a source's name: headers that lie, objects
// that shrink while read, FIFOs, links, other owners' objects and control characters.

#include "ndi/sender_setup.h"
#include "tests/ndi/monitor_support.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace monitor_test;
class HostileSegmentTest : public MonitorTest {};
using Edit = std::function<void(standin::SegmentHeader&)>;

int Lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(HostileSegmentTest, LyingHeadersGiveAOneLineErrorAndStatusOne) {
    const std::vector<std::pair<const char*, Edit>> lies = {
        {"4 bytes for 4096x2160",
         [](auto& h) { h.xres = 4096, h.yres = 2160, h.stride = 4 * 4096, h.frameBytes = 4; }},
        {"counts right, object short",
         [](auto& h) {
             h.xres = 4096, h.yres = 2160, h.stride = 4 * 4096, h.frameBytes = 4096u * 2160 * 4;
         }},
        {"stride", [](auto& h) { h.stride += 4; }},
        {"4 GiB", [](auto& h) { h.xres = 0, h.frameBytes = 0xFFFFFFFFu; }},
        {"negative", [](auto& h) { h.xres = h.yres = -2, h.stride = -8, h.frameBytes = 16; }},
        {"format", [](auto& h) { h.fourCC = 0x12345678; }},
        {"UYVY with BGRA's sizes", [](auto& h) { h.fourCC = NDIlib_FourCC_video_type_UYVY; }},
        {"UYVY with BGRA's stride",
         [](auto& h) { h.fourCC = NDIlib_FourCC_video_type_UYVY, h.frameBytes = 2 * 8 * 2; }},
        {"UYVY with BGRA's byte count",
         [](auto& h) { h.fourCC = NDIlib_FourCC_video_type_UYVY, h.stride = 2 * 8; }},
        {"UYVY odd width",
         [](auto& h) {
             h.fourCC = NDIlib_FourCC_video_type_UYVY, h.xres = 7, h.stride = 2 * 7,
             h.frameBytes = 2 * 7 * 2;
         }},
        {"rate", [](auto& h) { h.frameRateD = 0; }},
        {"metadata", [](auto& h) { h.metadataLength = 1u << 30; }},
        {"layout", [](auto& h) { h.headerBytes = 16; }},
    };
    for (const auto& [what, edit] : lies) {
        const std::string source = Name(what);
        std::vector<uint8_t> header = Header(source, 8, 2);
        edit(*reinterpret_cast<standin::SegmentHeader*>(header.data()));
        close(Make(source, header, 4 * 8 * 2));
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"metadata", source}, {"save", source, dir + "/lie.png"}}) {
            const Result result = Monitor(args);
            EXPECT_EQ(result.status, 1) << what;
            EXPECT_EQ(Lines(result.err), 1) << what << ": " << result.err;
            EXPECT_NE(result.err.find("cannot be read: "), std::string::npos) << result.err;
        }
        EXPECT_EQ(LineFor(Monitor({"list"}).out, source), "") << what;
    }
}

TEST_F(HostileSegmentTest, ASegmentShrunkAndRegrownWhileSavedNeverFaults) {
    const std::string source = Name("shrinking");
    const int w = 1280, h = 720;
    const off_t full = off_t{standin::kHeaderBytes} + 4 * w * h;
    const int fd = Make(source, Header(source, w, h), 4 * w * h);
    std::atomic<bool> stop{false};
    std::thread shrinker([&] {
        while (!stop.load()) {
            (void)ftruncate(fd, standin::kHeaderBytes + 64);
            std::this_thread::yield();
            (void)ftruncate(fd, full);
        }
    });
    int saved = 0;
    for (int attempt = 0; attempt < 60; ++attempt) {
        const Result result = Monitor({"save", source, dir + "/shrinking.png"});
        ASSERT_TRUE(result.status == 0 || result.status == 1)
            << "attempt " << attempt << ": status " << result.status << " " << result.err;
        EXPECT_LE(Lines(result.err), 1) << result.err;
        saved += result.status == 0 ? 1 : 0;
    }
    stop = true;
    shrinker.join();
    close(fd);
    std::printf("  %d of 60 saves found the frame whole\n", saved);
}

TEST_F(HostileSegmentTest, FifosLinksAndOtherOwnersUnderASourceNameAreSteppedAround) {
    struct Squatter {
        const char* what;
        std::function<bool(const std::string& path)> make;
    };
    std::vector<Squatter> squatters = {
        {"fifo", [](const std::string& path) { return mkfifo(path.c_str(), 0666) == 0; }},
        {"link",
         [this](const std::string& path) {
             const std::string fifo = dir + "/fifo";
             return (mkfifo(fifo.c_str(), 0666) == 0 || errno == EEXIST) &&
                    symlink(fifo.c_str(), path.c_str()) == 0;
         }},
    };
    if (geteuid() == 0) { // only root can hand an object to another user
        squatters.push_back({"other owner", [](const std::string& path) {
                                 const int fd = open(path.c_str(), O_CREAT | O_EXCL | O_RDWR, 0644);
                                 const bool made = fd >= 0 && fchown(fd, 65534, 65534) == 0 &&
                                                   ftruncate(fd, standin::kHeaderBytes) == 0;
                                 close(fd);
                                 return made;
                             }});
    }
    for (const Squatter& squatter : squatters) {
        const std::string source = Name(squatter.what);
        const std::string path = "/dev/shm" + Segment(source);
        ASSERT_TRUE(squatter.make(path)) << squatter.what;
        made.push_back(Segment(source));

        const Result missing = Monitor({"metadata", source});
        EXPECT_EQ(missing.status, 1) << squatter.what;
        EXPECT_NE(missing.err.find("no live source"), std::string::npos) << missing.err;

        NDIlib_send_instance_t sender = Create(source, false);
        ASSERT_NE(sender, nullptr) << squatter.what << " kept the name from its user";
        std::vector<uint8_t> pixels(4 * 8 * 2, 0x55);
        NDIlib_video_frame_v2_t frame{};
        FillVideoFrame(frame, {8, 2, 25, 1}, true, pixels.data());
        api.send_send_video_v2(sender, &frame);
        const Result save = Monitor({"save", source, dir + "/found.png"});
        EXPECT_EQ(save.status, 0) << squatter.what << ": " << save.err;
        EXPECT_NE(LineFor(Monitor({"list"}).out, source), "") << squatter.what;
        api.send_destroy(sender);
    }
}

TEST_F(HostileSegmentTest, ControlCharactersInNamesAndMetadataAreEscaped) {
    const std::string source = Name("\x1b]0;owned\x07 \x9b\xc2\x9b");
    const std::string text = "<x a=\"\x1b[2J\"/>\r\\";
    NDIlib_send_instance_t sender = Create(source, false);
    ASSERT_NE(sender, nullptr);
    NDIlib_metadata_frame_t metadata{static_cast<int>(text.size()), INT64_MAX,
                                     const_cast<char*>(text.data())};
    api.send_add_connection_metadata(sender, &metadata);

    const Result list = Monitor({"list"});
    const Result shown = Monitor({"metadata", source});
    api.send_destroy(sender);
    EXPECT_EQ(shown.out, "<x a=\"\\x1B[2J\"/>\\x0D\\x5C\n");
    const std::string escaped =
        "Monitor test \\x1B]0;owned\\x07 \\x9B\\xC2\\x9B " + std::to_string(getpid()) + "\t0x0\t";
    EXPECT_NE(list.out.find(escaped), std::string::npos) << list.out;
    for (const std::string& out : {list.out, shown.out}) {
        EXPECT_EQ(out.find_first_of("\x1b\x07\r\x9b"), std::string::npos);
    }
}

} // namespace
