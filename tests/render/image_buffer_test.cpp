// The image buffer's own operations: the alpha fill, rescaling from
// the kept source, the mask's alpha and flips, and the picture box's view.

#include "render/box_view.h"
#include "render/large_memory.h"
#include "render/resample.h"
#include "tests/render/picture_test_support.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {

std::pair<int, int> AlphaRange(const ImageBuffer& b) {
    int lo = 255, hi = 0;
    for (int32_t i = 0; i < b.m_width * b.m_height; ++i) {
        lo = std::min<int>(lo, b.m_pixels[4 * i + 3]);
        hi = std::max<int>(hi, b.m_pixels[4 * i + 3]);
    }
    return {lo, hi};
}

std::vector<uint8_t> StoreOf(const ImageBuffer& b) {
    return {b.m_pixels.get(), b.m_pixels.get() + b.ByteSize()};
}

// Soft blobs with alpha limited to lo..hi, like the cloud pictures.
PixelPicture Cloudish(int32_t w, int32_t h, int lo, int hi) {
    return MakePicture(w, h, 32, [=](int32_t x, int32_t y) {
        const int a = lo + ((x * 7 + y * 13) % 97) * (hi - lo) / 96;
        return static_cast<uint32_t>(a) << 24 | static_cast<uint32_t>((x * 3) & 255) << 16 |
               static_cast<uint32_t>((y * 5) & 255) << 8 | 0xF0u;
    });
}

TEST(SetOpaque, SetsEveryAlphaAndKeepsTheColours) {
    ImageBuffer b = BufferOf(NoisePicture(7, 3, 5));
    const auto before = StoreOf(b);
    b.SetOpaque();
    for (int32_t i = 0; i < 21; ++i) {
        EXPECT_EQ(b.m_pixels[4 * i + 3], 255);
        EXPECT_EQ(std::memcmp(&b.m_pixels[4 * i], &before[4 * i], 3), 0);
    }
    ImageBuffer empty;
    empty.SetOpaque(); // nothing to do, nothing to crash on
}

TEST(ScaleToSize, KeepsTransparencyWithinTheSourceRangeBothWays) {
    ImageBuffer clouds;
    ASSERT_TRUE(clouds.AttachResourceBitmap(137, Cloudish(1280, 720, 0, 111)));
    for (auto [w, h] : {std::pair{640, 360}, std::pair{1920, 1080}, std::pair{720, 576}}) {
        ASSERT_TRUE(clouds.ScaleToSize(w, h, clouds.m_resourceBitmap));
        EXPECT_EQ(clouds.m_width, w);
        EXPECT_EQ(clouds.m_height, h);
        const auto [lo, hi] = AlphaRange(clouds);
        EXPECT_LE(hi, 111) << w;
        EXPECT_GT(hi, 90) << w; // averaged, not flattened
        EXPECT_GE(lo, 0);
    }
}

TEST(ScaleToSize, APictureWithoutAlphaComesOutOpaque) {
    PixelPicture rgb = NoisePicture(50, 30, 8);
    rgb.bitsPerPixel = 24; // alpha bytes carry noise, as a source without alpha may
    ImageBuffer b;
    ASSERT_TRUE(b.ScaleToSize(100, 45, rgb));
    EXPECT_EQ(AlphaRange(b), (std::pair{255, 255}));
}

TEST(ScaleToSize, AlwaysStartsAgainFromTheKeptSource) {
    ImageBuffer chained;
    ASSERT_TRUE(chained.AttachResourceBitmap(139, Cloudish(1920, 1080, 12, 126)));
    ASSERT_TRUE(chained.ScaleToSize(1920, 1080, chained.m_resourceBitmap));
    ASSERT_TRUE(chained.ScaleToSize(640, 360, chained.m_resourceBitmap));
    ASSERT_TRUE(chained.ScaleToSize(720, 576, chained.m_resourceBitmap));
    ImageBuffer direct;
    ASSERT_TRUE(direct.ScaleToSize(720, 576, chained.m_resourceBitmap));
    EXPECT_TRUE(StoreOf(chained) == StoreOf(direct));
}

TEST(ScaleToSize, RefusesBadRequestsAndKeepsThePicture) {
    ImageBuffer b = BufferOf(NoisePicture(8, 8, 9));
    const auto before = StoreOf(b);
    const PixelPicture source = b.m_fileImage;
    EXPECT_FALSE(b.ScaleToSize(0, 10, source));
    EXPECT_FALSE(b.ScaleToSize(10, -1, source));
    EXPECT_FALSE(b.ScaleToSize(65536, 65536, source)); // more bytes than ByteSize() holds
    EXPECT_FALSE(b.ScaleToSize(10, 10, PixelPicture{}));
    EXPECT_EQ(b.m_width, 8);
    EXPECT_TRUE(StoreOf(b) == before);
}

