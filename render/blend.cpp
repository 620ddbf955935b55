#include "render/blend.h"

#include "render/blend_rows.h"

namespace {

// The formula as written, with real divisions; the oracle for the other paths.
void ReferenceRow(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha) {
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* s = src + 4 * i;
        uint8_t* d = dst + 4 * i;
        const int a = s[3];
        const int ia = 255 - a;
        for (int c = 0; c < 3; ++c) {
            d[c] = static_cast<uint8_t>((s[c] * a + d[c] * ia) / 255);
        }
        if (mergeAlpha) {
            d[3] = static_cast<uint8_t>(255 - ((255 - d[3]) * ia) / 255);
        }
    }
}

blend_detail::RowBlender BlenderFor(CpuPath path) {
    switch (path) {
    case CpuPath::Reference:
        return &ReferenceRow;
#if defined(SKYFILL_RENDER_X86)
    case CpuPath::Sse2:
        return blend_detail::Sse2Row();
    case CpuPath::Avx2:
        return blend_detail::Avx2Row();
    case CpuPath::Avx512:
        return blend_detail::Avx512Row();
#endif
    default:
        return &blend_detail::PortableRow;
    }
}

} // namespace

void blend_detail::PortableRow(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha) {
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* s = src + 4 * i;
        uint8_t* d = dst + 4 * i;
        const uint32_t a = s[3];
        const uint32_t ia = 255 - a;
        d[0] = static_cast<uint8_t>(DivideBy255(s[0] * a + d[0] * ia));
        d[1] = static_cast<uint8_t>(DivideBy255(s[1] * a + d[1] * ia));
        d[2] = static_cast<uint8_t>(DivideBy255(s[2] * a + d[2] * ia));
        if (mergeAlpha) {
            d[3] = static_cast<uint8_t>(255 - DivideBy255((255u - d[3]) * ia));
        }
    }
}

void BlendRowWith(CpuPath path, const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha) {
    if (count > 0) {
        BlenderFor(path)(src, dst, count, mergeAlpha);
    }
}

void BlendRow(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha) {
    static const blend_detail::RowBlender fastest = BlenderFor(FastestCpuPath());
    if (count > 0) {
        fastest(src, dst, count, mergeAlpha);
    }
}
