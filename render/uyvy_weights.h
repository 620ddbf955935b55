#pragma once

// The conversion's weights as the vector paths multiply them, without a shuffle: a
// pixel's blue and red are the two 16-bit halves of its 32-bit lane (masked), its green
// and X those of the lane shifted down a byte, and one 16-bit multiply-add of each with a
// pair of weights is the pixel's sum, in its own lane. Each constant is one 64-bit lane,
// an even pixel in its low half and an odd one in its high half: U belongs to the even
// pixel of a pair, V to the odd one. X is weighed 0.

#include <cstdint>

namespace uyvy_weights {

// Weight `low` for the lane's low 16-bit half, `high` for its high one.
constexpr uint32_t Pair(int low, int high) {
    return static_cast<uint16_t>(low) | static_cast<uint32_t>(static_cast<uint16_t>(high)) << 16;
}
constexpr uint64_t EvenOdd(uint32_t even, uint32_t odd) {
    return even | static_cast<uint64_t>(odd) << 32;
}

inline constexpr uint64_t kLumaBlueRed = EvenOdd(Pair(16, 46), Pair(16, 46));
inline constexpr uint64_t kLumaGreen = EvenOdd(Pair(158, 0), Pair(158, 0));
inline constexpr uint64_t kChromaBlueRed = EvenOdd(Pair(112, -26), Pair(-10, 112));
inline constexpr uint64_t kChromaGreen = EvenOdd(Pair(-87, 0), Pair(-102, 0));

} // namespace uyvy_weights
