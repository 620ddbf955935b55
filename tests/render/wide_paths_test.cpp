// The AVX-512 row writers' own code, built here for AVX2 and run on any CPU that has it:
// the gradient's 64-byte layout through GCC's generic vectors, the blend through two
// 32-byte halves per vector. Machines without AVX-512 otherwise never run these widths.

// The order matters: the halves replace the 64-byte operations.
// clang-format off
#define SKYFILL_VECTOR_BYTES 64
#include "render/gradient_simd.inl"

#define SKYFILL_BLEND_BYTES 64
#include "tests/render/wide_blend_ops.inl"
#include "render/blend_madd.inl"
// clang-format on

#include "tests/render/gradient_test_support.h"
#include "tests/render/row_blender_checks.h"

#include <gtest/gtest.h>

namespace {

#define SKIP_WITHOUT_AVX2()                                                                        \
    if (!__builtin_cpu_supports("avx2")) {                                                         \
        GTEST_SKIP() << "this CPU has no AVX2";                                                    \
    }

void ExpectWideGradientMatchesReference(int32_t width, int32_t height,
                                        const GradientParams& params) {
    const auto noise = NoisyStore(width, height, static_cast<uint32_t>(width * 7 + height));
    auto expected = noise;
    RenderGradientWith(GradientPath::Reference, expected.data(), width, height, params);
    auto actual = noise;
    gradient_detail::RenderRows(&FixedRowKernel::Row, actual.data(), width, height, params);
    ASSERT_TRUE(actual == expected)
        << width << " x " << height << ", pattern " << params.fillPattern << ", c0 " << std::hex
        << params.corners[0].Value();
}

TEST(WidePaths, GradientRowsMatchTheFormula) {
    SKIP_WITHOUT_AVX2();
    struct Size {
        int32_t width;
        int32_t height;
    };
    // Selectable sizes, then sizes that leave every tail length of a 16-pixel vector.
    const Size sizes[] = {{640, 360}, {1280, 720}, {1920, 1080}, {1, 1},   {15, 3},  {16, 2},
                          {17, 5},    {31, 4},     {33, 7},      {47, 9},  {63, 64}, {65, 33},
                          {641, 361}, {1921, 3},   {38, 6},      {94, 10}, {62, 2}};
    for (const Size size : sizes) {
        for (int32_t pattern = 0; pattern < 4; ++pattern) {
            for (const GradientParams& params : ColourSets(pattern)) {
                ExpectWideGradientMatchesReference(size.width, size.height, params);
                if (HasFatalFailure()) {
                    return;
                }
            }
        }
    }
    // Past the narrow format's bound rows fall back to the wide one.
    ExpectWideGradientMatchesReference(
        4096, 2160, MakeParams(0xFF000000, 0xFFFFFFFF, 0xFFFF00FF, 0xFF00FF00, 0));
}

const std::vector<NamedBlender> kWideBlender = {{"avx512 as halves", &VectorRow}};

TEST(WidePaths, BlendMatchesTheFormulaForEveryByteCombination) {
    SKIP_WITHOUT_AVX2();
    ExpectBlendersMatchTheFormula(kWideBlender);
}

TEST(WidePaths, BlendHandlesRowTailsAndLeavesBytesPastTheRowAlone) {
    SKIP_WITHOUT_AVX2();
    ExpectBlendersHandleRowTails(kWideBlender);
}

} // namespace
