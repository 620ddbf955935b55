#pragma once

// Senders of the stand-in runtime and what a reader sees of them, for the stand-in's tests.

#include "ndi/sender_setup.h"
#include "ndi_standin/segment_directory.h"
#include "ndi_standin/standin_runtime.h"

#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace standin_test {

// A source name no other test run on this machine uses at the same time.
inline std::string UniqueName(const char* what) {
    return std::string("Skyfill test ") + what + " " + std::to_string(getpid());
}

inline NDIlib_send_instance_t Create(const NdiRuntimeApi& api, const std::string& name,
                                     bool clock) {
    NDIlib_send_create_t create{};
    create.p_ndi_name = name.c_str();
    create.clock_video = clock;
    return api.send_create(&create);
}

struct TestFrame {
    std::vector<uint8_t> pixels;
    NDIlib_video_frame_v2_t frame{};

    TestFrame(int32_t width, int32_t height, int32_t rateN, int32_t rateD, int32_t stride = 0)
        : pixels(static_cast<std::size_t>(stride ? stride : 4 * width) * height) {
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = static_cast<uint8_t>(i * 7 + i / 251);
        }
        FillVideoFrame(frame, {width, height, rateN, rateD}, false, pixels.data());
        if (stride != 0) {
            frame.line_stride_in_bytes = stride;
        }
    }
};

inline std::optional<standin::SourceInfo> ReadSource(const std::string& name,
                                                     std::vector<uint8_t>* frame = nullptr) {
    const auto reader = standin::FindSource(name, geteuid());
    standin::SourceInfo info;
    if (!reader || reader->Read(info, frame) != standin::SegmentReader::Outcome::Read) {
        return std::nullopt;
    }
    return info;
}

} // namespace standin_test
