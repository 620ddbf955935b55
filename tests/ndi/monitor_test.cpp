// skyfill-monitor, run as its own process, reading what this process publishes
// through the stand-in runtime, and what others put in its way.

#include "ndi/segment_directory.h"
#include "ndi/sender_setup.h"
#include "ndi/standin_runtime.h"

#include <QImage>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class MonitorTest : public ::testing::Test {
protected:
    std::string dir;
    NdiRuntimeApi api = standin::Api();

    void SetUp() override {
        char pattern[] = "/tmp/skyfill-monitor-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + Quote(dir)).c_str()); }

    Result Monitor(const std::vector<std::string>& args) const {
        // A monitor that hangs is a failure, not a stuck suite.
        std::string command = "timeout -s KILL 120 " + Quote(SKYFILL_MONITOR);
        for (const std::string& arg : args) {
            command += " " + Quote(arg);
        }
        command += " >" + Quote(dir + "/out") + " 2>" + Quote(dir + "/err");
        Result result;
        const int status = std::system(command.c_str());
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = Slurp(dir + "/out");
        result.err = Slurp(dir + "/err");
        return result;
    }

    std::string Name(const char* what) const {
        return std::string("Monitor test ") + what + " " + std::to_string(getpid());
    }

    NDIlib_send_instance_t Create(const std::string& name, bool clock) const {
        NDIlib_send_create_t create{};
        create.p_ndi_name = name.c_str();
        create.clock_video = clock;
        return api.send_create(&create);
    }
};

// The line `list` prints for `name`, or empty.
std::string LineFor(const std::string& listing, const std::string& name) {
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(name + "\t", 0) == 0) {
            return line;
        }
    }
    return {};
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

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

// What other programs and users put under a source's name: headers that lie, objects
// that shrink while read, FIFOs, links, other owners' objects and control characters.

using Edit = std::function<void(standin::SegmentHeader&)>;

// A header as a live sender of this process writes it after one w x h BGRA frame.
std::vector<uint8_t> Header(const std::string& source, int32_t w, int32_t h) {
    std::vector<uint8_t> bytes(standin::kHeaderBytes);
    auto* header = new (bytes.data()) standin::SegmentHeader{};
    std::memcpy(header->magic, standin::kMagic, sizeof standin::kMagic);
    header->layoutVersion = standin::kLayoutVersion;
    header->headerBytes = standin::kHeaderBytes;
    header->frameCapacity = standin::kFrameCapacity;
    header->ownerPid = getpid();
    header->ownerStartTime = standin::ProcessStartTime(getpid());
    std::memcpy(header->sourceName, source.data(), source.size());
    header->changeCounter = 2;
    header->xres = w;
    header->yres = h;
    header->fourCC = NDIlib_FourCC_video_type_BGRA;
    header->frameRateN = 30;
    header->frameRateD = 1;
    header->stride = 4 * w;
    header->frameBytes = static_cast<uint32_t>(4 * w * h);
    return bytes;
}

class HostileSegmentTest : public MonitorTest {
protected:
    std::vector<std::string> made;

    void TearDown() override {
        for (const std::string& segment : made) {
            shm_unlink(segment.c_str());
        }
        MonitorTest::TearDown();
    }

    std::string Segment(const std::string& source) const {
        return standin::SegmentNameFor(source, geteuid());
    }

    // Publishes `header` plus `frameBytes` bytes as this user's segment for `source`.
    int Make(const std::string& source, const std::vector<uint8_t>& header, off_t frameBytes) {
        const std::string segment = Segment(source);
        const int fd = shm_open(segment.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0) << segment;
        made.push_back(segment);
        EXPECT_EQ(ftruncate(fd, static_cast<off_t>(header.size()) + frameBytes), 0);
        EXPECT_EQ(pwrite(fd, header.data(), header.size(), 0), ssize_t(header.size()));
        return fd;
    }
};

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
