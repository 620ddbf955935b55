// The rows of a gradient block as numerators and as fixed-point accumulators.

#include "render/gradient_rows.h"

namespace gradient_detail {

namespace {

__extension__ using Int128 = __int128;

Int128 FloorDiv(Int128 n, Int128 d) {
    Int128 q = n / d;
    if ((n % d != 0) && (n < 0)) {
        --q;
    }
    return q;
}

// std::llround is a library call; any near integer will do here.
int64_t Nearest(double v) {
    return static_cast<int64_t>(v < 0 ? v - 0.5 : v + 0.5);
}

} // namespace

RowSetup SetupRow(const GradientParams& p, int64_t w, int64_t h, int64_t y) {
    RowSetup row{};
    for (int k = 0; k < 3; ++k) {
        const int64_t c0 = Channel(p.corners[0], k);
        const int64_t c1 = Channel(p.corners[1], k);
        const int64_t c2 = Channel(p.corners[2], k);
        const int64_t c3 = Channel(p.corners[3], k);
        row.a[k] = (h - y) * w * c0 + y * w * c2;
        row.b[k] = (h - y) * (c1 - c0) + y * (c3 - c2);
    }
    row.d = w * h;
    return row;
}

FixedRow WideFixed(const RowSetup& row) {
    FixedRow fixed{};
    for (int k = 0; k < 3; ++k) {
        const int kBits = kWideFractionBits[k];
        // Both rounded down, so F only ever falls short of the exact value.
        fixed.start[k] = static_cast<uint64_t>(
            FloorDiv((Int128{row.a[k]} * 2 + 1) << (kBits - 1), Int128{row.d}));
        fixed.step[k] =
            static_cast<uint64_t>(FloorDiv(Int128{row.b[k]} * (Int128{1} << kBits), Int128{row.d}));
    }
    fixed.narrow = false;
    return fixed;
}

// Floating point because six 128-bit divisions per row cost about a fifth of a 1080p
// frame (measured). Start and step land within 0.5 + 2^(f-43) units of (N(0) + 0.5) / d
// and b / d: each is at most two correctly rounded operations from an exact value below
// 2^(f+8), and the rounding to an integer adds the 0.5.
FixedRow NarrowFixed(const RowSetup& row) {
    FixedRow fixed{};
    const double perD = 1.0 / static_cast<double>(row.d);
    for (int k = 0; k < 3; ++k) {
        const double scale = static_cast<double>(uint64_t{1} << kNarrowFractionBits[k]);
        fixed.start[k] =
            static_cast<uint64_t>(Nearest((static_cast<double>(row.a[k]) + 0.5) * scale * perD));
        fixed.step[k] =
            static_cast<uint64_t>(Nearest(static_cast<double>(row.b[k]) * scale * perD));
    }
    fixed.narrow = true;
    return fixed;
}

// F(x) must stay within 0.5 / d of the exact value, 2^(f-1) / d units. The error times
// 2d is e0 + 2x * e1, linear in x, so checking both ends of the row covers every pixel.
bool NarrowRowExact(const RowSetup& row, int32_t blockWidth, const FixedRow& fixed) {
    const Int128 d = row.d;
    for (int k = 0; k < 3; ++k) {
        const Int128 unit = Int128{1} << kNarrowFractionBits[k];
        const auto start = static_cast<int64_t>(fixed.start[k]);
        const auto step = static_cast<int64_t>(fixed.step[k]);
        const Int128 e0 = 2 * d * start - (Int128{row.a[k]} * 2 + 1) * unit;
        const Int128 e1 = d * step - Int128{row.b[k]} * unit;
        const Int128 eEnd = e0 + 2 * Int128{blockWidth - 1} * e1;
        if (e0 <= -unit || e0 >= unit || eEnd <= -unit || eEnd >= unit) {
            return false;
        }
    }
    return true;
}

// With the bounds of NarrowFixed, |e0| <= d (1 + 2^(f-42)) and |e1| <= d (1 + 2^(f-42)) / 2,
// so |e0 + 2x e1| <= w d (1 + 2^(f-42)) for every x < w; below 2^f that is exact.
bool NarrowExactForBlock(int64_t w, int64_t h) {
    const Int128 wd = Int128{w} * w * h;
    for (const int bits : kNarrowFractionBits) {
        if (wd * ((Int128{1} << 42) + (Int128{1} << bits)) >= (Int128{1} << (bits + 42))) {
            return false;
        }
    }
    return true;
}

} // namespace gradient_detail
