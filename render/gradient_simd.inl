// The fixed-point row writer, compiled once per instruction set by the file that includes it
// after defining SKYFILL_VECTOR_BYTES (16, 32 or 64). Everything here has internal
// linkage so that no instantiation built for a wider instruction set can be picked by the linker
// for a narrower caller.

#include "render/gradient_rows.h"

#include <cstring>
#include <immintrin.h>
#include <utility>

namespace {

using gradient_detail::FixedRow;

struct FixedRowKernel {
    // GCC ignores a vector_size that depends on a template parameter, hence the macro.
    typedef uint64_t U64 __attribute__((vector_size(SKYFILL_VECTOR_BYTES)));
    typedef uint32_t U32 __attribute__((vector_size(SKYFILL_VECTOR_BYTES)));
    typedef uint8_t U8 __attribute__((vector_size(SKYFILL_VECTOR_BYTES)));
    static constexpr int Lanes = SKYFILL_VECTOR_BYTES / 8;
    static constexpr int kPixels = 2 * Lanes;
    static constexpr int kBytes = SKYFILL_VECTOR_BYTES;

    // Each pixel comes from the high half of one 64-bit lane of one of two accumulator
    // sets; a dword gather that stays within 128-bit blocks (shufps) puts them in order.
    // Set M holds pixels 0, 1 of every group of four, set N pixels 2, 3.
    static constexpr int PixelOf(int lane, bool setN) {
        return 4 * (lane / 2) + (setN ? 2 : 0) + lane % 2;
    }

    // shufps itself: GCC otherwise builds this from two dword shuffles and a blend.
    static U32 Gathered(U64 m, U64 n) {
        constexpr int kOddDwords = _MM_SHUFFLE(3, 1, 3, 1);
#if SKYFILL_VECTOR_BYTES == 16
        return __builtin_bit_cast(U32, _mm_shuffle_ps(__builtin_bit_cast(__m128, m),
                                                      __builtin_bit_cast(__m128, n), kOddDwords));
#elif SKYFILL_VECTOR_BYTES == 32
        return __builtin_bit_cast(U32,
                                  _mm256_shuffle_ps(__builtin_bit_cast(__m256, m),
                                                    __builtin_bit_cast(__m256, n), kOddDwords));
#elif defined(__AVX512F__)
        return __builtin_bit_cast(U32,
                                  _mm512_shuffle_ps(__builtin_bit_cast(__m512, m),
                                                    __builtin_bit_cast(__m512, n), kOddDwords));
#else
        // The same gather spelled out, for the tests that run this width on narrower CPUs.
        static_cast<void>(kOddDwords);
        const U32 a = __builtin_bit_cast(U32, m);
        const U32 b = __builtin_bit_cast(U32, n);
        return __builtin_shufflevector(a, b, 1, 3, 17, 19, 5, 7, 21, 23, 9, 11, 25, 27, 13, 15, 29,
                                       31);
#endif
    }

#if SKYFILL_VECTOR_BYTES != 32
    // SSE2 has no byte blend and AVX-512F without BW no byte shuffle, and GCC would take a
    // constant byte shuffle through memory; a bit select is three instructions on SSE2 and
    // one (vpternlog) on AVX-512F.
    template <typename V> static V Blend(V base, V with, uint64_t mask) {
        const U64 m = U64{} + mask;
        return __builtin_bit_cast(V, (__builtin_bit_cast(U64, base) & ~m) |
                                         (__builtin_bit_cast(U64, with) & m));
    }
#endif

    // Byte `at` of every 64-bit lane from `with`, every other byte from `base`.
    template <int at> static U64 TakeByte(U64 base, U64 with) {
#if SKYFILL_VECTOR_BYTES != 32
        return Blend(base, with, uint64_t{0xFF} << (8 * at));
#else
        const U8 b = __builtin_bit_cast(U8, base);
        const U8 w = __builtin_bit_cast(U8, with);
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            return __builtin_bit_cast(
                U64, __builtin_shufflevector(b, w, (I % 8 == at ? I + kBytes : I)...));
        }
        (std::make_index_sequence<kBytes>{});
#endif
    }

    static U32 Reversed(U32 v) {
        return [&]<std::size_t... I>(std::index_sequence<I...>) {
            return __builtin_shufflevector(v, v, (kPixels - 1 - I)...);
        }
        (std::make_index_sequence<kPixels>{});
    }

    // The colour bytes of `colours`, the alpha bytes already at `dst`.
    static void Put(uint32_t* dst, U32 colours) {
        U8 old;
        std::memcpy(&old, dst, sizeof old);
#if SKYFILL_VECTOR_BYTES != 32
        const U8 merged = Blend(__builtin_bit_cast(U8, colours), old, 0xFF000000FF000000u);
#else
        const U8 c = __builtin_bit_cast(U8, colours);
        const U8 merged = [&]<std::size_t... I>(std::index_sequence<I...>) {
            return __builtin_shufflevector(c, old, (I % 4 == 3 ? I + kBytes : I)...);
        }
        (std::make_index_sequence<kBytes>{});
#endif
        std::memcpy(dst, &merged, sizeof merged);
    }

