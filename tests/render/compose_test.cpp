// ComposeOnto: where the placement codes put a picture, clipping at every edge, and the
// logo positions the output depends on.

#include "render/cloud_overlay.h"
#include "tests/render/picture_test_support.h"

#include <gtest/gtest.h>

namespace {

struct Box {
    int32_t left, top, right, bottom; // inclusive; left > right when nothing changed
    friend bool operator==(const Box&, const Box&) = default;
};

std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "(" << b.left << "," << b.top << ")-(" << b.right << "," << b.bottom << ")";
}

Box ChangedArea(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after, int32_t w,
                int32_t h) {
    Box box{w, h, -1, -1};
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            if (Pixel(before.data(), w, x, y) != Pixel(after.data(), w, x, y)) {
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                       std::max(box.bottom, y)};
            }
        }
    }
    return box;
}

// Opaque white over a black frame, so every covered pixel changes.
ImageBuffer OpaqueWhite(int32_t w, int32_t h) {
    return BufferOf(MakePicture(w, h, 32, [](int32_t, int32_t) { return 0xFFFFFFFFu; }));
}

std::vector<uint8_t> BlackFrame(int32_t w, int32_t h) {
    std::vector<uint8_t> frame(static_cast<std::size_t>(w) * h * 4, 0);
    for (std::size_t i = 3; i < frame.size(); i += 4) {
        frame[i] = 255;
    }
    return frame;
}

TEST(ComposeOnto, EachPlacementPutsThePictureWhereItSays) {
    const int32_t W = 40, H = 30;
    const ImageBuffer picture = OpaqueWhite(10, 6);
    struct Case {
        Placement placement;
        int32_t left, top;
    };
    // x = 8, y = 5.
    const Case cases[] = {{Placement::AsGiven, 8, 5},
                          {Placement::CentredAcross, 15, 5},
                          {Placement::Centred, 15, 12},
                          {Placement::CentredAcrossUpFromBottom, 15, 19}};
    for (const Case& c : cases) {
        const auto before = BlackFrame(W, H);
        auto frame = before;
        picture.ComposeOnto(8, 5, c.placement, false, frame.data(), W, H);
        EXPECT_EQ(ChangedArea(before, frame, W, H), (Box{c.left, c.top, c.left + 9, c.top + 5}))
            << "placement " << static_cast<int>(c.placement);
    }
}

TEST(ComposeOnto, CentringTruncatesTowardZeroForAPictureWiderThanTheFrame) {
    // (5 - 8) / 2 is -1, not -2: frame column 0 shows picture column 1.
    const ImageBuffer picture =
        BufferOf(MakePicture(8, 1, 32, [](int32_t x, int32_t) { return 0xFF000000u | x; }));
    auto frame = BlackFrame(5, 1);
    picture.ComposeOnto(0, 0, Placement::CentredAcross, false, frame.data(), 5, 1);
    for (int32_t x = 0; x < 5; ++x) {
        EXPECT_EQ(Pixel(frame.data(), 5, x, 0), 0xFF000000u | (x + 1));
    }
}

// Against a per-pixel formulation with its own bounds checks, at random positions in
// and around the frame, with a guard zone after the frame.
TEST(ComposeOnto, ClipsAtEveryEdgeOnEveryPath) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t W = 1 + static_cast<int32_t>(random() % 40);
        const int32_t H = 1 + static_cast<int32_t>(random() % 30);
        const int32_t bw = 1 + static_cast<int32_t>(random() % 50);
        const int32_t bh = 1 + static_cast<int32_t>(random() % 40);
        const int32_t x = static_cast<int32_t>(random() % 120) - 60;
        const int32_t y = static_cast<int32_t>(random() % 100) - 50;
        const bool merge = random() % 2 == 0;
        const ImageBuffer picture = BufferOf(NoisePicture(bw, bh, random()));
        const auto before = NoiseBytes(static_cast<std::size_t>(W) * H * 4 + 64, random());
        auto expected = before;
        for (int32_t fy = 0; fy < H; ++fy) {
            for (int32_t fx = 0; fx < W; ++fx) {
                const int32_t px = fx - x;
                const int32_t py = fy - y;
                if (px >= 0 && px < bw && py >= 0 && py < bh) {
                    BlendRowWith(
                        CpuPath::Reference,
                        picture.m_pixels.get() + (static_cast<std::size_t>(py) * bw + px) * 4,
                        expected.data() + (static_cast<std::size_t>(fy) * W + fx) * 4, 1, merge);
                }
            }
        }
        for (CpuPath path : SupportedCpuPaths()) {
            auto frame = before;
            picture.ComposeOntoWith(path, x, y, Placement::AsGiven, merge, frame.data(), W, H);
            ASSERT_TRUE(frame == expected) << CpuPathName(path) << " trial " << trial;
        }
    }
}

