#define SKYFILL_BLEND_BYTES 64
#include "render/blend_simd.inl"

blend_detail::RowBlender blend_detail::Avx512Row() {
    return &VectorRow;
}
