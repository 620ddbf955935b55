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

#include "render/frame_limits.h"
#include "tests/render/row_blender_checks.h"
#include "tests/render/size_sweep.h"

#include <gtest/gtest.h>

namespace {

#define SKIP_WITHOUT_AVX2()                                                                        \
    if (!__builtin_cpu_supports("avx2")) {                                                         \
        GTEST_SKIP() << "this CPU has no AVX2";                                                    \
    }

TEST(WidePaths, GradientRowsMatchTheFormula) {
    SKIP_WITHOUT_AVX2();
    const std::vector<NamedRenderer> wide = {
        {"avx512 rows as generic vectors",
         [](uint8_t* store, int32_t w, int32_t h, const GradientParams& params) {
             gradient_detail::RenderRows(&FixedRowKernel::Row, store, w, h, params, {0, h});
         }}};
    struct Size {
        int32_t width;
        int32_t height;
    };
    // Selectable and odd sizes, then widths 16 to 47: every tail length of a 16-pixel
    // vector, in a block and in a split's half.
    std::vector<Size> sizes = {{640, 360}, {1280, 720}, {1920, 1080}, {1, 1},   {15, 3},  {16, 2},
                               {17, 5},    {31, 4},     {33, 7},      {47, 9},  {63, 64}, {65, 33},
                               {641, 361}, {1921, 3},   {38, 6},      {94, 10}, {62, 2}};
    for (int32_t width = 16; width < 48; ++width) {
        sizes.push_back({width, 2 + width % 3});
    }
    for (const Size size : sizes) {
        SizeSweep(size.width, size.height, static_cast<uint32_t>(size.width * 7 + size.height))
            .ExpectMatchTheFormulaInEveryPattern(wide);
        if (HasFatalFailure()) {
            return;
        }
    }
    // Past the narrow format's bound rows fall back to the wide one.
    SizeSweep(frame_limits::kMaxWidth, frame_limits::kMaxHeight,
              static_cast<uint32_t>(frame_limits::kMaxWidth * 7 + frame_limits::kMaxHeight))
        .ExpectMatchTheFormula(wide, MakeParams(0xFF000000, 0xFFFFFFFF, 0xFFFF00FF, 0xFF00FF00, 0));
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
