#include "render/uyvy.h"

#include "render/uyvy_rows.h"

namespace {

// The runtime's own conversion, found by sending known colours as BGRX and receiving
// them as UYVY (libndi 6.3): BT.709 weights in limited range, 8-bit fixed point,
// rounded down (an arithmetic shift, so negative sums round towards minus infinity:
// mid grey gives U 127), nothing clamped. A pair's U comes from its left pixel and its
// V from its right one, without filtering. Any other rounding or siting moves a
// receiver's picture by up to 4 steps on a smooth gradient; this one matches it byte
// for byte.
inline uint8_t Luma(const uint8_t* p) {
    return static_cast<uint8_t>(((46 * p[2] + 158 * p[1] + 16 * p[0]) >> 8) + 16);
}
inline uint8_t ChromaBlue(const uint8_t* p) {
    return static_cast<uint8_t>(((-26 * p[2] - 87 * p[1] + 112 * p[0]) >> 8) + 128);
}
inline uint8_t ChromaRed(const uint8_t* p) {
    return static_cast<uint8_t>(((112 * p[2] - 102 * p[1] - 10 * p[0]) >> 8) + 128);
}

} // namespace

void uyvy_detail::ConvertRowTail(const uint8_t* in, int32_t from, int32_t width, uint8_t* out) {
    for (int32_t x = from; x + 1 < width; x += 2) {
        const uint8_t* left = in + 4 * x;
        const uint8_t* right = left + 4;
        uint8_t* o = out + 2 * x;
        o[0] = ChromaBlue(left);
        o[1] = Luma(left);
        o[2] = ChromaRed(right);
        o[3] = Luma(right);
    }
}

void ConvertRowsToUyvyReference(const uint8_t* bgrx, int32_t width, int32_t rows, uint8_t* uyvy) {
    for (int32_t y = 0; y < rows; ++y) {
        uyvy_detail::ConvertRowTail(bgrx + static_cast<int64_t>(y) * width * 4, 0, width,
                                    uyvy + static_cast<int64_t>(y) * width * 2);
    }
}

void ConvertRowsToUyvyWith(CpuPath path, const uint8_t* bgrx, int32_t width, int32_t rows,
                           uint8_t* uyvy) {
#ifdef SKYFILL_RENDER_X86
    if (path == CpuPath::Avx512) {
        uyvy_detail::ConvertRowsAvx512(bgrx, width, rows, uyvy);
        return;
    }
    if (path == CpuPath::Avx2) {
        uyvy_detail::ConvertRowsAvx2(bgrx, width, rows, uyvy);
        return;
    }
#endif
    (void)path;
    ConvertRowsToUyvyReference(bgrx, width, rows, uyvy);
}

void ConvertRowsToUyvy(const uint8_t* bgrx, int32_t width, int32_t rows, uint8_t* uyvy) {
    ConvertRowsToUyvyWith(FastestCpuPath(), bgrx, width, rows, uyvy);
}
