#include "resources/generator/clouds.h"

#include "resources/generator/colour.h"
#include "resources/generator/noise.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace picture_maker {

QImage MakeClouds(int w, int h, const CloudStyle& style) {
    const Noise shape(style.seed);
    const Noise warp(style.seed * 7 + 1);
    const Noise detail(style.seed * 13 + 2);
    std::vector<double> density(static_cast<std::size_t>(w) * h);
    std::vector<double> shade(density.size());
    auto field = [&](double px, double py) {
        const double x = px / style.featurePixels;
        const double y = py / style.featurePixels;
        const double wx = warp.Fbm(x * 0.8, y * 0.8, 3);
        const double wy = warp.Fbm(x * 0.8 + 31.7, y * 0.8 + 11.3, 3);
        return shape.Fbm(x + 0.4 * wx, y + 0.4 * wy, 6, 0.5);
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double n = field(x, y);
            const double billow = SmoothStep(style.coverage, style.coverage + style.softness, n);
            const double grain = 0.8 + 0.2 * detail.Fbm(x / 24.0, y / 24.0, 3);
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            density[i] = billow * grain;
            // Denser just above than here means this spot is on the cloud's underside.
            const double above = field(x, y - style.featurePixels * 0.03);
            shade[i] = Clamp01((above - n) * 6.0);
        }
    }
    const auto [lo, hi] = std::minmax_element(density.begin(), density.end());
    const double low = *lo;
    const double range = std::max(*hi - low, 1e-9);
    QImage image(w, h, QImage::Format_ARGB32);
    const Colour sunlit{255, 255, 255};
    const Colour shadow{196, 203, 218};
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const double t = (density[i] - low) / range;
            const int alpha = style.alphaMin +
                              static_cast<int>(std::lround(t * (style.alphaMax - style.alphaMin)));
            const Colour c = Mix(sunlit, shadow, shade[i] * (0.4 + 0.6 * t));
            row[x] =
                qRgba(static_cast<int>(c.r), static_cast<int>(c.g), static_cast<int>(c.b), alpha);
        }
    }
    return image;
}

} // namespace picture_maker
