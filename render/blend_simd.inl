// The SSE2 row blender (SSE2 has neither byte shuffles nor byte multiply-add; the wider
// sets use blend_madd.inl), compiled by the file that includes it after defining
// SKYFILL_BLEND_BYTES 16. Internal linkage throughout.
//
// Pixels are widened to 16-bit lanes. Every sum s*a + d*(255 - a) (+ 254 for the merged
// alpha) stays below 65536, so the division by 255 is mulhi(x, 0x8081) >> 7, which is
// (x * 0x8081) >> 23: exact for every 16-bit x.

#include "render/blend_rows.h"
#include "render/blend_vec.inl"

namespace {

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
