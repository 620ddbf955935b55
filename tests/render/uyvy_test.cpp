// BGRX rows to UYVY as the NDI runtime converts them.

#include "render/uyvy.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

TEST(Uyvy, ConvertsAsTheRuntimeDoes) {
    // Pairs of pixels (B, G, R each) and the U Y V Y the runtime made of them, received
    // from it: a pair's U is its left pixel's, its V its right pixel's.
    struct Case {
        uint8_t left[3];
        uint8_t right[3];
        uint8_t uyvy[4];
    };
    const Case cases[] = {
        {{0, 0, 0}, {0, 0, 0}, {128, 16, 128, 16}},
        {{255, 255, 255}, {255, 255, 255}, {127, 235, 128, 235}},
        {{128, 128, 128}, {128, 128, 128}, {127, 126, 128, 126}},
        {{0, 255, 0}, {0, 255, 0}, {41, 173, 26, 173}},
        {{0, 0, 255}, {255, 0, 0}, {102, 61, 118, 31}},
        {{255, 0, 0}, {0, 0, 255}, {239, 31, 239, 61}},
    };
    for (const Case& c : cases) {
        const uint8_t bgrx[8] = {c.left[0],  c.left[1],  c.left[2],  0,
                                 c.right[0], c.right[1], c.right[2], 0};
        uint8_t uyvy[4] = {};
        ConvertRowsToUyvy(bgrx, 2, 1, uyvy);
        EXPECT_EQ(std::vector<uint8_t>(uyvy, uyvy + 4), std::vector<uint8_t>(c.uyvy, c.uyvy + 4))
            << +c.left[2] << "," << +c.left[1] << "," << +c.left[0] << " | " << +c.right[2] << ","
            << +c.right[1] << "," << +c.right[0];
    }
}

TEST(Uyvy, EveryPathMatchesThePlainConversionOnAnyPicture) {
    std::mt19937 random(7);
    for (const CpuPath path : SupportedCpuPaths())
        for (const int32_t width : {2, 6, 30, 32, 50, 1920}) {
            const int32_t rows = 3;
            std::vector<uint8_t> bgrx(static_cast<size_t>(width) * rows * 4);
            for (uint8_t& byte : bgrx) {
                byte = static_cast<uint8_t>(random());
            }
            std::vector<uint8_t> expected(bgrx.size() / 2);
            std::vector<uint8_t> actual(bgrx.size() / 2);
            ConvertRowsToUyvyReference(bgrx.data(), width, rows, expected.data());
            ConvertRowsToUyvyWith(path, bgrx.data(), width, rows, actual.data());
            EXPECT_EQ(actual, expected) << CpuPathName(path) << " " << width;
        }
}