TEST(ComposeOnto, AnEmptyOrNeverLoadedBufferDrawsNothing) {
    const auto before = NoiseBytes(16 * 16 * 4, 3);
    auto frame = before;
    ImageBuffer never;
    never.ComposeOnto(0, 0, Placement::AsGiven, true, frame.data(), 16, 16);
    ImageBuffer emptied = OpaqueWhite(4, 4);
    ImageBuffer taker;
    taker.TakeStore(emptied); // loaded once, now without a store
    emptied.ComposeOnto(0, 0, Placement::AsGiven, true, frame.data(), 16, 16);
    OpaqueWhite(4, 4).ComposeOnto(0, 0, Placement::AsGiven, true, frame.data(), 0, 16);
    EXPECT_TRUE(frame == before);
}

TEST(ComposeLogo, SitsCentredAboveTheBottomEdge) {
    const ImageBuffer logo = OpaqueWhite(240, 92);
    const auto before = BlackFrame(1280, 720);
    auto frame = before;
    ComposeLogo(frame.data(), 1280, 720, logo, false);
    EXPECT_EQ(ChangedArea(before, frame, 1280, 720), (Box{520, 616, 759, 707}));
}

TEST(ComposeLogo, TheOpaqueAlternativeReplacesItsAreaAndIsCutAtTheTopOfASmallFrame) {
    ImageBuffer logo =
        BufferOf(MakePicture(640, 360, 24, [](int32_t x, int32_t y) { return (y << 10) | x; }));
    logo.SetOpaque();
    auto before = BlackFrame(1280, 720);
    auto frame = before;
    ComposeLogo(frame.data(), 1280, 720, logo, false);
    EXPECT_EQ(ChangedArea(before, frame, 1280, 720), (Box{320, 348, 959, 707}));
    EXPECT_EQ(Pixel(frame.data(), 1280, 320, 348), 0xFF000000u);
    EXPECT_EQ(Pixel(frame.data(), 1280, 959, 707), 0xFF000000u | (359u << 10) | 639u);

    before = BlackFrame(640, 360);
    frame = before;
    ComposeLogo(frame.data(), 640, 360, logo, false);
    EXPECT_EQ(ChangedArea(before, frame, 640, 360), (Box{0, 0, 639, 353}));
    EXPECT_EQ(Pixel(frame.data(), 640, 5, 0), 0xFF000000u | (6u << 10) | 5u);
}

TEST(ComposeLogo, MergeMakesTheFrameAtLeastAsOpaqueAsTheLogo) {
    const ImageBuffer logo =
        BufferOf(MakePicture(4, 2, 32, [](int32_t x, int32_t) { return (x * 60u) << 24; }));
    std::vector<uint8_t> frame(4 * 2 * 4, 0); // alpha 0 everywhere
    ComposeLogo(frame.data(), 4, 2, logo, true);
    for (int32_t x = 0; x < 4; ++x) {
        EXPECT_EQ(Pixel(frame.data(), 4, x, 0) >> 24, x * 60u);
    }
    std::vector<uint8_t> kept(4 * 2 * 4, 0);
    ComposeLogo(kept.data(), 4, 2, logo, false);
    EXPECT_EQ(Pixel(kept.data(), 4, 3, 0) >> 24, 0u);
}

} // namespace