// A rescale done on a spare buffer and handed over: the same store as rescaling in
// place, with the receiving buffer's kept source and names untouched.
TEST(TakeStore, HandsOverARescaleDoneElsewhere) {
    ImageBuffer mask = BufferOf(NoisePicture(30, 20, 11));
    mask.m_filePath = "/masks/a.png";
    ImageBuffer inPlace = BufferOf(NoisePicture(30, 20, 11));
    ASSERT_TRUE(inPlace.ScaleToSize(64, 36, inPlace.m_fileImage));
    ImageBuffer spare;
    ASSERT_TRUE(spare.ScaleToSize(64, 36, mask.m_fileImage));
    mask.TakeStore(spare);
    EXPECT_EQ(mask.m_width, 64);
    EXPECT_EQ(mask.m_height, 36);
    EXPECT_TRUE(StoreOf(mask) == StoreOf(inPlace));
    EXPECT_EQ(mask.m_fileImage.width, 30);
    EXPECT_EQ(mask.m_filePath, "/masks/a.png");
    EXPECT_EQ(spare.m_pixels, nullptr);
    EXPECT_EQ(spare.ByteSize(), 0);
    mask.TakeStore(mask); // a no-op, not a loss
    EXPECT_TRUE(StoreOf(mask) == StoreOf(inPlace));
}

// A frame's memory starts on a huge-page boundary, so that the kernel can back all of it
// with huge pages, and it reads as zero throughout like calloc's.
TEST(LargeMemory, FramesStartOnAHugePageAndAllBlocksAreZeroedToTheirEnd) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    for (const std::size_t bytes : {std::size_t{1}, std::size_t{4096} * 3 + 5, kHugePage - 1,
                                    kHugePage, 1920 * 1080 * 4 + std::size_t{1}}) {
        const LargeMemory block = AllocateLargeMemory(bytes);
        ASSERT_NE(block, nullptr) << bytes;
#if !defined(__SANITIZE_ADDRESS__)
        if (bytes >= kHugePage) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(block.get()) % kHugePage, 0u) << bytes;
        }
#endif
        EXPECT_EQ(std::count(block.get(), block.get() + bytes, 0), static_cast<long>(bytes));
        std::memset(block.get(), 0xA5, bytes);
    }
    EXPECT_EQ(AllocateLargeMemory(SIZE_MAX - 4096), nullptr);
}

TEST(Resample, SameSizeIsACopyAndUniformStaysUniform) {
    const PixelPicture noise = NoisePicture(13, 9, 10);
    std::vector<uint8_t> out(noise.pixels.size());
    ASSERT_TRUE(ResamplePicture(noise.pixels.data(), 13, 9, out.data(), 13, 9));
    EXPECT_TRUE(out == noise.pixels);

    const PixelPicture flat = MakePicture(7, 5, 32, [](int32_t, int32_t) { return 0x6F8090A0u; });
    for (auto [w, h] : {std::pair{3, 2}, std::pair{20, 11}, std::pair{7, 17}, std::pair{1, 1}}) {
        std::vector<uint8_t> scaled(static_cast<std::size_t>(w) * h * 4);
        ASSERT_TRUE(ResamplePicture(flat.pixels.data(), 7, 5, scaled.data(), w, h));
        for (int32_t i = 0; i < w * h; ++i) {
            ASSERT_EQ(Pixel(scaled.data(), w, i % w, i / w), 0x6F8090A0u);
        }
    }
}

