// BGRX to UYVY sixteen pixels at a time; built with -mavx2 and called only on CPUs that
// have it. The same fixed-point sums and shifts as the plain conversion, so the same
// bytes.

#include "render/uyvy_rows.h"
#include "render/uyvy_weights.h"

#include <immintrin.h>

namespace {

// Eight pixels as eight 32-bit lanes whose low word is U Y or V Y in memory order (see
// uyvy_weights.h).
inline __m256i Words(const uint8_t* bgrx) {
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgrx));
    const __m256i bytes = _mm256_set1_epi32(0x00FF00FF);
    const __m256i blueRed = _mm256_and_si256(pixels, bytes);
    const __m256i greenX = _mm256_and_si256(_mm256_srli_epi32(pixels, 8), bytes);
    auto sum = [&](uint64_t blueRedWeights, uint64_t greenWeights, int offset) {
        const __m256i weighted = _mm256_add_epi32(
            _mm256_madd_epi16(blueRed, _mm256_set1_epi64x(static_cast<long long>(blueRedWeights))),
            _mm256_madd_epi16(greenX, _mm256_set1_epi64x(static_cast<long long>(greenWeights))));
        return _mm256_add_epi32(_mm256_srai_epi32(weighted, 8), _mm256_set1_epi32(offset));
    };
    const __m256i y = sum(uyvy_weights::kLumaBlueRed, uyvy_weights::kLumaGreen, 16);
    const __m256i chroma = sum(uyvy_weights::kChromaBlueRed, uyvy_weights::kChromaGreen, 128);
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
