// Every fast path against the plain formula.

#include "render/frame_limits.h"
#include "tests/render/size_sweep.h"

#include <gtest/gtest.h>
#include <span>

namespace {

struct Size {
    int32_t width;
    int32_t height;
};

// Every path whole, and every path band by band: 7 rows, so that bands end on either
// side of a mirror's middle.
std::vector<NamedRenderer> FastPaths() {
    std::vector<NamedRenderer> renderers;
    for (CpuPath path : SupportedCpuPaths()) {
        if (path != CpuPath::Reference) {
            renderers.push_back({CpuPathName(path), [path](uint8_t* store, int32_t w, int32_t h,
                                                           const GradientParams& params) {
                                     RenderGradientWith(path, store, w, h, params);
                                 }});
        }
        renderers.push_back(
            {std::string(CpuPathName(path)) + " in bands",
             [path](uint8_t* store, int32_t w, int32_t h, const GradientParams& params) {
                 for (int32_t first = 0; first < h; first += 7) {
                     RenderGradientRowsWith(path, {first, first + 7}, store, w, h, params);
                 }
             }});
    }
    return renderers;
}

void ExpectFastPathsMatchTheFormulaAt(std::span<const Size> sizes) {
    for (const Size size : sizes) {
        SizeSweep(size.width, size.height, static_cast<uint32_t>(size.width * 31 + size.height))
            .ExpectMatchTheFormulaInEveryPattern(FastPaths());
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
}

TEST(GradientPaths, MatchTheFormulaAtEverySelectableSize) {
    const Size sizes[] = {{640, 360}, {720, 480},  {720, 576},
                          {960, 540}, {1280, 720}, {1920, 1080}};
    ExpectFastPathsMatchTheFormulaAt(sizes);
}

TEST(GradientPaths, MatchTheFormulaAtOddAndTinySizes) {
    const Size sizes[] = {{1, 1},  {2, 1},  {1, 2},   {2, 2},   {3, 3},     {5, 2},
                          {17, 5}, {33, 7}, {63, 64}, {65, 33}, {641, 361}, {1921, 3}};
    ExpectFastPathsMatchTheFormulaAt(sizes);
}

// Widths 16 to 47 leave every tail length of a 4, 8 or 16-pixel vector, in a block and
// in a split's half; heights 2 to 4 give even and odd centre rows.
TEST(GradientPaths, MatchTheFormulaAfterEveryVectorTail) {
    std::vector<Size> sizes;
    for (int32_t width = 16; width < 48; ++width) {
        sizes.push_back({width, 2 + width % 3});
    }
    ExpectFastPathsMatchTheFormulaAt(sizes);
}

// The fixed-point paths have the least margin on the largest block with extreme
// corners; the largest frame is the largest block there can be.
TEST(GradientPaths, StayExactOnTheLargestFrame) {
    SizeSweep largest(
        frame_limits::kMaxWidth, frame_limits::kMaxHeight,
        static_cast<uint32_t>(frame_limits::kMaxWidth * 31 + frame_limits::kMaxHeight));
    largest.ExpectMatchTheFormula(FastPaths(),
                                  MakeParams(0xFF000000, 0xFFFFFFFF, 0xFFFF00FF, 0xFF00FF00, 0));
    largest.ExpectMatchTheFormula(FastPaths(),
                                  MakeParams(0xFFFFFFFF, 0xFF000001, 0xFF0000FE, 0xFF010101, 0));
}

TEST(GradientPaths, TheDefaultRendersAsTheFastestPath) {
    const GradientParams params = MakeParams(0xFF102030, 0xFFF0E0D0, 0xFF00FF00, 0xFF7F7F7F, 3);
    auto viaDefault = NoisyStore(720, 480, 5);
    auto viaFastest = viaDefault;
    RenderGradient(viaDefault.data(), 720, 480, params);
    RenderGradientWith(FastestCpuPath(), viaFastest.data(), 720, 480, params);
    EXPECT_TRUE(viaDefault == viaFastest);
}

} // namespace
