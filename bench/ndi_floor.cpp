// The NDI runtime's own floor: what sending one unchanging frame costs, with nothing
// rendered, through the runtime Skyfill itself would load (NDI_RUNTIME_DIR_V6 and the
// rest, else the built-in stand-in). A copy's CPU share divided by this, for the same
// format, is what Skyfill adds. Usage:
//   ndi_floor WxH RATE bgrx|uyvy SECONDS [WARMUP] [--look PRESETS]
// prints "floor WxH RATE FOURCC: CPU% of one core, FPS frames a second, RUNTIME".
// With --look the frames are instead a copy's own picture for the selected slot of the
// preset file PRESETS: drawn before measuring, one per rotation tick as a copy draws them
// (no logo), and sent in turn at the copy's rotation pace. The runtime's cost depends on
// what it encodes, so this floor is what that picture costs the runtime alone.

#include "engine/generator.h"
#include "engine/settings_edits.h"
#include "ndi/ndi_runtime.h"
#include "presets/preset_file.h"
#include "resources/pictures.h"
#include "vocabulary/output_formats.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

int Usage() {
    std::fputs("usage: ndi_floor WxH RATE bgrx|uyvy SECONDS [WARMUP] [--look PRESETS]\n", stderr);
    return 2;
}

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A smooth picture, as a background would be; its content does not change the cost of
// an uncompressed hand-over, and a flat one might compress unusually well.
std::vector<uint8_t> Picture(int width, int height, bool uyvy) {
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * (uyvy ? 2 : 4));
    uint8_t* p = pixels.data();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto r = static_cast<uint8_t>(255 * x / width);
            const auto g = static_cast<uint8_t>(255 * y / height);
            if (uyvy) {
                *p++ = (x & 1) != 0 ? static_cast<uint8_t>(128 + g / 4)
                                    : static_cast<uint8_t>(128 - r / 4);
                *p++ = static_cast<uint8_t>(16 + (r + g) * 219 / 510);
            } else {
                *p++ = 160;
                *p++ = g;
                *p++ = r;
                *p++ = 255;
            }
        }
    }
    return pixels;
}

// The look's frames, a few seconds of them: a ring long enough that the runtime meets
// the clouds at many offsets, short enough to stay in memory beside eight copies.
struct LookFrames {
    std::vector<std::vector<uint8_t>> frames;
    int periodMs = 0;
};

bool DrawLook(const std::string& presets, int width, int height, bool uyvy, LookFrames& look) {
    const PresetLoadResult loaded = ReadPresetFile(presets);
    if (loaded.outcome != PresetLoadResult::Outcome::Loaded) {
        return false;
    }
    const PresetBlock& block = loaded.block;
    auto generator = std::make_unique<Generator>();
    FrameComposer& composer = generator->Composer();
    for (const uint16_t id : {picture::kClouds720, picture::kClouds1080}) {
        if (!LoadResourceBitmap(composer.Cloud(id == picture::kClouds720 ? 0 : 1), id)) {
            return false;
        }
    }
    composer.RescalePictures(width, height);
    generator->Apply(WithSlot(generator->Settings(), block.m_presetSlots[block.m_presetSlot]));
    look.periodMs = generator->Settings().rotationPeriodMs;
    const int count = std::min(32, (4000 + look.periodMs - 1) / look.periodMs);
    const size_t bytes = static_cast<size_t>(width) * height * (uyvy ? 2 : 4);
    composer.BeginRun(width, height);
    ColourRecord buttons[4];
    for (int i = 0; i < count; ++i) {
        composer.ComposeFrame(width, height, uyvy);
        const uint8_t* drawn = uyvy ? composer.UyvyStore() : composer.FrameStore();
        look.frames.emplace_back(drawn, drawn + bytes);
        generator->StepRotation(buttons);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string lookPresets;
    if (argc >= 7 && std::strcmp(argv[argc - 2], "--look") == 0) {
        lookPresets = argv[argc - 1];
        argc -= 2;
    }
    if (argc < 5 || argc > 6) {
        return Usage();
    }
    int width = 0;
    int height = 0;
    const int rateItem = FrameRateItemNamed(argv[2]);
    const std::string fourcc = argv[3];
    const int seconds = std::atoi(argv[4]);
    const int warmup = argc == 6 ? std::atoi(argv[5]) : 5;
    if (std::sscanf(argv[1], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0 ||
        width % 2 != 0 || rateItem < 0 || (fourcc != "bgrx" && fourcc != "uyvy") || seconds <= 0 ||
        warmup < 0) {
        return Usage();
    }
    const bool uyvy = fourcc == "uyvy";
    LookFrames look;
    if (!lookPresets.empty() && !DrawLook(lookPresets, width, height, uyvy, look)) {
        std::fprintf(stderr, "ndi_floor: %s is not a preset file that can be read\n",
                     lookPresets.c_str());
        return 1;
    }
    NdiRuntime runtime = LoadNdiRuntime();
    if (!runtime.api.initialize()) {
        std::fputs("ndi_floor: the NDI runtime cannot run\n", stderr);
        return 1;
    }
    const std::string name = "Skyfill floor " + std::to_string(::getpid());
    NDIlib_send_create_t create{};
    create.p_ndi_name = name.c_str();
    create.clock_video = true; // as Skyfill's sender: the runtime paces the sends
    NDIlib_send_instance_t sender = runtime.api.send_create(&create);
    if (sender == nullptr) {
        std::fputs("ndi_floor: the runtime made no sender\n", stderr);
        runtime.api.destroy();
        return 1;
    }
    std::vector<uint8_t> pixels = Picture(width, height, uyvy);
    NDIlib_video_frame_v2_t frame{};
    frame.xres = width;
    frame.yres = height;
    frame.FourCC = uyvy ? NDIlib_FourCC_video_type_UYVY : NDIlib_FourCC_video_type_BGRX;
    frame.frame_rate_N = kFrameRateNumerator;
    frame.frame_rate_D = kFrameRates[rateItem].denominator;
    frame.picture_aspect_ratio = static_cast<float>(width) / static_cast<float>(height);
    frame.frame_format_type = NDIlib_frame_format_type_progressive;
    frame.timecode = NDIlib_send_timecode_synthesize;
    frame.p_data = pixels.data();
    frame.line_stride_in_bytes = width * (uyvy ? 2 : 4);

    using Clock = std::chrono::steady_clock;
    const auto begun = Clock::now();
    const auto send = [&](Clock::duration span) {
        long frames = 0;
        for (const auto end = Clock::now() + span; Clock::now() < end; ++frames) {
            if (!look.frames.empty()) {
                const auto tick =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begun)
                        .count() /
                    look.periodMs;
                frame.p_data = look.frames[static_cast<size_t>(tick) % look.frames.size()].data();
            }
            runtime.api.send_send_video_v2(sender, &frame);
        }
        return frames;
    };
    send(std::chrono::seconds(warmup));
    const double cpu0 = CpuSeconds();
    const auto t0 = Clock::now();
    const long frames = send(std::chrono::seconds(seconds));
    const double span = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    runtime.api.send_destroy(sender);
    runtime.api.destroy();
    std::printf("floor%s %dx%d %s %s: %.1f%% of one core, %.2f frames a second, %s\n",
                look.frames.empty() ? "" : " (look)", width, height, argv[2],
                uyvy ? "UYVY" : "BGRX", 100.0 * cpu / span, static_cast<double>(frames) / span,
                runtime.libraryPath.empty() ? "built-in stand-in" : runtime.libraryPath.c_str());
    return 0;
}
