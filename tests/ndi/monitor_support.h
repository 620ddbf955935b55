#pragma once

// skyfill-monitor run as its own process on what this test process publishes through
// the stand-in runtime, or puts in /dev/shm by hand.

#include "ndi_standin/standin_runtime.h"
#include "ndi_standin/standin_segment.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace monitor_test {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string Quote(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The line `list` prints for `name`, or empty.
inline std::string LineFor(const std::string& listing, const std::string& name) {
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(name + "\t", 0) == 0) {
            return line;
        }
    }
    return {};
}

inline std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

// A header as a live sender of this process writes it after one w x h BGRA frame.
inline std::vector<uint8_t> Header(const std::string& source, int32_t w, int32_t h) {
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

class MonitorTest : public ::testing::Test {
protected:
    std::string dir;
    NdiRuntimeApi api = standin::Api();
    std::vector<std::string> made; // segments made by hand, removed at the end

    void SetUp() override {
        char pattern[] = "/tmp/skyfill-monitor-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        for (const std::string& segment : made) {
            shm_unlink(segment.c_str());
        }
        std::system(("rm -rf " + Quote(dir)).c_str());
    }

    // `env` are env(1) arguments for the monitor: "NAME=value" or "-u NAME".
    Result Monitor(const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {}) const {
        std::string command = "env";
        for (const std::string& item : env) {
            command += " " + Quote(item);
        }
        // A monitor that hangs is a failure, not a stuck suite.
        command += " timeout -s KILL 120 " + Quote(SKYFILL_MONITOR);
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

    std::string Segment(const std::string& source) const {
        return standin::SegmentNameFor(source, geteuid());
    }

    // Puts `header` plus `frameBytes` bytes in /dev/shm under `segment`.
    int MakeNamed(const std::string& segment, const std::vector<uint8_t>& header,
                  off_t frameBytes) {
        const int fd = shm_open(segment.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0) << segment;
        made.push_back(segment);
        EXPECT_EQ(ftruncate(fd, static_cast<off_t>(header.size()) + frameBytes), 0);
        EXPECT_EQ(pwrite(fd, header.data(), header.size(), 0), ssize_t(header.size()));
        return fd;
    }
    // The same as this user's segment for `source`.
    int Make(const std::string& source, const std::vector<uint8_t>& header, off_t frameBytes) {
        return MakeNamed(Segment(source), header, frameBytes);
    }
};

} // namespace monitor_test
