// BGRX to UYVY sixteen pixels at a time; built with -mavx2 and called only on CPUs that
// have it. The same fixed-point sums and shifts as the plain conversion, so the same
// bytes.

#include "render/uyvy_rows.h"

#include <immintrin.h>

namespace {

// One weighted sum per pixel of eight BGRX pixels: madd pairs (B, G) and (R, X) with
// 16-bit weights, hadd joins the pair, and the pixels come out in order.
inline __m256i Sums(__m256i low, __m256i high, __m256i weights) {
    return _mm256_hadd_epi32(_mm256_madd_epi16(low, weights), _mm256_madd_epi16(high, weights));
}

// Weights for an even pixel, then for an odd one: each unpacked half holds such a pair.
inline __m256i Weights(int b0, int g0, int r0, int b1, int g1, int r1) {
    return _mm256_setr_epi16(b0, g0, r0, 0, b1, g1, r1, 0, b0, g0, r0, 0, b1, g1, r1, 0);
}

// Eight pixels as eight 16-bit words: the chroma byte (U for even pixels, V for odd) low,
// luma high, which is U Y V Y in memory.
inline __m256i Words(const uint8_t* bgrx) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgrx));
    const __m256i low = _mm256_unpacklo_epi8(pixels, zero);
    const __m256i high = _mm256_unpackhi_epi8(pixels, zero);
    const __m256i y =
        _mm256_add_epi32(_mm256_srai_epi32(Sums(low, high, Weights(16, 158, 46, 16, 158, 46)), 8),
                         _mm256_set1_epi32(16));
    // U of each even pixel, V of each odd one: all a pair needs.
    const __m256i chroma = _mm256_add_epi32(
        _mm256_srai_epi32(Sums(low, high, Weights(112, -87, -26, -10, -102, 112)), 8),
        _mm256_set1_epi32(128));
    return _mm256_or_si256(chroma, _mm256_slli_epi32(y, 8));
}

} // namespace

void uyvy_detail::ConvertRowsAvx2(const uint8_t* bgrx, int32_t width, int32_t rows, uint8_t* uyvy) {
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* in = bgrx + static_cast<int64_t>(y) * width * 4;
        uint8_t* out = uyvy + static_cast<int64_t>(y) * width * 2;
        int32_t x = 0;
        for (; x + 16 <= width; x += 16) {
            // packus keeps each 128-bit lane apart: pixels 0-3, 8-11 | 4-7, 12-15.
            const __m256i packed = _mm256_packus_epi32(Words(in + 4 * x), Words(in + 4 * x + 32));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * x),
                                _mm256_permute4x64_epi64(packed, 0xD8));
        }
        uyvy_detail::ConvertRowTail(in, x, width, out);
    }
}
