// The fixed-point row writer, compiled once per instruction set by the file that
// includes it after defining SKYFILL_VECTOR_BYTES (16, 32 or 64). Everything here has internal
// linkage so that no instantiation built for a wider instruction set can be picked by the linker
// for a narrower caller.

#include "render/gradient_rows.h"

#include <cstring>
#include <utility>

namespace {

using gradient_detail::FixedRow;

struct FixedRowKernel {
    // GCC ignores a vector_size that depends on a template parameter, hence the macro.
    typedef uint64_t U64 __attribute__((vector_size(SKYFILL_VECTOR_BYTES)));
    typedef uint32_t U32 __attribute__((vector_size(SKYFILL_VECTOR_BYTES)));
    static constexpr int Lanes = SKYFILL_VECTOR_BYTES / 8;
    static constexpr int kPixels = 2 * Lanes;

    static U32 Reversed(U32 v) {
        constexpr U32 order = []<std::size_t... I>(std::index_sequence<I...>) {
            return U32{static_cast<uint32_t>(kPixels - 1 - static_cast<int>(I))...};
        }
        (std::make_index_sequence<kPixels>{});
        return __builtin_shuffle(v, order);
    }

    static void Put(uint32_t* dst, U32 colours) {
        U32 old;
        std::memcpy(&old, dst, sizeof old);
        const U32 merged = colours | (old & 0xFF000000u);
        std::memcpy(dst, &merged, sizeof merged);
    }

    // Bytes 5, 6, 7 of the lane: blue, green, red; every other byte zero.
    static U64 Merge(U64 blue, U64 green, U64 red) {
        return (blue & 0x0000FF0000000000u) | (green & 0x00FF000000000000u) |
               (red & 0xFF00000000000000u);
    }

    static void PutScalar(uint32_t* dst, uint32_t colour) {
        uint32_t old;
        std::memcpy(&old, dst, sizeof old);
        old = (old & 0xFF000000u) | colour;
        std::memcpy(dst, &old, sizeof old);
    }

    static U64 Lanes0(uint64_t start, uint64_t step, int first) {
        U64 v;
        for (int i = 0; i < Lanes; ++i) {
            v[i] = start + static_cast<uint64_t>(first + 2 * i) * step;
        }
        return v;
    }

    // The accumulators are separate locals, not arrays, so that they stay in
    // registers; the row's shape is a template argument so the loop has no branches.
    template <bool kBottom, bool kMirror>
    static void RowOf(const FixedRow& row, uint32_t* top, uint32_t* bottom, int32_t blockWidth,
                      int32_t frameWidth) {
        U64 evenB = Lanes0(row.start[0], row.step[0], 0);
        U64 evenG = Lanes0(row.start[1], row.step[1], 0);
        U64 evenR = Lanes0(row.start[2], row.step[2], 0);
        U64 oddB = Lanes0(row.start[0], row.step[0], 1);
        U64 oddG = Lanes0(row.start[1], row.step[1], 1);
        U64 oddR = Lanes0(row.start[2], row.step[2], 1);
        const U64 stepB = U64{} + static_cast<uint64_t>(kPixels) * row.step[0];
        const U64 stepG = U64{} + static_cast<uint64_t>(kPixels) * row.step[1];
        const U64 stepR = U64{} + static_cast<uint64_t>(kPixels) * row.step[2];
        int32_t x = 0;
        for (; x + kPixels <= blockWidth; x += kPixels) {
            // Even pixels go to the low half of each lane, odd ones to the high half.
            const U32 colours = __builtin_bit_cast(U32, (Merge(evenB, evenG, evenR) >> 40) |
                                                            (Merge(oddB, oddG, oddR) >> 8));
            Put(top + x, colours);
            if constexpr (kBottom) {
                Put(bottom + x, colours);
            }
            if constexpr (kMirror) {
                const U32 mirrored = Reversed(colours);
                Put(top + frameWidth - x - kPixels, mirrored);
                if constexpr (kBottom) {
                    Put(bottom + frameWidth - x - kPixels, mirrored);
                }
            }
            evenB += stepB;
            evenG += stepG;
            evenR += stepR;
            oddB += stepB;
            oddG += stepG;
            oddR += stepR;
        }
        for (; x < blockWidth; ++x) {
            uint32_t colour = 0;
            for (int k = 0; k < 3; ++k) {
                const uint64_t f = row.start[k] + static_cast<uint64_t>(x) * row.step[k];
                const int bits = gradient_detail::kFixedFractionBits[k];
                colour |= static_cast<uint32_t>((f >> bits) & 0xFF) << (8 * k);
            }
            PutScalar(top + x, colour);
            if constexpr (kBottom) {
                PutScalar(bottom + x, colour);
            }
            if constexpr (kMirror) {
                PutScalar(top + frameWidth - 1 - x, colour);
                if constexpr (kBottom) {
                    PutScalar(bottom + frameWidth - 1 - x, colour);
                }
            }
        }
    }

    static void Row(const FixedRow& row, uint32_t* top, uint32_t* bottom, int32_t blockWidth,
                    int32_t frameWidth, bool mirrorX) {
        if (bottom != nullptr) {
            mirrorX ? RowOf<true, true>(row, top, bottom, blockWidth, frameWidth)
                    : RowOf<true, false>(row, top, bottom, blockWidth, frameWidth);
        } else {
            mirrorX ? RowOf<false, true>(row, top, bottom, blockWidth, frameWidth)
                    : RowOf<false, false>(row, top, bottom, blockWidth, frameWidth);
        }
    }
};

} // namespace
