#define SKYFILL_BLEND_BYTES 16
#include "render/blend_simd.inl"

blend_detail::RowBlender blend_detail::Sse2Row() {
    return &VectorRow;
}
