#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

// Output frames for the preview tests: 4 bytes a pixel, rows packed.
struct TestFrame {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> pixels;

    TestFrame(int32_t w, int32_t h)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h * 4) {}

    uint32_t At(int32_t x, int32_t y) const {
        const uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
        return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    }
    void Set(int32_t x, int32_t y, uint32_t value) {
        uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        p[2] = static_cast<uint8_t>(value >> 16);
        p[3] = static_cast<uint8_t>(value >> 24);
    }
    // One row pixel by pixel, the others copied from it: a copy is one range to the
    // sanitizers, where pixel by pixel made the threaded test's frames its slowest part.
    void Fill(uint32_t value) {
        if (height <= 0) {
            return;
        }
        for (int32_t x = 0; x < width; ++x) {
            Set(x, 0, value);
        }
        const std::size_t row = static_cast<std::size_t>(width) * 4;
        for (int32_t y = 1; y < height; ++y) {
            std::memcpy(&pixels[row * static_cast<std::size_t>(y)], pixels.data(), row);
        }
    }
};

// Every pixel different, alpha included, so a wrong pick or a shifted row shows.
inline TestFrame CoordinateFrame(int32_t w, int32_t h) {
    TestFrame frame(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            frame.Set(x, y,
                      static_cast<uint32_t>(x) | static_cast<uint32_t>(y) << 12 |
                          static_cast<uint32_t>((x * 7 + y * 3) & 0xFF) << 24);
        }
    }
    return frame;
}