    static void PutScalar(uint32_t* dst, uint32_t colour) {
        uint32_t old;
        std::memcpy(&old, dst, sizeof old);
        old = (old & 0xFF000000u) | colour;
        std::memcpy(dst, &old, sizeof old);
    }

    // Whole-vector arithmetic: filling lanes one at a time showed in the cost of a row.
    static U64 Lanes0(uint64_t start, uint64_t step, bool setN) {
        constexpr U64 pixels = []<std::size_t... I>(std::index_sequence<I...>) {
            return U64{static_cast<uint64_t>(PixelOf(static_cast<int>(I), false))...};
        }
        (std::make_index_sequence<Lanes>{});
        const uint64_t first = setN ? start + 2 * step : start;
        return (U64{} + first) + pixels * (U64{} + step);
    }

    // Blue in byte 4 (narrow) or 5 (wide) of each lane, green and red in the next two.
    template <bool kNarrow> static U64 Merged(U64 blue, U64 green, U64 red) {
        constexpr int kBlue = kNarrow ? 4 : 5;
        // Above its integer byte an accumulator is zero, so blue's lane top stays clear.
        return TakeByte<kBlue + 2>(TakeByte<kBlue + 1>(blue, green), red);
    }

    template <bool kNarrow> static U32 Colours(U64 mB, U64 mG, U64 mR, U64 nB, U64 nG, U64 nR) {
        const U32 colours = Gathered(Merged<kNarrow>(mB, mG, mR), Merged<kNarrow>(nB, nG, nR));
        if constexpr (kNarrow) {
            return colours;
        } else {
            return colours >> 8;
        }
    }

    // The accumulators are separate locals, not arrays, so that they stay in
    // registers; the row's shape is a template argument so the loop has no branches.
    template <bool kNarrow, bool kBottom, bool kMirror>
    static void RowOf(const FixedRow& row, uint32_t* top, uint32_t* bottom, int32_t blockWidth,
                      int32_t frameWidth) {
        U64 mB = Lanes0(row.start[0], row.step[0], false);
        U64 mG = Lanes0(row.start[1], row.step[1], false);
        U64 mR = Lanes0(row.start[2], row.step[2], false);
        U64 nB = Lanes0(row.start[0], row.step[0], true);
        U64 nG = Lanes0(row.start[1], row.step[1], true);
        U64 nR = Lanes0(row.start[2], row.step[2], true);
        const U64 stepB = U64{} + static_cast<uint64_t>(kPixels) * row.step[0];
        const U64 stepG = U64{} + static_cast<uint64_t>(kPixels) * row.step[1];
        const U64 stepR = U64{} + static_cast<uint64_t>(kPixels) * row.step[2];
        int32_t x = 0;
        for (; x + kPixels <= blockWidth; x += kPixels) {
            const U32 colours = Colours<kNarrow>(mB, mG, mR, nB, nG, nR);
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
            mB += stepB;
            mG += stepG;
            mR += stepR;
            nB += stepB;
            nG += stepG;
            nR += stepR;
        }
        const int* bits =
            kNarrow ? gradient_detail::kNarrowFractionBits : gradient_detail::kWideFractionBits;
        for (; x < blockWidth; ++x) {
            uint32_t colour = 0;
            for (int k = 0; k < 3; ++k) {
                const uint64_t f = row.start[k] + static_cast<uint64_t>(x) * row.step[k];
                colour |= static_cast<uint32_t>((f >> bits[k]) & 0xFF) << (8 * k);
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

    template <bool kNarrow>
    static void ShapedRow(const FixedRow& row, uint32_t* top, uint32_t* bottom, int32_t blockWidth,
                          int32_t frameWidth, bool mirrorX) {
        if (bottom != nullptr) {
            mirrorX ? RowOf<kNarrow, true, true>(row, top, bottom, blockWidth, frameWidth)
                    : RowOf<kNarrow, true, false>(row, top, bottom, blockWidth, frameWidth);
        } else {
            mirrorX ? RowOf<kNarrow, false, true>(row, top, bottom, blockWidth, frameWidth)
                    : RowOf<kNarrow, false, false>(row, top, bottom, blockWidth, frameWidth);
        }
    }

    static void Row(const FixedRow& row, uint32_t* top, uint32_t* bottom, int32_t blockWidth,
                    int32_t frameWidth, bool mirrorX) {
        row.narrow ? ShapedRow<true>(row, top, bottom, blockWidth, frameWidth, mirrorX)
                   : ShapedRow<false>(row, top, bottom, blockWidth, frameWidth, mirrorX);
    }
};

} // namespace
