#pragma once

#include "render/image_buffer.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

inline uint32_t Pixel(const uint8_t* store, int32_t width, int32_t x, int32_t y) {
    uint32_t v;
    std::memcpy(&v, store + (static_cast<std::size_t>(y) * width + x) * 4, 4);
    return v;
}

// A picture whose pixels come from `at(x, y)` as 0xAARRGGBB.
inline PixelPicture MakePicture(int32_t w, int32_t h, int32_t bits,
                                const std::function<uint32_t(int32_t, int32_t)>& at) {
    PixelPicture p;
    p.width = w;
    p.height = h;
    p.bitsPerPixel = bits;
    p.pixels.resize(static_cast<std::size_t>(w) * h * 4);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t v = at(x, y);
            std::memcpy(p.pixels.data() + (static_cast<std::size_t>(y) * w + x) * 4, &v, 4);
        }
    }
    return p;
}

inline PixelPicture NoisePicture(int32_t w, int32_t h, uint32_t seed) {
    std::mt19937 random(seed);
    return MakePicture(w, h, 32, [&](int32_t, int32_t) { return static_cast<uint32_t>(random()); });
}

// A buffer holding `picture` at its own size, as a file load leaves it.
inline ImageBuffer BufferOf(const PixelPicture& picture) {
    ImageBuffer buffer;
    buffer.AttachFileImage(picture);
    return buffer;
}

inline std::vector<uint8_t> NoiseBytes(std::size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    std::mt19937 random(seed);
    for (auto& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    return bytes;
}
