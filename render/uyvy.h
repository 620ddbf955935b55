#pragma once

#include "render/cpu_path.h"

#include <cstdint>

// Frames sent as UYVY (4:2:2: one U Y V Y quadruple per two pixels) are converted from
// the drawn BGRX rows as the NDI runtime converts BGRX itself, so a receiver sees the
// same picture whichever the copy sends.

// `rows` rows of `width` BGRX pixels (stride 4 x width) into UYVY (stride 2 x width).
// UYVY holds whole pairs: an odd width's last pixel is left out (no output size is odd).
void ConvertRowsToUyvy(const uint8_t* bgrx, int32_t width, int32_t rows, uint8_t* uyvy);
// The same on a chosen CPU path (one of SupportedCpuPaths()); AVX2 and AVX-512 CPUs
// share one vector path, the others the plain one.
void ConvertRowsToUyvyWith(CpuPath path, const uint8_t* bgrx, int32_t width, int32_t rows,
                           uint8_t* uyvy);

// The same, pixel by pixel from the formula as written: the oracle for the above.
void ConvertRowsToUyvyReference(const uint8_t* bgrx, int32_t width, int32_t rows, uint8_t* uyvy);
