#pragma once

#include "render/gradient.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

// A frame store with a guard zone behind the frame, filled with noise so that any
// byte written where it should not be shows up in a comparison.
inline std::vector<uint8_t> NoisyStore(int32_t width, int32_t height, uint32_t seed) {
    std::vector<uint8_t> store(static_cast<std::size_t>(width) * height * 4 + 64);
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < store.size(); i += 4) {
        const uint32_t word = static_cast<uint32_t>(random());
        std::memcpy(store.data() + i, &word, 4);
    }
    return store;
}

inline uint32_t PixelAt(const std::vector<uint8_t>& store, int32_t width, int32_t x, int32_t y) {
    uint32_t v;
    std::memcpy(&v, store.data() + (static_cast<std::size_t>(y) * width + x) * 4, 4);
    return v;
}

inline GradientParams MakeParams(uint32_t c0, uint32_t c1, uint32_t c2, uint32_t c3,
                                 int32_t pattern) {
    GradientParams p;
    p.corners[0] = ColourRecord::FromValue(c0);
    p.corners[1] = ColourRecord::FromValue(c1);
    p.corners[2] = ColourRecord::FromValue(c2);
    p.corners[3] = ColourRecord::FromValue(c3);
    p.fillPattern = pattern;
    return p;
}

// The default look, extremes, equal corners and two random sets, in `pattern`.
inline std::vector<GradientParams> ColourSets(int32_t pattern) {
    std::vector<GradientParams> sets = {
        MakeParams(0xFF00B5BD, 0xFFC600BF, 0xFFBEB900, 0xFFCC0000, pattern), // default look
        MakeParams(0x00000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, pattern),
        MakeParams(0xFFFFFFFF, 0x00000000, 0x00FF00FF, 0x0000FF00, pattern),
        MakeParams(0x12345678, 0x12345678, 0x12345678, 0x12345678, pattern),
    };
    std::mt19937 random(1234u + static_cast<uint32_t>(pattern));
    for (int i = 0; i < 2; ++i) {
        sets.push_back(MakeParams(random(), random(), random(), random(), pattern));
    }
    return sets;
}
