// BGRX to UYVY thirty-two pixels at a time; built with -mavx512f -mavx512bw and called
// only on CPUs that have both. The same sums as the AVX2 path, twice as wide.

#include "render/uyvy_rows.h"
#include "render/uyvy_weights.h"

#include <immintrin.h>

namespace {

// GCC 12's own 512-bit shift and unmasked permute intrinsics trip its maybe-uninitialized
// warning: the shifts are spelt as vector arithmetic, the permute with an all-ones mask.
// Both compile to the same instructions.
typedef int32_t Signed __attribute__((vector_size(64)));
typedef uint32_t Unsigned __attribute__((vector_size(64)));

inline __m512i RightLogical(__m512i v, int bits) {
    return __builtin_bit_cast(__m512i, __builtin_bit_cast(Unsigned, v) >> bits);
}
inline __m512i RightArithmetic(__m512i v, int bits) {
    return __builtin_bit_cast(__m512i, __builtin_bit_cast(Signed, v) >> bits);
}
inline __m512i Left(__m512i v, int bits) {
    return __builtin_bit_cast(__m512i, __builtin_bit_cast(Unsigned, v) << bits);
}

// Sixteen pixels as sixteen 32-bit lanes whose low word is U Y or V Y in memory order.
inline __m512i Words(const uint8_t* bgrx) {
    const __m512i pixels = _mm512_loadu_si512(bgrx);
    const __m512i bytes = _mm512_set1_epi32(0x00FF00FF);
    const __m512i blueRed = _mm512_and_si512(pixels, bytes);
    const __m512i greenX = _mm512_and_si512(RightLogical(pixels, 8), bytes);
    auto sum = [&](uint64_t blueRedWeights, uint64_t greenWeights, int offset) {
        const __m512i weighted = _mm512_add_epi32(
            _mm512_madd_epi16(blueRed, _mm512_set1_epi64(static_cast<long long>(blueRedWeights))),
            _mm512_madd_epi16(greenX, _mm512_set1_epi64(static_cast<long long>(greenWeights))));
        return _mm512_add_epi32(RightArithmetic(weighted, 8), _mm512_set1_epi32(offset));
    };
    const __m512i y = sum(uyvy_weights::kLumaBlueRed, uyvy_weights::kLumaGreen, 16);
    const __m512i chroma = sum(uyvy_weights::kChromaBlueRed, uyvy_weights::kChromaGreen, 128);
    return _mm512_or_si512(chroma, Left(y, 8));
}

} // namespace

void uyvy_detail::ConvertRowsAvx512(const uint8_t* bgrx, int32_t width, int32_t rows,
                                    uint8_t* uyvy) {
    // packus keeps each 128-bit lane apart (four pixels of the first sixteen, then four
    // of the second): the quadwords back in pixel order.
    const __m512i order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* in = bgrx + static_cast<int64_t>(y) * width * 4;
        uint8_t* out = uyvy + static_cast<int64_t>(y) * width * 2;
        int32_t x = 0;
        for (; x + 32 <= width; x += 32) {
            const __m512i packed = _mm512_packus_epi32(Words(in + 4 * x), Words(in + 4 * x + 64));
            _mm512_storeu_si512(out + 2 * x, _mm512_maskz_permutexvar_epi64(0xFF, order, packed));
        }
        uyvy_detail::ConvertRowTail(in, x, width, out);
    }
}
