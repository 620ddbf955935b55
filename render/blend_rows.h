#pragma once

// Internals shared by the blend paths; not part of the renderer's interface.

#include <cstdint>

namespace blend_detail {

using RowBlender = void (*)(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha);

// The scalar loop with the exact multiply-shift division; the vector paths finish
// their rows with it.
void PortableRow(const uint8_t* src, uint8_t* dst, int32_t count, bool mergeAlpha);

RowBlender Sse2Row();
RowBlender Avx2Row();
RowBlender Avx512Row();

} // namespace blend_detail
