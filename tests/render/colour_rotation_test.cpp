#include "render/colour_rotation.h"

#include <gtest/gtest.h>

namespace {

struct Rotation {
    ColourRecord base[4] = {
        ColourRecord::FromValue(0xFF0000FF), ColourRecord::FromValue(0xFF00FF00),
        ColourRecord::FromValue(0xFFFF0000), ColourRecord::FromValue(0xFF808080)};
    ColourRecord current[4];
    ColourRecord buttons[4];
    int32_t phase = 0;

    Rotation() { std::copy(std::begin(base), std::end(base), std::begin(current)); }
    bool Step(int32_t mode) { return StepRotation(mode, phase, base, current, buttons); }
};

TEST(ColourRotation, StaticChangesNothingEvenMidFade) {
    Rotation r;
    r.phase = 100;
    r.current[1] = ColourRecord::FromValue(0x12345678);
    EXPECT_FALSE(r.Step(0));
    EXPECT_EQ(r.phase, 100);
    EXPECT_EQ(r.current[1].Value(), 0x12345678u);
}

TEST(ColourRotation, ClockwiseFirstTickRotatesWithoutAJump) {
    Rotation r;
    const Rotation start;
    EXPECT_TRUE(r.Step(1));
    EXPECT_EQ(r.phase, 254);
    // New bases: C0 = old C2, C1 = old C0, C3 = old C1, C2 = old C3.
    EXPECT_EQ(r.base[0], start.base[2]);
    EXPECT_EQ(r.base[1], start.base[0]);
    EXPECT_EQ(r.base[3], start.base[1]);
    EXPECT_EQ(r.base[2], start.base[3]);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r.current[i], start.current[i]) << i; // blend at 255 reproduces them
        EXPECT_EQ(r.buttons[i], start.current[i]) << i;
    }
}

TEST(ColourRotation, ClockwiseRotatesEvery255TicksAndComesBackAfterFour) {
    Rotation r;
    const Rotation start;
    int rotations = 0;
    for (int tick = 1; tick <= 1021; ++tick) {
        if (r.Step(1)) {
            ++rotations;
            EXPECT_TRUE(tick == 1 || tick == 256 || tick == 511 || tick == 766 || tick == 1021)
                << tick;
            if (rotations == 5) {
                // Four quarter turns since the first: every base is back in its corner
                // of the first rotation, i.e. one turn on from the start.
                EXPECT_EQ(r.base[0], start.base[2]);
            }
        }
        if (tick == 1020) {
            for (int i = 0; i < 4; ++i) {
                EXPECT_EQ(r.base[i], start.base[i]) << i;
            }
        }
    }
    EXPECT_EQ(rotations, 5);
}

TEST(ColourRotation, AnticlockwiseBlendsFromZeroAndUndoesClockwise) {
    Rotation r;
    const Rotation start;
    EXPECT_FALSE(r.Step(2)); // blends with 0: current = base
    EXPECT_EQ(r.phase, 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r.current[i], start.base[i]);
    }
    for (int tick = 0; tick < 100; ++tick) {
        r.Step(2);
    }
    const ColourRecord midFade = r.current[0];
    EXPECT_NE(midFade, start.base[0]);
    r.Step(1); // changes direction: same counter, fades back
    r.Step(2);
    EXPECT_EQ(r.current[0], midFade);
}

TEST(ColourRotation, BlendTruncatesAndKeepsByteThree) {
    Rotation r;
    r.base[0] = ColourRecord::FromValue(0xFF000000);
    r.base[1] = ColourRecord::FromValue(0xFF0000FF);
    r.current[0] = ColourRecord::FromValue(0x7F000000);
    r.phase = 128;
    r.Step(2);
    EXPECT_EQ(r.current[0].blue, 128 * 255 / 255);
    EXPECT_EQ(r.current[0].alpha, 0x7F);
    r.phase = 1;
    r.Step(2);
    EXPECT_EQ(r.current[0].blue, 1); // 1 * 255 / 255
    r.base[1].blue = 254;
    r.phase = 1;
    r.Step(2);
    EXPECT_EQ(r.current[0].blue, 0); // 254 / 255 truncates
}

TEST(ColourRotation, DamagedCounterIsPulledBackIntoRange) {
    Rotation r;
    r.phase = 4000;
    r.Step(1);
    EXPECT_GE(r.phase, 0);
    EXPECT_LE(r.phase, 255);
}

} // namespace
