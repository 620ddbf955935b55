#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace picture_maker {

// Gradient noise on an integer lattice with hashed gradient directions.
class Noise {
public:
    explicit Noise(uint32_t seed) : m_seed(seed) {}

    double At(double x, double y) const {
        const double fx = std::floor(x);
        const double fy = std::floor(y);
        const auto ix = static_cast<int32_t>(fx);
        const auto iy = static_cast<int32_t>(fy);
        const double dx = x - fx;
        const double dy = y - fy;
        const double u = Fade(dx);
        const double v = Fade(dy);
        const double n00 = Corner(ix, iy, dx, dy);
        const double n10 = Corner(ix + 1, iy, dx - 1, dy);
        const double n01 = Corner(ix, iy + 1, dx, dy - 1);
        const double n11 = Corner(ix + 1, iy + 1, dx - 1, dy - 1);
        const double a = n00 + (n10 - n00) * u;
        const double b = n01 + (n11 - n01) * u;
        return a + (b - a) * v;
    }

    // Fractal sum, roughly in -1..1.
    double Fbm(double x, double y, int octaves, double gain = 0.5) const {
        double sum = 0;
        double amplitude = 1;
        double norm = 0;
        for (int i = 0; i < octaves; ++i) {
            sum += amplitude * At(x, y);
            norm += amplitude;
            amplitude *= gain;
            // Rotate a little between octaves so the lattice does not show.
            const double nx = 1.6 * x + 1.2 * y + 17.3;
            const double ny = -1.2 * x + 1.6 * y + 5.1;
            x = nx;
            y = ny;
        }
        return 1.6 * sum / norm;
    }

private:
    static double Fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

    uint32_t Hash(int32_t x, int32_t y) const {
        uint32_t h = m_seed ^ (static_cast<uint32_t>(x) * 0x27D4EB2Du) ^
                     (static_cast<uint32_t>(y) * 0x165667B1u);
        h ^= h >> 15;
        h *= 0x85EBCA6Bu;
        h ^= h >> 13;
        h *= 0xC2B2AE35u;
        h ^= h >> 16;
        return h;
    }

    double Corner(int32_t ix, int32_t iy, double dx, double dy) const {
        static const std::array<std::array<double, 2>, 8> kDirections = {{{1, 0},
                                                                          {-1, 0},
                                                                          {0, 1},
                                                                          {0, -1},
                                                                          {0.7071, 0.7071},
                                                                          {-0.7071, 0.7071},
                                                                          {0.7071, -0.7071},
                                                                          {-0.7071, -0.7071}}};
        const auto& g = kDirections[Hash(ix, iy) & 7];
        return g[0] * dx + g[1] * dy;
    }

    uint32_t m_seed;
};

} // namespace picture_maker
