// The per-frame picture work beside a memcpy of the same frame: composing a full cloud
// picture on each blend path, one whole dirty frame (gradient, cloud strip, preview,
// logo), and a headless copy's frame (no preview) as separate passes and in bands.

#include "bench/ratio_reporter.h"
#include "engine/generator.h"
#include "preview/preview_box.h"
#include "render/cloud_overlay.h"
#include "render/frame_limits.h"
#include "render/gradient.h"
#include "resources/pictures.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t>& Store() {
    static std::vector<uint8_t> store(frame_limits::kMaxBytes, 0x80);
    return store;
}

std::vector<uint8_t>& Source() {
    static std::vector<uint8_t> source(frame_limits::kMaxBytes, 0x3C);
    return source;
}

struct Clouds {
    ImageBuffer picture;
    ImageBuffer logo;
};

// The cloud set "2" picture and the logo, as a re-configure to w x h leaves them.
Clouds& CloudsAt(int w, int h) {
    static Clouds clouds;
    if (clouds.picture.m_width != w || clouds.picture.m_height != h) {
        if (clouds.picture.m_resourceId == 0) {
            LoadResourceBitmap(clouds.picture, 139);
            LoadResourceBitmap(clouds.logo, 134);
        }
        clouds.picture.ScaleToSize(w, h, clouds.picture.m_resourceBitmap);
    }
    return clouds;
}

void Memcpy(benchmark::State& state, int w, int h) {
    for (auto _ : state) {
        std::memcpy(Store().data(), Source().data(), static_cast<std::size_t>(w) * h * 4);
        benchmark::DoNotOptimize(Store().data());
        benchmark::ClobberMemory();
    }
}

void Compose(benchmark::State& state, CpuPath path, int w, int h) {
    const Clouds& clouds = CloudsAt(w, h);
    for (auto _ : state) {
        clouds.picture.ComposeOntoWith(path, 0, 0, Placement::Centred, false, Store().data(), w, h);
        benchmark::DoNotOptimize(Store().data());
        benchmark::ClobberMemory();
    }
}

// What the sending thread does for one dirty frame with the preview on: gradient,
// cloud strip, preview conversion, logo.
void DirtyFrame(benchmark::State& state, int w, int h) {
    static PreviewBox* preview = [] {
        auto* box = new PreviewBox;
        box->InitPreview();
        return box;
    }();
    const Clouds& clouds = CloudsAt(w, h);
    GradientParams params;
    params.corners[0] = ColourRecord::FromValue(0xFF00B5BD);
    params.corners[1] = ColourRecord::FromValue(0xFFC600BF);
    params.corners[2] = ColourRecord::FromValue(0xFFBEB900);
    params.corners[3] = ColourRecord::FromValue(0xFFCC0000);
    int32_t offset = h / 3; // both halves of the strip
    for (auto _ : state) {
        RenderGradient(Store().data(), w, h, params);
        ComposeCloudStrip(Store().data(), w, h, clouds.picture, offset);
        offset = AdvanceCloudOffset(offset, 0, 2 * h);
        preview->RefreshAlways(Store().data(), w, h);
        ComposeLogo(Store().data(), w, h, clouds.logo, false);
        benchmark::DoNotOptimize(Store().data());
        benchmark::ClobberMemory();
    }
}

GradientParams Corners() {
    GradientParams params;
    params.corners[0] = ColourRecord::FromValue(0xFF00B5BD);
    params.corners[1] = ColourRecord::FromValue(0xFFC600BF);
    params.corners[2] = ColourRecord::FromValue(0xFFBEB900);
    params.corners[3] = ColourRecord::FromValue(0xFFCC0000);
    return params;
}

// A headless copy's dirty frame without the preview: each layer over the whole frame.
void SeparatePasses(benchmark::State& state, int w, int h) {
    const Clouds& clouds = CloudsAt(w, h);
    const GradientParams params = Corners();
    for (auto _ : state) {
        RenderGradient(Store().data(), w, h, params);
        ComposeCloudStrip(Store().data(), w, h, clouds.picture, h / 3);
        ComposeLogo(Store().data(), w, h, clouds.logo, false);
        benchmark::DoNotOptimize(Store().data());
        benchmark::ClobberMemory();
    }
}

// The same frame as the sending thread draws it: band by band, as BGRX or straight
// into UYVY.
void Bands(benchmark::State& state, int w, int h, bool uyvy) {
    static Generator generator;
    const Clouds& clouds = CloudsAt(w, h);
    FrameComposer& composer = generator.Composer();
    composer.Cloud(0).ScaleToSize(w, h, clouds.picture.m_resourceBitmap);
    LoadResourceBitmap(composer.Logo(), picture::kLogo);
    GeneratorSettings settings;
    const GradientParams corners = Corners();
    std::copy(std::begin(corners.corners), std::end(corners.corners), settings.currentColours);
    settings.cloudsOn = true;
    settings.logoOn = true;
    settings.cloudSpeed = h / 3;
    generator.Apply(settings);
    composer.BeginRun(w, h);
    for (auto _ : state) {
        composer.ComposeFrame(w, h, uyvy);
        benchmark::DoNotOptimize(composer.FrameStore());
        benchmark::DoNotOptimize(composer.UyvyStore());
        benchmark::ClobberMemory();
    }
}

} // namespace

int main(int argc, char** argv) {
    // The preview box is a widget; no window is shown.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    const int sizes[][2] = {{1280, 720}, {1920, 1080}};
    for (const auto& s : sizes) {
        const int w = s[0];
        const int h = s[1];
        const std::string size = SizeName(w, h);
        benchmark::RegisterBenchmark(("memcpy/" + size).c_str(), Memcpy, w, h)
            ->Unit(benchmark::kMicrosecond);
        for (CpuPath path : SupportedCpuPaths()) {
            benchmark::RegisterBenchmark(
                ("compose/" + std::string(CpuPathName(path)) + "/" + size).c_str(), Compose, path,
                w, h)
                ->Unit(benchmark::kMicrosecond);
        }
        benchmark::RegisterBenchmark(("frame/" + size).c_str(), DirtyFrame, w, h)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("passes/" + size).c_str(), SeparatePasses, w, h)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("bands/" + size).c_str(), Bands, w, h, false)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("bands-uyvy/" + size).c_str(), Bands, w, h, true)
            ->Unit(benchmark::kMicrosecond);
    }
    return RunWithRatios(argc, argv, {"memcpy"});
}
