#pragma once

#include <cstdint>
#include <vector>

// A decoded picture kept as the source of later rescales: always 4 bytes a pixel
// (B, G, R, A, rows packed), whatever depth it was stored in. `bitsPerPixel` remembers
// that depth: 32 for a picture with its own alpha, 24 (or less) for one without,
// whose alpha bytes are 255.
struct PixelPicture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    std::vector<uint8_t> pixels;

    bool Holds() const {
        return width > 0 && height > 0 &&
               pixels.size() ==
                   static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    }
};
