#include "render/blend.h"

#include "render/blend_rows.h"

#include <array>

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

// A fixed array, so the first compose on the sending thread allocates nothing.
struct PathList {
    std::array<BlendPath, 5> paths{};
    std::size_t count = 0;
    void Add(BlendPath path) { paths[count++] = path; }
};

PathList DetectPaths() {
    PathList list;
    list.Add(BlendPath::Reference);
    list.Add(BlendPath::Portable);
#if defined(SKYFILL_BLEND_X86)
    __builtin_cpu_init();
    list.Add(BlendPath::Sse2);
    if (__builtin_cpu_supports("avx2")) {
        list.Add(BlendPath::Avx2);
    }
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
        list.Add(BlendPath::Avx512);
    }
#endif
    return list;
}

std::span<const BlendPath> Paths() {
    static const PathList list = DetectPaths();
    return {list.paths.data(), list.count};
}

blend_detail::RowBlender BlenderFor(BlendPath path) {
    switch (path) {
    case BlendPath::Reference:
        return &ReferenceRow;
#if defined(SKYFILL_BLEND_X86)
    case BlendPath::Sse2:
        return blend_detail::Sse2Row();
    case BlendPath::Avx2:
        return blend_detail::Avx2Row();
    case BlendPath::Avx512:
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

const char* BlendPathName(BlendPath path) {
    switch (path) {
    case BlendPath::Reference:
        return "reference";
    case BlendPath::Portable:
        return "portable";
    case BlendPath::Sse2:
        return "sse2";
    case BlendPath::Avx2:
        return "avx2";
    case BlendPath::Avx512:
        return "avx512";
    }
    return "unknown";
}

std::span<const BlendPath> SupportedBlendPaths() {
    return Paths();
}

void BlendRowWith(BlendPath path, const uint8_t* src, uint8_t* dst, int32_t count,
                  bool mergeAlpha) {
    if (count > 0) {
        BlenderFor(path)(src, dst, count, mergeAlpha);
    }
}

void BlendRow(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha) {
    static const blend_detail::RowBlender fastest = BlenderFor(Paths().back());
    if (count > 0) {
        fastest(src, dst, count, mergeAlpha);
    }
}
