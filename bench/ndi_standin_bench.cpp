// What the built-in stand-in runtime costs per sent frame (its copy into the shared
// segment and the bookkeeping around it, without the frame-rate wait), against a
// plain memcpy of the same frame in the same run.

#include "bench/ratio_reporter.h"
#include "ndi/sender_setup.h"
#include "ndi_standin/standin_runtime.h"

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<uint8_t> Frame(int w, int h) {
    std::vector<uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<uint8_t>(i * 13);
    }
    return pixels;
}

void Memcpy(benchmark::State& state, int w, int h) {
    const std::vector<uint8_t> source = Frame(w, h);
    std::vector<uint8_t> target(source.size(), 1); // touched, so no page faults are timed
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void StandInSend(benchmark::State& state, int w, int h) {
    const NdiRuntimeApi api = standin::Api();
    const std::string name = "Skyfill bench " + std::to_string(getpid());
    NDIlib_send_create_t create{};
    create.p_ndi_name = name.c_str();
    create.clock_video = false; // the cost of a send, not the wait for its slot
    NDIlib_send_instance_t sender = api.send_create(&create);
    if (sender == nullptr) {
        state.SkipWithError("the stand-in could not create a sender");
        return;
    }
    std::vector<uint8_t> pixels = Frame(w, h);
    NDIlib_video_frame_v2_t frame{};
    FillVideoFrame(frame, {w, h, 30000, 1001}, true, pixels.data());
    api.send_send_video_v2(sender, &frame); // first touch of the segment's pages
    for (auto _ : state) {
        api.send_send_video_v2(sender, &frame);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixels.size()));
    api.send_destroy(sender);
}

} // namespace

int main(int argc, char** argv) {
    const int w = 1920;
    const int h = 1080;
    const std::string size = SizeName(w, h);
    benchmark::RegisterBenchmark(("memcpy/" + size).c_str(), Memcpy, w, h)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("standin_send/" + size).c_str(), StandInSend, w, h)
        ->Unit(benchmark::kMicrosecond);
    return RunWithRatios(argc, argv, {"memcpy"});
}
