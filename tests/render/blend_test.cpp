// The blend: the division trick over its whole domain, every path against the formula,
// and the values the overlay depends on.

#include "render/blend.h"
#include "tests/render/row_blender_checks.h"

#include <gtest/gtest.h>

namespace {

TEST(Blend, DivisionBy255IsTruncatedDivisionForEverySixteenBitValue) {
    for (uint32_t x = 0; x <= 65535; ++x) {
        ASSERT_EQ(DivideBy255(x), x / 255) << x;
    }
    for (uint32_t x = 0; x <= 65534; ++x) {
        ASSERT_EQ(DivideBy255ViaMulHi(x), x / 255) << x;
    }
}

std::vector<NamedBlender> EveryPath() {
    std::vector<NamedBlender> blenders;
    for (CpuPath path : SupportedCpuPaths()) {
        blenders.push_back({CpuPathName(path),
                            [path](const uint8_t* src, uint8_t* dst, int32_t count, bool merge) {
                                BlendRowWith(path, src, dst, count, merge);
                            }});
    }
    return blenders;
}

TEST(Blend, EveryPathMatchesTheFormulaForEveryByteCombination) {
    ExpectBlendersMatchTheFormula(EveryPath());
}

TEST(Blend, EveryPathHandlesRowTailsAndLeavesBytesPastTheRowAlone) {
    ExpectBlendersHandleRowTails(EveryPath());
}

TEST(Blend, ValuesTheOverlayReliesOn) {
    const uint8_t frame0[4] = {10, 100, 250, 0};
    auto blendOne = [&](uint32_t picture, bool merge) {
        uint8_t src[4];
        std::memcpy(src, &picture, 4);
        uint8_t d[4];
        std::memcpy(d, frame0, 4);
        BlendRow(src, d, 1, merge);
        return std::vector<uint8_t>(d, d + 4);
    };
    // Alpha 0 leaves the frame as it was, alpha 255 replaces its colours.
    EXPECT_EQ(blendOne(0x00FFFFFFu, false), (std::vector<uint8_t>{10, 100, 250, 0}));
    EXPECT_EQ(blendOne(0xFF204060u, false), (std::vector<uint8_t>{0x60, 0x40, 0x20, 0}));
    // Alpha 111, the densest cloud of set "1": (111 s + 144 d) / 255.
    EXPECT_EQ(blendOne(0x6FFFFFFFu, false),
              (std::vector<uint8_t>{(111 * 255 + 144 * 10) / 255, (111 * 255 + 144 * 100) / 255,
                                    (111 * 255 + 144 * 250) / 255, 0}));
    // Merging: frame alpha 0 under picture alpha 200 becomes 200.
    EXPECT_EQ(blendOne(0xC8000000u, true)[3], 200);
    // Frame alpha 255 stays 255 under any picture alpha.
    for (uint32_t a : {0u, 1u, 111u, 254u, 255u}) {
        uint8_t src[4] = {1, 2, 3, static_cast<uint8_t>(a)};
        uint8_t d[4] = {9, 9, 9, 255};
        BlendRow(src, d, 1, true);
        EXPECT_EQ(d[3], 255) << a;
    }
}

} // namespace
