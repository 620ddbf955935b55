#pragma once

// Internals shared by the gradient paths; not part of the renderer's interface.

#include "render/frame_limits.h"
#include "render/gradient.h"

#include <cstdint>

namespace gradient_detail {

inline uint8_t Channel(const ColourRecord& c, int k) {
    return k == 0 ? c.blue : (k == 1 ? c.green : c.red);
}

// Along one block row each channel's numerator is linear in x:
// N(x) = a + x * b, and the channel value is N(x) / d truncated.
struct RowSetup {
    int64_t a[3]; // blue, green, red
    int64_t b[3];
    int64_t d;
};

// The same row as 64-bit fixed-point accumulators: F(x) = start + x * step approximates
// (N(x) + 0.5) / d * 2^f for channel k with f = bits[k]. (N + 0.5) / d keeps at least
// 0.5 / d from every integer, so while F stays closer than that to it, the integer part
// F >> f is exactly N / d. The integers land in bytes 4, 5, 6 (narrow) or 5, 6, 7 (wide)
// of their accumulators: side by side in the blue-green-red order of a pixel.
struct FixedRow {
    uint64_t start[3];
    uint64_t step[3];
    // Narrow: f = 32, 40, 48, both values rounded to nearest; each row is checked before
    // it is used. Wide: f = 40, 48, 56, both rounded down, exact for every block that
    // WideExactForBlock admits (every block of a frame within render/frame_limits.h; others
    // use the portable rows).
    bool narrow;
};

constexpr int kNarrowFractionBits[3] = {32, 40, 48};
constexpr int kWideFractionBits[3] = {40, 48, 56};

// Block row y of a w x h block.
RowSetup SetupRow(const GradientParams& p, int64_t w, int64_t h, int64_t y);

FixedRow WideFixed(const RowSetup& row);

// Start and step near their exact values, found in floating point.
FixedRow NarrowFixed(const RowSetup& row);

// Whether `fixed` (from NarrowFixed) gives the exact value at every x of the row.
bool NarrowRowExact(const RowSetup& row, int32_t blockWidth, const FixedRow& fixed);

// Whether the wide format is exact for every row of a w x h block. Rounded down, F falls
// short by less than (x + 1) units, and the margin is 2^(f-1) / d units with f >= 40:
// exact while (x + 1) d < 2^39.
constexpr bool WideExactForBlock(int64_t w, int64_t h) {
    __extension__ using Int128 = __int128;
    return (Int128{w} + 1) * w * h < (Int128{1} << 39);
}
static_assert(WideExactForBlock(frame_limits::kMaxWidth, frame_limits::kMaxHeight),
              "the largest frame must not need the portable rows");

// Whether NarrowRowExact holds for every row of every w x h block, whatever the colours.
bool NarrowExactForBlock(int64_t w, int64_t h);

// Writes block columns 0..blockWidth-1 of one block row into `top` and, when not
// null, `bottom`, plus their left-right mirrors when `mirrorX`. Alpha bytes are kept.
using FixedRowWriter = void (*)(const FixedRow& row, uint32_t* top, uint32_t* bottom,
                                int32_t blockWidth, int32_t frameWidth, bool mirrorX);

// The frame's `rows` through `writer` (null: the portable rows), with the mirrors and
// the odd-size centre lines; the tests also drive writers built for wider CPUs through it.
void RenderRows(FixedRowWriter writer, uint8_t* store, int32_t width, int32_t height,
                const GradientParams& params, FrameRows rows);

FixedRowWriter Sse2RowWriter();
FixedRowWriter Avx2RowWriter();
FixedRowWriter Avx512RowWriter();

} // namespace gradient_detail
