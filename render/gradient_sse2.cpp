#define SKYFILL_VECTOR_BYTES 16
#include "render/gradient_simd.inl"

gradient_detail::FixedRowWriter gradient_detail::Sse2RowWriter() {
    return &FixedRowKernel::Row;
}
