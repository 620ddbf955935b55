// The vector row blender, compiled once per instruction set by the file that includes it
// after defining SKYFILL_BLEND_BYTES (16, 32 or 64). Internal linkage throughout, so no
// wider instantiation can be picked by the linker for a narrower caller.
//
// Pixels are widened to 16-bit lanes. Every sum s*a + d*(255 - a) (+ 254 for the merged
// alpha) stays below 65536, so the division by 255 is mulhi(x, 0x8081) >> 7, which is
// (x * 0x8081) >> 23: exact for every 16-bit x.

#include "render/blend_rows.h"

#include <immintrin.h>

namespace {

#if SKYFILL_BLEND_BYTES == 16
using Vec = __m128i;
inline Vec Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const Vec*>(p));
}
inline void Store(uint8_t* p, Vec v) {
    _mm_storeu_si128(reinterpret_cast<Vec*>(p), v);
}
inline Vec Zero() {
    return _mm_setzero_si128();
}
inline Vec Set16(int16_t v) {
    return _mm_set1_epi16(v);
}
inline Vec Set32(int32_t v) {
    return _mm_set1_epi32(v);
}
inline Vec Set64(long long v) {
    return _mm_set1_epi64x(v);
}
inline Vec And(Vec a, Vec b) {
    return _mm_and_si128(a, b);
}
inline Vec Or(Vec a, Vec b) {
    return _mm_or_si128(a, b);
}
inline Vec Xor(Vec a, Vec b) {
    return _mm_xor_si128(a, b);
}
inline Vec Lo8(Vec a, Vec b) {
    return _mm_unpacklo_epi8(a, b);
}
inline Vec Hi8(Vec a, Vec b) {
    return _mm_unpackhi_epi8(a, b);
}
inline Vec Mul16(Vec a, Vec b) {
    return _mm_mullo_epi16(a, b);
}
inline Vec MulHi16(Vec a, Vec b) {
    return _mm_mulhi_epu16(a, b);
}
inline Vec Add16(Vec a, Vec b) {
    return _mm_add_epi16(a, b);
}
inline Vec Shr16By7(Vec a) {
    return _mm_srli_epi16(a, 7);
}
inline Vec Pack(Vec a, Vec b) {
    return _mm_packus_epi16(a, b);
}
inline Vec AlphaEverywhere(Vec a) {
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(a, 0xFF), 0xFF);
}
#elif SKYFILL_BLEND_BYTES == 32
using Vec = __m256i;
inline Vec Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const Vec*>(p));
}
inline void Store(uint8_t* p, Vec v) {
    _mm256_storeu_si256(reinterpret_cast<Vec*>(p), v);
}
inline Vec Zero() {
    return _mm256_setzero_si256();
}
inline Vec Set16(int16_t v) {
    return _mm256_set1_epi16(v);
}
inline Vec Set32(int32_t v) {
    return _mm256_set1_epi32(v);
}
inline Vec Set64(long long v) {
    return _mm256_set1_epi64x(v);
}
inline Vec And(Vec a, Vec b) {
    return _mm256_and_si256(a, b);
}
inline Vec Or(Vec a, Vec b) {
    return _mm256_or_si256(a, b);
}
inline Vec Xor(Vec a, Vec b) {
    return _mm256_xor_si256(a, b);
}
inline Vec Lo8(Vec a, Vec b) {
    return _mm256_unpacklo_epi8(a, b);
}
inline Vec Hi8(Vec a, Vec b) {
    return _mm256_unpackhi_epi8(a, b);
}
inline Vec Mul16(Vec a, Vec b) {
    return _mm256_mullo_epi16(a, b);
}
inline Vec MulHi16(Vec a, Vec b) {
    return _mm256_mulhi_epu16(a, b);
}
inline Vec Add16(Vec a, Vec b) {
    return _mm256_add_epi16(a, b);
}
inline Vec Shr16By7(Vec a) {
    return _mm256_srli_epi16(a, 7);
}
inline Vec Pack(Vec a, Vec b) {
    return _mm256_packus_epi16(a, b);
}
inline Vec AlphaEverywhere(Vec a) {
    return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a, 0xFF), 0xFF);
}
#elif SKYFILL_BLEND_BYTES == 64
using Vec = __m512i;
inline Vec Load(const uint8_t* p) {
    return _mm512_loadu_si512(p);
}
inline void Store(uint8_t* p, Vec v) {
    _mm512_storeu_si512(p, v);
}
inline Vec Zero() {
    return _mm512_setzero_si512();
}
inline Vec Set16(int16_t v) {
    return _mm512_set1_epi16(v);
}
inline Vec Set32(int32_t v) {
    return _mm512_set1_epi32(v);
}
inline Vec Set64(long long v) {
    return _mm512_set1_epi64(v);
}
inline Vec And(Vec a, Vec b) {
    return _mm512_and_si512(a, b);
}
inline Vec Or(Vec a, Vec b) {
    return _mm512_or_si512(a, b);
}
inline Vec Xor(Vec a, Vec b) {
    return _mm512_xor_si512(a, b);
}
inline Vec Lo8(Vec a, Vec b) {
    return _mm512_unpacklo_epi8(a, b);
}
inline Vec Hi8(Vec a, Vec b) {
    return _mm512_unpackhi_epi8(a, b);
}
inline Vec Mul16(Vec a, Vec b) {
    return _mm512_mullo_epi16(a, b);
}
inline Vec MulHi16(Vec a, Vec b) {
    return _mm512_mulhi_epu16(a, b);
}
inline Vec Add16(Vec a, Vec b) {
    return _mm512_add_epi16(a, b);
}
inline Vec Shr16By7(Vec a) {
    return _mm512_srli_epi16(a, 7);
}
inline Vec Pack(Vec a, Vec b) {
    return _mm512_packus_epi16(a, b);
}
inline Vec AlphaEverywhere(Vec a) {
    return _mm512_shufflehi_epi16(_mm512_shufflelo_epi16(a, 0xFF), 0xFF);
}
#else
#error "SKYFILL_BLEND_BYTES must be 16, 32 or 64"
#endif

