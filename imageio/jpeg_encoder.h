#pragma once

#include <cstdint>
#include <vector>

namespace imageio {

// No blocking to be seen at a glance, and a 640-pixel-wide frame in about 16 KB.
constexpr int kJpegQuality = 80;

// B, G, R, X bytes, rows packed, as a baseline JPEG file; empty when libjpeg refuses
// (no pixels, a side longer than JPEG allows, no memory). Plain C++ with libjpeg, so
// callers off the GUI need no Qt image plugin.
std::vector<uint8_t> EncodeJpeg(const uint8_t* bgrx, int32_t width, int32_t height,
                                int quality = kJpegQuality);

} // namespace imageio
