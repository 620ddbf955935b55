#define SKYFILL_BLEND_BYTES 32
#include "render/blend_madd.inl"

blend_detail::RowBlender blend_detail::Avx2Row() {
    return &VectorRow;
}
