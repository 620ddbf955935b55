#define SKYFILL_VECTOR_BYTES 64
#include "render/gradient_simd.inl"

gradient_detail::FixedRowWriter gradient_detail::Avx512RowWriter() {
    return &FixedRowKernel::Row;
}
