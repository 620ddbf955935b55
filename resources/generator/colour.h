#pragma once

#include <QRgb>
#include <algorithm>
#include <cmath>

namespace picture_maker {

struct Colour {
    double r, g, b;
};

inline Colour Mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

inline double Clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

inline double SmoothStep(double e0, double e1, double x) {
    const double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

inline Colour Over(Colour below, Colour above, double coverage) {
    return Mix(below, above, coverage);
}

inline QRgb Opaque(Colour c) {
    return qRgb(static_cast<int>(std::lround(std::clamp(c.r, 0.0, 255.0))),
                static_cast<int>(std::lround(std::clamp(c.g, 0.0, 255.0))),
                static_cast<int>(std::lround(std::clamp(c.b, 0.0, 255.0))));
}

} // namespace picture_maker
