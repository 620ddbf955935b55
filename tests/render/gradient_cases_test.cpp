// The behaviour users see, checked on every path this CPU can run.

#include "tests/render/gradient_test_support.h"

#include <gtest/gtest.h>

namespace {

class GradientCases : public ::testing::TestWithParam<CpuPath> {
protected:
    void Render(std::vector<uint8_t>& store, int32_t w, int32_t h, const GradientParams& p) {
        RenderGradientWith(GetParam(), store.data(), w, h, p);
    }
};

TEST_P(GradientCases, EqualCornersGiveOneColourAndKeepAlpha) {
    for (int32_t pattern = 0; pattern < 4; ++pattern) {
        const auto p = MakeParams(0xFF3C7DE1, 0xFF3C7DE1, 0xFF3C7DE1, 0xFF3C7DE1, pattern);
        const auto before = NoisyStore(720, 576, 9);
        auto store = before;
        Render(store, 720, 576, p);
        for (int32_t y = 0; y < 576; ++y) {
            for (int32_t x = 0; x < 720; ++x) {
                const uint32_t pixel = PixelAt(store, 720, x, y);
                ASSERT_EQ(pixel & 0x00FFFFFFu, 0x003C7DE1u) << x << "," << y;
                ASSERT_EQ(pixel >> 24, PixelAt(before, 720, x, y) >> 24) << x << "," << y;
            }
        }
    }
}

TEST_P(GradientCases, BlendStopsShortOfTheFarCorners) {
    auto store = NoisyStore(1280, 720, 1);
    Render(store, 1280, 720, MakeParams(0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0));
    EXPECT_EQ(PixelAt(store, 1280, 0, 0) & 0xFFFFFFu, 0u);
    EXPECT_EQ(PixelAt(store, 1280, 1279, 0) & 0xFFu, 254u); // 255 * 1279 / 1280
    // Far corner: everything but C0 weight 1/(w*h) of 255, truncated.
    EXPECT_EQ(PixelAt(store, 1280, 1279, 719) & 0xFFu, 254u);
}

TEST_P(GradientCases, SplitsMirrorAroundTheCentre) {
    const uint32_t c0 = 0xFF0A1420;
    auto h = NoisyStore(1280, 720, 2);
    Render(h, 1280, 720, MakeParams(c0, 0xFFFFFFFF, 0xFF808080, 0xFF00FF00, 1));
    for (int32_t y : {0, 359, 719}) {
        EXPECT_EQ(PixelAt(h, 1280, 639, y) & 0xFFFFFFu, PixelAt(h, 1280, 640, y) & 0xFFFFFFu);
        EXPECT_EQ(PixelAt(h, 1280, 0, y) & 0xFFFFFFu, PixelAt(h, 1280, 1279, y) & 0xFFFFFFu);
    }
    EXPECT_EQ(PixelAt(h, 1280, 0, 0) & 0xFFFFFFu, c0 & 0xFFFFFFu);

    auto v = NoisyStore(1280, 720, 3);
    Render(v, 1280, 720, MakeParams(c0, 0xFFFFFFFF, 0xFF808080, 0xFF00FF00, 2));
    EXPECT_EQ(PixelAt(v, 1280, 100, 359) & 0xFFFFFFu, PixelAt(v, 1280, 100, 360) & 0xFFFFFFu);
    EXPECT_EQ(PixelAt(v, 1280, 0, 719) & 0xFFFFFFu, c0 & 0xFFFFFFu);

    auto q = NoisyStore(1280, 720, 4);
    Render(q, 1280, 720, MakeParams(c0, 0xFFFFFFFF, 0xFF808080, 0xFF00FF00, 3));
    for (auto [x, y] : {std::pair{0, 0}, {1279, 0}, {0, 719}, {1279, 719}}) {
        EXPECT_EQ(PixelAt(q, 1280, x, y) & 0xFFFFFFu, c0 & 0xFFFFFFu) << x << "," << y;
    }
}

TEST_P(GradientCases, OddSplitsRepeatTheLastBlockColumnAndRowInTheCentre) {
    auto store = NoisyStore(7, 5, 6);
    Render(store, 7, 5, MakeParams(0xFF000000, 0xFFFFFFFF, 0xFFFF0000, 0xFF00FF00, 3));
    for (int32_t y = 0; y < 5; ++y) {
        EXPECT_EQ(PixelAt(store, 7, 3, y) & 0xFFFFFFu, PixelAt(store, 7, 2, y) & 0xFFFFFFu);
    }
    for (int32_t x = 0; x < 7; ++x) {
        EXPECT_EQ(PixelAt(store, 7, x, 2) & 0xFFFFFFu, PixelAt(store, 7, x, 1) & 0xFFFFFFu);
    }
}

TEST_P(GradientCases, WritesNothingForABadPatternOrAnEmptyBlock) {
    const auto before = NoisyStore(64, 32, 7);
    struct Case {
        int32_t w, h, pattern;
    };
    for (const Case c :
         {Case{64, 32, 4}, Case{64, 32, -1}, Case{64, 32, 1000}, Case{0, 32, 0}, Case{64, 0, 0},
          Case{1, 32, 1}, Case{64, 1, 2}, Case{1, 1, 3}, Case{-5, 32, 0}}) {
        auto store = before;
        Render(store, c.w, c.h,
               MakeParams(0xFFFFFFFF, 0xFF000000, 0xFF00FF00, 0xFF0000FF, c.pattern));
        EXPECT_TRUE(store == before) << c.w << " x " << c.h << " pattern " << c.pattern;
    }
}

std::string PathName(const ::testing::TestParamInfo<CpuPath>& info) {
    return CpuPathName(info.param);
}

INSTANTIATE_TEST_SUITE_P(EveryPath, GradientCases,
                         ::testing::ValuesIn(SupportedCpuPaths().begin(),
                                             SupportedCpuPaths().end()),
                         PathName);

} // namespace
