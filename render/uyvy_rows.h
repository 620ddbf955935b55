#pragma once

// Shared by the UYVY conversion's paths; not for other callers.

#include <cstdint>

namespace uyvy_detail {

// The plain conversion of pixels from..width - 1 of one row.
void ConvertRowTail(const uint8_t* bgrxRow, int32_t from, int32_t width, uint8_t* uyvyRow);

void ConvertRowsAvx2(const uint8_t* bgrx, int32_t width, int32_t rows, uint8_t* uyvy);
void ConvertRowsAvx512(const uint8_t* bgrx, int32_t width, int32_t rows, uint8_t* uyvy);

} // namespace uyvy_detail
