// The scrolling strip: which picture row each frame row shows at every offset, that each
// row is blended once, and the offset's wrap.

#include "render/cloud_overlay.h"
#include "tests/render/picture_test_support.h"

#include <gtest/gtest.h>

namespace {

constexpr int32_t kW = 3;
constexpr int32_t kH = 7;

// Half-transparent, each row's colour naming the row, so a frame pixel tells which
// picture row was blended over it, and a second blend would show.
PixelPicture RowCoded() {
    return MakePicture(kW, kH, 32, [](int32_t x, int32_t y) {
        return 0x80000000u | static_cast<uint32_t>(y * 30) << 16 |
               static_cast<uint32_t>(x * 40) << 8 | 0x11u;
    });
}

uint32_t OnceOver(uint32_t picture, uint32_t frame) {
    uint8_t s[4], d[4];
    std::memcpy(s, &picture, 4);
    std::memcpy(d, &frame, 4);
    BlendRowWith(CpuPath::Reference, s, d, 1, false);
    uint32_t v;
    std::memcpy(&v, d, 4);
    return v;
}

TEST(CloudStrip, EveryOffsetShowsTheRightStripRowsEachBlendedOnce) {
    const PixelPicture source = RowCoded();
    const ImageBuffer picture = BufferOf(source);
    ImageBuffer flipped;
    ASSERT_TRUE(flipped.CopyFlipped(picture));
    const auto before = NoiseBytes(kW * kH * 4, 5);
    for (int32_t offset = 0; offset < 2 * kH; ++offset) {
        auto frame = before;
        ComposeCloudStrip(frame.data(), kW, kH, picture, flipped, offset);
        for (int32_t r = 0; r < kH; ++r) {
            const int32_t stripRow = (offset + r) % (2 * kH);
            // Strip rows 0..H-1 are the picture, H..2H-1 its mirror.
            const int32_t pictureRow = stripRow < kH ? stripRow : 2 * kH - 1 - stripRow;
            for (int32_t x = 0; x < kW; ++x) {
                ASSERT_EQ(Pixel(frame.data(), kW, x, r),
                          OnceOver(Pixel(source.pixels.data(), kW, x, pictureRow),
                                   Pixel(before.data(), kW, x, r)))
                    << "offset " << offset << " row " << r;
            }
        }
    }
}

TEST(CloudStrip, OffsetsAtTheJoins) {
    const ImageBuffer picture = BufferOf(RowCoded());
    ImageBuffer flipped;
    ASSERT_TRUE(flipped.CopyFlipped(picture));
    const auto before = NoiseBytes(kW * kH * 4, 9);
    auto composeOne = [&](const ImageBuffer& p, int32_t y) {
        auto frame = before;
        p.ComposeOnto(0, y, Placement::AsGiven, false, frame.data(), kW, kH);
        return frame;
    };
    // 0: the picture alone covers the frame.
    auto frame = before;
    ComposeCloudStrip(frame.data(), kW, kH, picture, flipped, 0);
    EXPECT_TRUE(frame == composeOne(picture, 0));
    // H: the mirror alone.
    frame = before;
    ComposeCloudStrip(frame.data(), kW, kH, picture, flipped, kH);
    EXPECT_TRUE(frame == composeOne(flipped, 0));
    // H + 1: the mirror from its second row, then the picture's top row at the bottom.
    frame = before;
    ComposeCloudStrip(frame.data(), kW, kH, picture, flipped, kH + 1);
    auto expected = composeOne(flipped, -1);
    picture.ComposeOnto(0, kH - 1, Placement::AsGiven, false, expected.data(), kW, kH);
    EXPECT_TRUE(frame == expected);
}

TEST(CloudStrip, AdvanceWrapsInBothDirections) {
    const int32_t length = 2 * 720;
    int32_t offset = 0;
    for (int32_t step = 1; step < 360; ++step) {
        offset = AdvanceCloudOffset(offset, 4, length);
        ASSERT_EQ(offset, 4 * step);
    }
    EXPECT_EQ(offset, 1436);
    EXPECT_EQ(AdvanceCloudOffset(offset, 4, length), 0);
    EXPECT_EQ(AdvanceCloudOffset(0, -4, length), 1436);
    EXPECT_EQ(AdvanceCloudOffset(2, -4, length), 1438);
    EXPECT_EQ(AdvanceCloudOffset(100, 0, length), 100);
    // Out-of-range input still lands in range.
    EXPECT_EQ(AdvanceCloudOffset(5000, 0, length), 5000 % length);
    EXPECT_EQ(AdvanceCloudOffset(0, 0, 0), 0);
}

TEST(CloudStrip, StillCloudsAreTheUnscrolledPictureCentred) {
    const ImageBuffer picture = BufferOf(RowCoded());
    ImageBuffer flipped;
    ASSERT_TRUE(flipped.CopyFlipped(picture));
    const auto before = NoiseBytes(kW * kH * 4, 11);
    auto still = before;
    ComposeStillClouds(still.data(), kW, kH, picture);
    auto strip = before;
    ComposeCloudStrip(strip.data(), kW, kH, picture, flipped, 0);
    EXPECT_TRUE(still == strip);
}

} // namespace
