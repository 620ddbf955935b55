// The vector operations the row blenders use, for the width the including file chose by
// defining SKYFILL_BLEND_BYTES (16, 32 or 64). Internal linkage, like the blenders.
// A file that brings its own set defines SKYFILL_BLEND_VEC_PROVIDED first.

#include <cstdint>
#include <immintrin.h>

#ifndef SKYFILL_BLEND_VEC_PROVIDED
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
inline Vec Set16(int16_t v) {
    return _mm256_set1_epi16(v);
}
inline Vec Set32(int32_t v) {
    return _mm256_set1_epi32(v);
}
inline Vec Set64(long long v) {
    return _mm256_set1_epi64x(v);
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
inline Vec MulHi16(Vec a, Vec b) {
    return _mm256_mulhi_epu16(a, b);
}
inline Vec Add16(Vec a, Vec b) {
    return _mm256_add_epi16(a, b);
}
inline Vec Pack(Vec a, Vec b) {
    return _mm256_packus_epi16(a, b);
}
inline Vec EachLane(__m128i v) {
    return _mm256_broadcastsi128_si256(v);
}
inline Vec Shuffle8(Vec a, Vec order) {
    return _mm256_shuffle_epi8(a, order);
}
inline Vec MaddUbs(Vec unsignedBytes, Vec signedBytes) {
    return _mm256_maddubs_epi16(unsignedBytes, signedBytes);
}
#elif SKYFILL_BLEND_BYTES == 64
using Vec = __m512i;
inline Vec Load(const uint8_t* p) {
    return _mm512_loadu_si512(p);
}
inline void Store(uint8_t* p, Vec v) {
    _mm512_storeu_si512(p, v);
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
inline Vec MulHi16(Vec a, Vec b) {
    return _mm512_mulhi_epu16(a, b);
}
inline Vec Add16(Vec a, Vec b) {
    return _mm512_add_epi16(a, b);
}
inline Vec Pack(Vec a, Vec b) {
    return _mm512_packus_epi16(a, b);
}
inline Vec EachLane(__m128i v) {
    // _mm512_broadcast_i32x4 trips GCC 12's maybe-uninitialized warning in its own header.
    alignas(64) __m128i lanes[4] = {v, v, v, v};
    return _mm512_load_si512(lanes);
}
inline Vec Shuffle8(Vec a, Vec order) {
    return _mm512_shuffle_epi8(a, order);
}
inline Vec MaddUbs(Vec unsignedBytes, Vec signedBytes) {
    return _mm512_maddubs_epi16(unsignedBytes, signedBytes);
}
#else
#error "SKYFILL_BLEND_BYTES must be 16, 32 or 64"
#endif

} // namespace
#endif
