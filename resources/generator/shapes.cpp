#include "resources/generator/shapes.h"

#include <algorithm>
#include <cmath>

namespace picture_maker {

double Coverage(int x, int y, const std::function<bool(double, double)>& inside) {
    int hits = 0;
    for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
            hits += inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4) ? 1 : 0;
        }
    }
    return hits / 16.0;
}

double RoundedBox(double x, double y, double cx, double cy, double halfW, double halfH,
                  double radius) {
    const double qx = std::abs(x - cx) - (halfW - radius);
    const double qy = std::abs(y - cy) - (halfH - radius);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

bool OnCloudShape(double x, double y, double cx, double cy, double s) {
    const double discs[][3] = {{-1.0, 0.25, 0.55},
                               {-0.35, -0.2, 0.7},
                               {0.4, -0.05, 0.6},
                               {1.0, 0.3, 0.45},
                               {0.0, 0.35, 0.55}};
    for (const auto& d : discs) {
        if (std::hypot(x - (cx + d[0] * s), y - (cy + d[1] * s)) < d[2] * s) {
            return y < cy + 0.6 * s;
        }
    }
    return false;
}

} // namespace picture_maker
