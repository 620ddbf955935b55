#pragma once

#include "render/cpu_path.h"

#include <cstdint>

// Straight-alpha "picture over frame" for one run of pixels (4 bytes each, B G R A):
//   d.c = (s.c * a + d.c * (255 - a)) / 255 for the colour bytes, truncated;
//   with merge, d.A = 255 - ((255 - d.A) * (255 - a)) / 255, otherwise d.A is kept.
// `path` must be one of SupportedCpuPaths(). `src` and `dst` must not overlap.
void BlendRowWith(CpuPath path, const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha);

// The fastest path of this CPU.
void BlendRow(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha);

// x / 255 truncated, exact for every x in 0..65535 (checked exhaustively by the tests).
constexpr uint32_t DivideBy255(uint32_t x) {
    return (x * 0x8081u) >> 23;
}

// x / 255 truncated as one 16-bit multiply-high gives it, exact for every x in 0..65534.
constexpr uint32_t DivideBy255ViaMulHi(uint32_t x) {
    return ((x + 1) * 257u) >> 16;
}
