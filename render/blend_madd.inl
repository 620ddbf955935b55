// The row blender for instruction sets with byte shuffles and byte multiply-add (AVX2,
// AVX-512BW), compiled once per width by the file that includes it after defining
// SKYFILL_BLEND_BYTES (32 or 64). Internal linkage throughout, so no wider instantiation
// can be picked by the linker for a narrower caller.
//
// Picture and frame bytes are interleaved into pairs (s, d) and offset to signed by
// flipping their top bit; a multiply-add with the weight pairs (a, 255 - a) then gives
//   (s - 128) * a + (d - 128) * (255 - a) = s * a + d * (255 - a) - 32640
// in one instruction. Its magnitude never exceeds 32640, so the multiply-add cannot
// saturate. Adding 32641 gives u + 1 for the unsigned sum u, and mulhi(u + 1, 257) is
// u / 255 truncated for every u up to 65534 (see DivideBy255ViaMulHi), so no shift follows.

#include "render/blend.h"
#include "render/blend_rows.h"
#include "render/blend_vec.inl"

namespace {

// Per 128-bit lane: the byte of each pixel's alpha, twice for each colour channel of the
// two pixels one half of the lane widens to. -128 (zero) in a non-merged alpha pair gives
// it the weights (0, 255): the frame's alpha times 255 / 255.
template <bool kMerge> inline Vec WeightOrder(int firstPixel) {
    const char p = static_cast<char>(4 * firstPixel + 3);
    const char q = static_cast<char>(p + 4);
    const char pa = kMerge ? p : static_cast<char>(-128);
    const char qa = kMerge ? q : static_cast<char>(-128);
    return EachLane(_mm_setr_epi8(p, p, p, p, p, p, pa, pa, q, q, q, q, q, q, qa, qa));
}

template <bool kMerge> void Row(const uint8_t* src, uint8_t* dst, int32_t count) {
    const Vec flip = Set32(static_cast<int32_t>(0x80808080u));
    // The merged alpha is (255 a + dA (255 - a) + 254) / 255 = 255 - ((255 - dA)(255 - a)) / 255:
    // the picture's alpha byte counts as 255 and 254 more is added in the alpha lane.
    const Vec pictureAlpha = Set32(kMerge ? static_cast<int32_t>(0xFF000000u) : 0);
    const Vec bias = kMerge ? Set64(static_cast<int64_t>(0x807F7F817F817F81ULL))
                            : Set16(static_cast<int16_t>(32641));
    const Vec lowWeights = WeightOrder<kMerge>(0);
    const Vec highWeights = WeightOrder<kMerge>(2);
    const Vec complement = Set32(static_cast<int32_t>(0xFF00FF00u)); // (a, a) -> (a, 255 - a)
    const Vec by257 = Set16(257);
    const auto blendAt = [&](int32_t at) {
        const Vec s = Load(src + 4 * at);
        const Vec signedS = Xor(kMerge ? Or(s, pictureAlpha) : s, flip);
        const Vec signedD = Xor(Load(dst + 4 * at), flip);
        const Vec lowSums =
            MaddUbs(Xor(Shuffle8(s, lowWeights), complement), Lo8(signedS, signedD));
        const Vec highSums =
            MaddUbs(Xor(Shuffle8(s, highWeights), complement), Hi8(signedS, signedD));
        const Vec low = MulHi16(Add16(lowSums, bias), by257);
        const Vec high = MulHi16(Add16(highSums, bias), by257);
        Store(dst + 4 * at, Pack(low, high));
    };
    // Asking for both streams well ahead keeps enough lines in flight for the blend to run
    // at memory speed (measured at 1080p: about 0.6 of the time without).
    constexpr int32_t kAheadBytes = 4096;
    constexpr int32_t kLinePixels = 16;
    constexpr int32_t perVector = SKYFILL_BLEND_BYTES / 4;
    int32_t i = 0;
    for (; i + kLinePixels <= count; i += kLinePixels) {
        __builtin_prefetch(src + 4 * i + kAheadBytes);
        __builtin_prefetch(dst + 4 * i + kAheadBytes, 1);
        for (int32_t v = 0; v < kLinePixels; v += perVector) {
            blendAt(i + v);
        }
    }
    for (; i + perVector <= count; i += perVector) {
        blendAt(i);
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