// Unpack and pack work within 128-bit lanes in the same order, so the pixels come back
// where they were.
template <bool kMerge> inline Vec BlendHalf(Vec s, Vec d) {
    Vec a = AlphaEverywhere(s);
    if constexpr (!kMerge) {
        // Weights 0 and 255 in the alpha lane give dA * 255 / 255: the frame's alpha.
        a = And(a, Set64(0x000000FF00FF00FFLL));
    }
    const Vec ia = Xor(a, Set16(0xFF)); // 255 - a, as a <= 255
    if constexpr (kMerge) {
        // With the picture's alpha lane forced to 255 and 254 added there:
        // (255a + dA*ia + 254) / 255 = a + ceil(dA*ia / 255) = 255 - ((255 - dA)*ia) / 255.
        s = Or(s, Set64(0x00FF000000000000LL));
    }
    Vec t = Add16(Mul16(s, a), Mul16(d, ia));
    if constexpr (kMerge) {
        t = Add16(t, Set64(0x00FE000000000000LL));
    }
    return Shr16By7(MulHi16(t, Set16(static_cast<int16_t>(0x8081))));
}

template <bool kMerge> void Row(const uint8_t* src, uint8_t* dst, int32_t count) {
    const Vec zero = Zero();
    const int32_t perVector = SKYFILL_BLEND_BYTES / 4;
    int32_t i = 0;
    for (; i + perVector <= count; i += perVector) {
        const Vec s = Load(src + 4 * i);
        const Vec d = Load(dst + 4 * i);
        const Vec lo = BlendHalf<kMerge>(Lo8(s, zero), Lo8(d, zero));
        const Vec hi = BlendHalf<kMerge>(Hi8(s, zero), Hi8(d, zero));
        Store(dst + 4 * i, Pack(lo, hi));
    }
    blend_detail::PortableRow(src + 4 * i, dst + 4 * i, count - i, kMerge);
}

void VectorRow(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha) {
    if (mergeAlpha) {
        Row<true>(src, dst, count);
    } else {
        Row<false>(src, dst, count);
    }
}

} // namespace
