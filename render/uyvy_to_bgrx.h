#pragma once

#include <cstdint>

// `height` packed UYVY rows of `width` pixels (an even number) as packed B, G, R, X rows,
// X 255: the inverse of the conversion in uyvy.h, for a frame sent as UYVY to be shown
// or saved as it was drawn.
void UyvyToBgrx(const uint8_t* uyvy, int32_t width, int32_t height, uint8_t* bgrx);
