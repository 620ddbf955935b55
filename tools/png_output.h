#pragma once

#include <cstdint>

// Writes packed B, G, R, A rows as a PNG: 32-bit with the alpha bytes as they are, or,
// for an opaque picture whose fourth byte means nothing, 24-bit.
bool SavePng(const uint8_t* pixels, int32_t width, int32_t height, bool opaque, const char* file);