TEST(Resample, AveragesAreasDownAndInterpolatesUpStraight) {
    // Colour and alpha averaged on their own: red under alpha 0 still counts.
    const PixelPicture pair = MakePicture(
        2, 1, 32, [](int32_t x, int32_t) { return x == 0 ? 0x00FF0000u : 0xFF0000FFu; });
    uint8_t one[4];
    ASSERT_TRUE(ResamplePicture(pair.pixels.data(), 2, 1, one, 1, 1));
    EXPECT_EQ(one[0], 128); // blue (0 + 255) / 2, rounded
    EXPECT_EQ(one[2], 128); // red
    EXPECT_EQ(one[3], 128); // alpha

    // Three to two: output 0 covers source 0 and half of 1.
    const PixelPicture three =
        MakePicture(3, 1, 32, [](int32_t x, int32_t) { return static_cast<uint32_t>(x * 90); });
    uint8_t two[8];
    ASSERT_TRUE(ResamplePicture(three.pixels.data(), 3, 1, two, 2, 1));
    EXPECT_EQ(two[0], 30);  // (0 * 1 + 90 * 0.5) / 1.5
    EXPECT_EQ(two[4], 150); // (90 * 0.5 + 180 * 1) / 1.5

    // Two to four: the outer pixels keep the edges, the inner ones interpolate.
    const PixelPicture edge =
        MakePicture(2, 1, 32, [](int32_t x, int32_t) { return x == 0 ? 0u : 0xFFu; });
    uint8_t four[16];
    ASSERT_TRUE(ResamplePicture(edge.pixels.data(), 2, 1, four, 4, 1));
    EXPECT_EQ(four[0], 0);
    EXPECT_EQ(four[4], 64);
    EXPECT_EQ(four[8], 191);
    EXPECT_EQ(four[12], 255);
}

TEST(Resample, NoOutputByteLeavesItsSourceRange) {
    std::mt19937 random(12);
    for (int trial = 0; trial < 40; ++trial) {
        const int32_t sw = 1 + static_cast<int32_t>(random() % 60);
        const int32_t sh = 1 + static_cast<int32_t>(random() % 60);
        const int32_t dw = 1 + static_cast<int32_t>(random() % 90);
        const int32_t dh = 1 + static_cast<int32_t>(random() % 90);
        const uint8_t lo = static_cast<uint8_t>(random() % 128);
        const uint8_t hi = static_cast<uint8_t>(lo + random() % 128);
        PixelPicture p = NoisePicture(sw, sh, random());
        for (auto& byte : p.pixels) {
            byte = static_cast<uint8_t>(lo + byte % (hi - lo + 1));
        }
        std::vector<uint8_t> out(static_cast<std::size_t>(dw) * dh * 4);
        ASSERT_TRUE(ResamplePicture(p.pixels.data(), sw, sh, out.data(), dw, dh));
        const auto [mn, mx] = std::minmax_element(out.begin(), out.end());
        ASSERT_GE(*mn, lo);
        ASSERT_LE(*mx, hi);
    }
}

TEST(MaskAlpha, BrightnessWeightsAndInversion) {
    struct Case {
        uint32_t colour;
        uint8_t alpha, inverted;
    };
    const Case cases[] = {{0xFFFFFF, 255, 0},
                          {0x000000, 0, 255},
                          {0xFF0000, 76, 179},
                          {0x00FF00, 150, 105},
                          {0x0000FF, 28, 227}};
    for (const Case& c : cases) {
        const auto b = static_cast<uint8_t>(c.colour), g = static_cast<uint8_t>(c.colour >> 8),
                   r = static_cast<uint8_t>(c.colour >> 16);
        EXPECT_EQ(MaskAlphaOf(b, g, r, 17, false, false), c.alpha) << std::hex << c.colour;
        EXPECT_EQ(MaskAlphaOf(b, g, r, 17, true, false), c.inverted) << std::hex << c.colour;
    }
    EXPECT_EQ(MaskAlphaOf(255, 255, 255, 17, false, true), 17);
    EXPECT_EQ(MaskAlphaOf(255, 255, 255, 17, true, true), 238);
}

TEST(MaskAlpha, WritesOnlyTheFramesAlphaAndOnlyAtTheOutputSize) {
    const ImageBuffer mask = BufferOf(NoisePicture(6, 4, 13));
    const auto before = NoiseBytes(6 * 4 * 4, 14);
    for (bool invert : {false, true}) {
        for (bool own : {false, true}) {
            auto frame = before;
            ASSERT_TRUE(mask.ApplyMaskAlpha(frame.data(), 6, 4, invert, own));
            for (int32_t i = 0; i < 24; ++i) {
                const uint8_t* m = mask.m_pixels.get() + 4 * i;
                EXPECT_EQ(frame[4 * i + 3], MaskAlphaOf(m[0], m[1], m[2], m[3], invert, own));
                EXPECT_EQ(std::memcmp(&frame[4 * i], &before[4 * i], 3), 0);
            }
        }
    }
    auto frame = before;
    EXPECT_FALSE(mask.ApplyMaskAlpha(frame.data(), 4, 6, false, false));
    EXPECT_FALSE(ImageBuffer{}.ApplyMaskAlpha(frame.data(), 6, 4, false, false));
    EXPECT_TRUE(frame == before);
}

