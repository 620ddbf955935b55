#pragma once

#include <cstdint>

// `height` packed UYVY rows of `width` pixels (an even number) as packed B, G, R, X rows,
// X 255, the rows SavePng takes for an opaque picture.
void UyvyToBgrx(const uint8_t* uyvy, int32_t width, int32_t height, uint8_t* bgrx);
