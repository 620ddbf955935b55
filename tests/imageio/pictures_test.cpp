// The program's own pictures: sizes, depths and alpha ranges, the logo's soft edge,
// and clouds that are smooth shapes rather than noise.

#include "resources/pictures.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct Expectation {
    uint16_t id;
    int32_t width, height, bits;
    int alphaMin, alphaMax;
};

std::pair<int, int> AlphaRange(const PixelPicture& p) {
    int lo = 255, hi = 0;
    for (std::size_t i = 3; i < p.pixels.size(); i += 4) {
        lo = std::min<int>(lo, p.pixels[i]);
        hi = std::max<int>(hi, p.pixels[i]);
    }
    return {lo, hi};
}

int AlphaAt(const PixelPicture& p, int x, int y) {
    return p.pixels[(static_cast<std::size_t>(y) * p.width + x) * 4 + 3];
}

TEST(Pictures, SizesDepthsAndAlphaRanges) {
    const Expectation all[] = {
        {134, 240, 92, 32, 0, 255},    {137, 1280, 720, 32, 0, 111}, {139, 1920, 1080, 32, 12, 126},
        {190, 640, 360, 24, 255, 255}, {140, 64, 48, 24, 255, 255},  {141, 38, 29, 24, 255, 255},
        {142, 38, 29, 24, 255, 255},   {195, 38, 29, 24, 255, 255},  {196, 38, 29, 24, 255, 255},
    };
    for (const Expectation& e : all) {
        PixelPicture p;
        ASSERT_TRUE(LoadResourcePicture(e.id, p)) << e.id;
        EXPECT_EQ(p.width, e.width) << e.id;
        EXPECT_EQ(p.height, e.height) << e.id;
        EXPECT_EQ(p.bitsPerPixel, e.bits) << e.id;
        EXPECT_EQ(AlphaRange(p), (std::pair{e.alphaMin, e.alphaMax})) << e.id;
    }
}

TEST(Pictures, UnknownIdsLoadNothing) {
    ImageBuffer buffer;
    EXPECT_FALSE(LoadResourceBitmap(buffer, 0));
    EXPECT_FALSE(LoadResourceBitmap(buffer, 138));
    EXPECT_EQ(buffer.m_resourceId, 0);
    EXPECT_FALSE(buffer.m_loaded);
}

TEST(Pictures, TheLogoFadesOutAtItsEdge) {
    PixelPicture logo;
    ASSERT_TRUE(LoadResourcePicture(134, logo));
    EXPECT_EQ(AlphaAt(logo, 0, 0), 0);
    EXPECT_EQ(AlphaAt(logo, 239, 91), 0);
    EXPECT_EQ(AlphaAt(logo, 120, 46), 255);
    // Across the left edge on the middle row: a ramp, not a step.
    int between = 0;
    for (int x = 0; x < 20; ++x) {
        between += AlphaAt(logo, x, 46) > 0 && AlphaAt(logo, x, 46) < 255 ? 1 : 0;
        if (x > 0) {
            EXPECT_GE(AlphaAt(logo, x, 46), AlphaAt(logo, x - 1, 46));
        }
    }
    EXPECT_GE(between, 4);
}

// Neighbouring pixels of a cloud picture differ little, while the picture as a whole
// spans its range: smooth shapes. Noise would differ by about a third of the range.
TEST(Pictures, CloudsAreSmoothShapesNotNoise) {
    for (uint16_t id : {137, 139}) {
        PixelPicture p;
        ASSERT_TRUE(LoadResourcePicture(id, p));
        double step = 0;
        double sum = 0;
        double squares = 0;
        const double n = static_cast<double>(p.width) * p.height;
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                const double a = AlphaAt(p, x, y);
                sum += a;
                squares += a * a;
                if (x > 0) {
                    step += std::abs(a - AlphaAt(p, x - 1, y));
                }
            }
        }
        const double mean = sum / n;
        const double spread = std::sqrt(squares / n - mean * mean);
        EXPECT_LT(step / n, 2.0) << id;
        EXPECT_GT(spread, 10.0) << id;
    }
}

TEST(Pictures, CloudsRescaleWithinTheirAlphaRange) {
    ImageBuffer clouds;
    ASSERT_TRUE(LoadResourceBitmap(clouds, 137));
    EXPECT_EQ(clouds.m_resourceId, 137);
    for (auto [w, h] : {std::pair{640, 360}, std::pair{1920, 1080}}) {
        ASSERT_TRUE(clouds.ScaleToSize(w, h, clouds.m_resourceBitmap));
        PixelPicture scaled;
        scaled.pixels.assign(clouds.m_pixels.get(), clouds.m_pixels.get() + clouds.ByteSize());
        EXPECT_LE(AlphaRange(scaled).second, 111);
    }
}

TEST(Pictures, TheSupportPictureAsLogoIsOpaque) {
    ImageBuffer logo;
    ASSERT_TRUE(LoadResourceBitmap(logo, 134));
    ASSERT_TRUE(LoadResourceBitmap(logo, 190));
    logo.SetOpaque();
    EXPECT_EQ(logo.m_width, 640);
    EXPECT_EQ(logo.m_resourceBitmap.bitsPerPixel, 24);
    PixelPicture store;
    store.pixels.assign(logo.m_pixels.get(), logo.m_pixels.get() + logo.ByteSize());
    EXPECT_EQ(AlphaRange(store), (std::pair{255, 255}));
}

} // namespace
