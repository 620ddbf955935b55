#define SKYFILL_VECTOR_BYTES 32
#include "render/gradient_simd.inl"

gradient_detail::FixedRowWriter gradient_detail::Avx2RowWriter() {
    return &FixedRowKernel::Row;
}
