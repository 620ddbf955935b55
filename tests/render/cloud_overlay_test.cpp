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

// The picture turned upside down, as a picture of its own: the reference for the
// strip's mirrored half.
ImageBuffer UpsideDown(const PixelPicture& source) {
    return BufferOf(MakePicture(
        source.width, source.height, source.bitsPerPixel, [&source](int32_t x, int32_t y) {
            return Pixel(source.pixels.data(), source.width, x, source.height - 1 - y);
        }));
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
    const auto before = NoiseBytes(kW * kH * 4, 5);
    for (int32_t offset = 0; offset < 2 * kH; ++offset) {
        auto frame = before;
        ComposeCloudStrip(frame.data(), kW, kH, picture, offset);
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
    const ImageBuffer flipped = UpsideDown(RowCoded());
    const auto before = NoiseBytes(kW * kH * 4, 9);
    auto composeOne = [&](const ImageBuffer& p, int32_t y) {
        auto frame = before;
        p.ComposeOnto(0, y, Placement::AsGiven, false, frame.data(), kW, kH);
        return frame;
    };
    // 0: the picture alone covers the frame.
    auto frame = before;
    ComposeCloudStrip(frame.data(), kW, kH, picture, 0);
    EXPECT_TRUE(frame == composeOne(picture, 0));
    // H: the mirror alone.
    frame = before;
    ComposeCloudStrip(frame.data(), kW, kH, picture, kH);
    EXPECT_TRUE(frame == composeOne(flipped, 0));
    // H + 1: the mirror from its second row, then the picture's top row at the bottom.
    frame = before;
    ComposeCloudStrip(frame.data(), kW, kH, picture, kH + 1);
    auto expected = composeOne(flipped, -1);
    picture.ComposeOnto(0, kH - 1, Placement::AsGiven, false, expected.data(), kW, kH);
    EXPECT_TRUE(frame == expected);
}

// Upside down is the flipped picture composed, wherever it is placed and however it is
// clipped: taller, shorter and wider than the frame.
TEST(CloudStrip, UpsideDownIsTheFlippedPictureComposed) {
    for (const auto& [w, h] :
         {std::pair{kW, kH + 4}, std::pair{kW, kH - 3}, std::pair{kW + 2, kH}}) {
        const PixelPicture source = MakePicture(w, h, 32, [](int32_t x, int32_t y) {
            return 0x90000000u | static_cast<uint32_t>(y * 20) << 8 | static_cast<uint32_t>(x);
        });
        const ImageBuffer picture = BufferOf(source);
        const ImageBuffer flipped = UpsideDown(source);
        const auto before = NoiseBytes(kW * kH * 4, 13);
        for (const int32_t y : {-5, -1, 0, 2, kH - 1, kH}) {
            auto expected = before;
            flipped.ComposeOnto(0, y, Placement::CentredAcross, false, expected.data(), kW, kH);
            auto frame = before;
            picture.ComposeRowsOnto(FastestCpuPath(), {0, kH},
                                    {0, y, Placement::CentredAcross, false, true}, frame.data(), kW,
                                    kH);
            ASSERT_TRUE(frame == expected) << w << "x" << h << " at " << y;
        }
    }
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
    const auto before = NoiseBytes(kW * kH * 4, 11);
    auto still = before;
    ComposeStillClouds(still.data(), kW, kH, picture);
    auto strip = before;
    ComposeCloudStrip(strip.data(), kW, kH, picture, 0);
    EXPECT_TRUE(still == strip);
}

} // namespace
