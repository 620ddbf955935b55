// The frame drawn band by band against today's separate passes over the whole frame.

#include "engine/frame_viewer.h"
#include "engine/generator.h"
#include "render/cloud_overlay.h"
#include "render/gradient.h"
#include "render/uyvy.h"
#include "tests/engine/look.h"
#include "tests/render/picture_test_support.h"
#include "vocabulary/output_formats.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

// Shown frames are not looked at; a viewer makes the logo wait for the whole frame.
class Shown : public FrameViewer {
public:
    void ShowFrame(const uint8_t*, int32_t, int32_t) override {}
};

} // namespace

namespace {

// The frame drawn band by band is the frame of today's separate passes over the whole
// frame (the exact stepping of the formula, then the clouds and the logo on the
// reference path), for
// every fill pattern, both cloud sets, four cloud offsets, the logo in the bands or after
// the preview; at every size the menus offer on the fastest path, and on every path at
// one size. Every other frame is drawn for a UYVY output: that frame, converted.
void ExpectBandsMatchSeparatePasses(CpuPath path, int32_t w, int32_t h) {
    Generator generator;
    Shown shown;
    FrameComposer& composer = generator.Composer();
    composer.Cloud(0) = BufferOf(NoisePicture(w, h, 1));
    composer.Cloud(1) = BufferOf(NoisePicture(w, h, 2));
    composer.Logo() = BufferOf(NoisePicture(240, 92, 3));
    const std::size_t bytes = std::size_t{static_cast<uint32_t>(w)} * static_cast<uint32_t>(h) * 4;
    std::vector<uint8_t> expected(bytes);
    std::vector<uint8_t> expectedUyvy(bytes / 2);
    for (int32_t fill = 0; fill < 4; ++fill) {
        GeneratorSettings settings = Look(fill, true, fill % 2, 0x0A1B2C);
        settings.cloudSpeed = h / 3 + 1;
        settings.logoOn = true;
        settings.previewEveryFrame = fill >= 2;
        composer.SetViewer(settings.previewEveryFrame ? &shown : nullptr);
        generator.Apply(settings);
        composer.BeginRun(w, h);
        for (int frame = 0; frame < 4; ++frame) {
            const int32_t offset = frame * (h / 3 + 1);
            const bool uyvy = frame % 2 != 0;
            std::memcpy(expected.data(), composer.FrameStore(), bytes);
            GradientParams params;
            std::copy(std::begin(settings.currentColours), std::end(settings.currentColours),
                      params.corners);
            params.fillPattern = fill;
            RenderGradientWith(CpuPath::Portable, expected.data(), w, h, params);
            ComposeCloudStripRows(CpuPath::Reference, {0, h}, expected.data(), w, h,
                                  composer.Cloud(fill % 2), offset);
            ComposeLogoRows(CpuPath::Reference, {0, h}, expected.data(), w, h, composer.Logo(),
                            false);
            composer.ComposeFrameWith(path, w, h, uyvy);
            if (uyvy) {
                ConvertRowsToUyvyReference(expected.data(), w, h, expectedUyvy.data());
                ASSERT_EQ(std::memcmp(composer.UyvyStore(), expectedUyvy.data(), bytes / 2), 0)
                    << "UYVY " << CpuPathName(path) << " " << w << "x" << h << " fill " << fill
                    << " offset " << offset;
                continue;
            }
            ASSERT_EQ(std::memcmp(composer.FrameStore(), expected.data(), bytes), 0)
                << CpuPathName(path) << " " << w << "x" << h << " fill " << fill << " offset "
                << offset;
        }
    }
}

TEST(FrameBands, MatchTheSeparatePassesAtEverySizeAndOnEveryPath) {
    for (const OutputSize& size : kOutputSizes) {
        ExpectBandsMatchSeparatePasses(FastestCpuPath(), size.width, size.height);
    }
    for (const CpuPath path : SupportedCpuPaths()) {
        ExpectBandsMatchSeparatePasses(path, 641, 361);
    }
}

} // namespace
