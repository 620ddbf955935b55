#pragma once

#include <cstdint>

// Stretches a whole picture (4 bytes a pixel, rows packed) to exactly dw x dh, the aspect
// not kept. Each axis on its own: area-averaging where it shrinks (or keeps its size),
// linear interpolation between pixel centres where it grows. Every byte lane (blue,
// green, red, alpha) is filtered on its own and straight, with non-negative weights
// that sum to one, so no output byte lies outside the range of its source lane: a
// picture's largest alpha is never exceeded, a uniform picture stays uniform.
//
// Returns false, with `dst` untouched, when a size is not positive or working memory
// cannot be had. `dst` must hold dw x dh pixels and must not overlap `src`.
bool ResamplePicture(const uint8_t* src, int32_t sw, int32_t sh, uint8_t* dst, int32_t dw,
                     int32_t dh);
