// The 64-byte blend operations as two 32-byte halves, so that the AVX-512 row blender's own
// code (its pixel counts, weight orders and tails) runs on CPUs with AVX2 only. Every
// operation the blender uses works within 128-bit lanes or element by element, so applying
// the AVX2 form to each half gives what the 512-bit instruction gives.
// Include before render/blend_madd.inl with SKYFILL_BLEND_BYTES defined as 64.

#include <cstdint>
#include <immintrin.h>

#define SKYFILL_BLEND_VEC_PROVIDED

namespace {

struct Vec {
    __m256i lo;
    __m256i hi;
};

template <typename Op> inline Vec EachHalf(Vec a, Vec b, Op op) {
    return Vec{op(a.lo, b.lo), op(a.hi, b.hi)};
}

inline Vec Load(const uint8_t* p) {
    return Vec{_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32))};
}
inline void Store(uint8_t* p, Vec v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v.lo);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 32), v.hi);
}
inline Vec Set16(int16_t v) {
    return Vec{_mm256_set1_epi16(v), _mm256_set1_epi16(v)};
}
inline Vec Set32(int32_t v) {
    return Vec{_mm256_set1_epi32(v), _mm256_set1_epi32(v)};
}
inline Vec Set64(long long v) {
    return Vec{_mm256_set1_epi64x(v), _mm256_set1_epi64x(v)};
}
inline Vec EachLane(__m128i v) {
    return Vec{_mm256_broadcastsi128_si256(v), _mm256_broadcastsi128_si256(v)};
}
inline Vec Or(Vec a, Vec b) {
    return EachHalf(a, b, [](__m256i x, __m256i y) { return _mm256_or_si256(x, y); });
}
inline Vec Xor(Vec a, Vec b) {
    return EachHalf(a, b, [](__m256i x, __m256i y) { return _mm256_xor_si256(x, y); });
}
inline Vec Lo8(Vec a, Vec b) {
    return EachHalf(a, b, [](__m256i x, __m256i y) { return _mm256_unpacklo_epi8(x, y); });
}
inline Vec Hi8(Vec a, Vec b) {
    return EachHalf(a, b, [](__m256i x, __m256i y) { return _mm256_unpackhi_epi8(x, y); });
}
inline Vec MulHi16(Vec a, Vec b) {
    return EachHalf(a, b, [](__m256i x, __m256i y) { return _mm256_mulhi_epu16(x, y); });
}
inline Vec Add16(Vec a, Vec b) {
    return EachHalf(a, b, [](__m256i x, __m256i y) { return _mm256_add_epi16(x, y); });
}
inline Vec Pack(Vec a, Vec b) {
    return EachHalf(a, b, [](__m256i x, __m256i y) { return _mm256_packus_epi16(x, y); });
}
inline Vec Shuffle8(Vec a, Vec order) {
    return EachHalf(a, order, [](__m256i x, __m256i y) { return _mm256_shuffle_epi8(x, y); });
}
inline Vec MaddUbs(Vec unsignedBytes, Vec signedBytes) {
    return EachHalf(unsignedBytes, signedBytes,
                    [](__m256i x, __m256i y) { return _mm256_maddubs_epi16(x, y); });
}

} // namespace