TEST(MaskFlips, TwiceRestoresAndAnOddMiddleRowStays) {
    ImageBuffer mask = BufferOf(NoisePicture(5, 5, 15));
    const auto before = StoreOf(mask);
    ASSERT_TRUE(mask.FlipHorizontal());
    EXPECT_EQ(Pixel(mask.m_pixels.get(), 5, 0, 1), Pixel(before.data(), 5, 4, 1));
    EXPECT_EQ(Pixel(mask.m_pixels.get(), 5, 2, 1), Pixel(before.data(), 5, 2, 1));
    ASSERT_TRUE(mask.FlipHorizontal());
    EXPECT_TRUE(StoreOf(mask) == before);
    ASSERT_TRUE(mask.FlipVertical());
    EXPECT_EQ(std::memcmp(mask.m_pixels.get() + 2 * 20, before.data() + 2 * 20, 20), 0);
    EXPECT_EQ(Pixel(mask.m_pixels.get(), 5, 3, 0), Pixel(before.data(), 5, 3, 4));
    ASSERT_TRUE(mask.FlipVertical());
    EXPECT_TRUE(StoreOf(mask) == before);
    // The kept file image is not flipped.
    EXPECT_TRUE(mask.m_fileImage.pixels == before);

    ImageBuffer tiny = BufferOf(NoisePicture(3, 1, 16)); // 12 bytes
    EXPECT_FALSE(tiny.FlipHorizontal());
    EXPECT_FALSE(ImageBuffer{}.FlipVertical());
}

TEST(SetFrameOpaque, OnlyTheAlphaBytesOfTheFrame) {
    const auto before = NoiseBytes(5 * 3 * 4 + 8, 17);
    auto frame = before;
    SetFrameOpaque(frame.data(), 5, 3);
    for (int32_t i = 0; i < 15; ++i) {
        EXPECT_EQ(frame[4 * i + 3], 255);
        EXPECT_EQ(std::memcmp(&frame[4 * i], &before[4 * i], 3), 0);
    }
    EXPECT_EQ(std::memcmp(&frame[60], &before[60], 8), 0);
}

TEST(BoxView, FitsTheLogoAndASquareMask) {
    const BoxRect logo = FitPictureInBox(240, 92, 320, 180);
    EXPECT_EQ(logo.width, 320);
    EXPECT_EQ(logo.height, 122);
    EXPECT_EQ(logo.x, 0);
    EXPECT_EQ(logo.y, 29);
    const BoxRect square = FitPictureInBox(1000, 1000, 320, 180);
    EXPECT_EQ(square.width, 180);
    EXPECT_EQ(square.height, 180);
    EXPECT_EQ(square.x, 70);
    EXPECT_EQ(FitPictureInBox(0, 10, 320, 180).width, 0);
}

TEST(BoxView, RevealShowsAlphaOnlyForPicturesThatHaveIt) {
    const PixelPicture withAlpha =
        MakePicture(16, 9, 32, [](int32_t, int32_t) { return 0x40102030u; });
    PixelPicture view;
    ASSERT_TRUE(RenderBoxView(withAlpha, true, 32, 18, view));
    EXPECT_EQ(Pixel(view.pixels.data(), 32, 10, 10), 0xFF404040u);
    ASSERT_TRUE(RenderBoxView(withAlpha, false, 32, 18, view));
    EXPECT_EQ(Pixel(view.pixels.data(), 32, 10, 10), 0xFF102030u);
    PixelPicture opaque = withAlpha;
    opaque.bitsPerPixel = 24;
    ASSERT_TRUE(RenderBoxView(opaque, true, 32, 18, view));
    EXPECT_EQ(Pixel(view.pixels.data(), 32, 10, 10), 0xFF102030u);
    // Letterboxed: black beside a square picture.
    ASSERT_TRUE(RenderBoxView(MakePicture(4, 4, 24, [](int32_t, int32_t) { return ~0u; }), false,
                              32, 18, view));
    EXPECT_EQ(Pixel(view.pixels.data(), 32, 0, 9), 0xFF000000u);
    EXPECT_EQ(Pixel(view.pixels.data(), 32, 16, 9), 0xFFFFFFFFu);
    EXPECT_FALSE(RenderBoxView(PixelPicture{}, false, 32, 18, view));
}

} // namespace
