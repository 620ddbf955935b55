// Every fast path against the plain formula, pixel for pixel, guard zone included.

#include "tests/render/gradient_test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct Size {
    int32_t width;
    int32_t height;
};

void ExpectAllPathsMatchReference(int32_t width, int32_t height, const GradientParams& params) {
    const auto noise = NoisyStore(width, height, static_cast<uint32_t>(width * 31 + height));
    auto expected = noise;
    RenderGradientWith(GradientPath::Reference, expected.data(), width, height, params);
    for (GradientPath path : SupportedGradientPaths()) {
        if (path == GradientPath::Reference) {
            continue;
        }
        auto actual = noise;
        RenderGradientWith(path, actual.data(), width, height, params);
        ASSERT_TRUE(actual == expected)
            << GradientPathName(path) << " differs at " << width << " x " << height << ", pattern "
            << params.fillPattern << ", c0 " << std::hex << params.corners[0].Value() << " c3 "
            << params.corners[3].Value();
    }
}

TEST(GradientPaths, MatchTheFormulaAtEverySelectableSize) {
    const Size sizes[] = {{640, 360}, {720, 480},  {720, 576},
                          {960, 540}, {1280, 720}, {1920, 1080}};
    for (const Size size : sizes) {
        for (int32_t pattern = 0; pattern < 4; ++pattern) {
            for (const GradientParams& params : ColourSets(pattern)) {
                ExpectAllPathsMatchReference(size.width, size.height, params);
            }
        }
    }
}

TEST(GradientPaths, MatchTheFormulaAtOddAndTinySizes) {
    const Size sizes[] = {{1, 1},  {2, 1},  {1, 2},   {2, 2},   {3, 3},     {5, 2},
                          {17, 5}, {33, 7}, {63, 64}, {65, 33}, {641, 361}, {1921, 3}};
    for (const Size size : sizes) {
        for (int32_t pattern = 0; pattern < 4; ++pattern) {
            for (const GradientParams& params : ColourSets(pattern)) {
                ExpectAllPathsMatchReference(size.width, size.height, params);
            }
        }
    }
}

// The fixed-point paths have the least margin on the largest block with extreme
// corners; the frame store's full size is the largest block there can be.
TEST(GradientPaths, StayExactOnTheWholeFrameStore) {
    ExpectAllPathsMatchReference(4096, 2160,
                                 MakeParams(0xFF000000, 0xFFFFFFFF, 0xFFFF00FF, 0xFF00FF00, 0));
    ExpectAllPathsMatchReference(4096, 2160,
                                 MakeParams(0xFFFFFFFF, 0xFF000001, 0xFF0000FE, 0xFF010101, 0));
}

TEST(GradientPaths, IncludeThePortablePathAndTheBestOneIsUsed) {
    const auto paths = SupportedGradientPaths();
    ASSERT_GE(paths.size(), 2u);
    EXPECT_EQ(paths.front(), GradientPath::Reference);
    EXPECT_EQ(paths[1], GradientPath::Portable);

    const GradientParams params = MakeParams(0xFF102030, 0xFFF0E0D0, 0xFF00FF00, 0xFF7F7F7F, 3);
    auto viaDefault = NoisyStore(720, 480, 5);
    auto viaBest = viaDefault;
    RenderGradient(viaDefault.data(), 720, 480, params);
    RenderGradientWith(paths.back(), viaBest.data(), 720, 480, params);
    EXPECT_TRUE(viaDefault == viaBest);
}

} // namespace
