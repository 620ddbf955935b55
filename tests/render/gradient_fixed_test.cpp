// The fixed-point row formats: the block-wide bound that lets rendering skip the exact
// check of each row must never let through a row the check would refuse.

#include "render/gradient_rows.h"
#include "tests/render/gradient_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace gradient_detail;

struct Block {
    int32_t w;
    int32_t h;
};

TEST(GradientFixedRows, TheBlockBoundHoldsForEveryRowItAdmits) {
    // Every full-frame and split block of the selectable sizes, and the bound's edge.
    const Block admitted[] = {{1920, 1080}, {960, 540},   {1920, 540}, {960, 1080}, {1280, 720},
                              {720, 576},   {2048, 1000}, {1, 1},      {3, 7}};
    std::mt19937 random(77u);
    for (const Block block : admitted) {
        ASSERT_TRUE(NarrowExactForBlock(block.w, block.h)) << block.w << " x " << block.h;
        for (int set = 0; set < 12; ++set) {
            // Extreme corners first: full swings in both directions put the errors at
            // their largest.
            const GradientParams params =
                set == 0   ? MakeParams(0x000000, 0xFFFFFF, 0xFFFFFF, 0x000000, 0)
                : set == 1 ? MakeParams(0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF, 0)
                           : MakeParams(random(), random(), random(), random(), 0);
            for (int32_t y = 0; y < block.h; ++y) {
                const RowSetup row = SetupRow(params, block.w, block.h, y);
                ASSERT_TRUE(NarrowRowExact(row, block.w, NarrowFixed(row)))
                    << block.w << " x " << block.h << " row " << y << " set " << set;
            }
        }
    }
}

TEST(GradientFixedRows, TheBlockBoundRefusesBlocksPastIt) {
    EXPECT_FALSE(NarrowExactForBlock(4096, 2160));
    EXPECT_FALSE(NarrowExactForBlock(2048, 1100));
    // Past the bound some rows of the whole frame store still fail the row check, so the
    // per-row fallback is needed there (its pixels are compared with the formula elsewhere).
    const GradientParams params = MakeParams(0xFF000000, 0xFFFFFFFF, 0xFFFF00FF, 0xFF00FF00, 0);
    int refused = 0;
    for (int32_t y = 0; y < 2160; ++y) {
        const RowSetup row = SetupRow(params, 4096, 2160, y);
        refused += NarrowRowExact(row, 4096, NarrowFixed(row)) ? 0 : 1;
    }
    EXPECT_GT(refused, 0);
}

} // namespace
