#define SKYFILL_BLEND_BYTES 64
#include "render/blend_madd.inl"

blend_detail::RowBlender blend_detail::Avx512Row() {
    return &VectorRow;
}
