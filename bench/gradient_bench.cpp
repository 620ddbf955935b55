// Gradient paths at the two largest everyday sizes beside plain writes of the same
// frame: std::fill_n of one 32-bit value (the steadier baseline) and memset.

#include "bench/ratio_reporter.h"
#include "render/frame_limits.h"
#include "render/gradient.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint32_t>& Store() {
    static std::vector<uint32_t> store(static_cast<std::size_t>(frame_limits::kMaxPixels),
                                       0xFF000000u);
    return store;
}

void Fill(benchmark::State& state, int w, int h) {
    auto& store = Store();
    for (auto _ : state) {
        std::fill_n(store.data(), static_cast<std::size_t>(w) * h, 0xFF336699u);
        benchmark::DoNotOptimize(store.data());
        benchmark::ClobberMemory();
    }
}

void Memset(benchmark::State& state, int w, int h) {
    auto& store = Store();
    for (auto _ : state) {
        std::memset(store.data(), 0x5A, static_cast<std::size_t>(w) * h * 4);
        benchmark::DoNotOptimize(store.data());
        benchmark::ClobberMemory();
    }
}

void Gradient(benchmark::State& state, CpuPath path, int pattern, int w, int h) {
    auto& store = Store();
    GradientParams params;
    params.corners[0] = ColourRecord::FromValue(0xFF00B5BD);
    params.corners[1] = ColourRecord::FromValue(0xFFC600BF);
    params.corners[2] = ColourRecord::FromValue(0xFFBEB900);
    params.corners[3] = ColourRecord::FromValue(0xFFCC0000);
    params.fillPattern = pattern;
    for (auto _ : state) {
        RenderGradientWith(path, reinterpret_cast<uint8_t*>(store.data()), w, h, params);
        benchmark::DoNotOptimize(store.data());
        benchmark::ClobberMemory();
    }
}

} // namespace

int main(int argc, char** argv) {
    const int sizes[][2] = {{1280, 720}, {1920, 1080}};
    for (const auto& s : sizes) {
        const int w = s[0];
        const int h = s[1];
        const std::string size = SizeName(w, h);
        benchmark::RegisterBenchmark(("fill/" + size).c_str(), Fill, w, h)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("memset/" + size).c_str(), Memset, w, h)
            ->Unit(benchmark::kMicrosecond);
        for (CpuPath path : SupportedCpuPaths()) {
            for (const auto& [pattern, name] : {std::pair{0, "full"}, std::pair{3, "quad"}}) {
                benchmark::RegisterBenchmark(
                    ("gradient/" + std::string(CpuPathName(path)) + "/" + name + "/" + size)
                        .c_str(),
                    Gradient, path, pattern, w, h)
                    ->Unit(benchmark::kMicrosecond);
            }
        }
    }
    return RunWithRatios(argc, argv, {"fill", "memset"});
}
