#pragma once

#include <functional>

namespace picture_maker {

// Coverage of `inside` over a pixel, by 4 x 4 supersampling.
double Coverage(int x, int y, const std::function<bool(double, double)>& inside);

// Signed distance to a rounded rectangle centred at (cx, cy).
double RoundedBox(double x, double y, double cx, double cy, double halfW, double halfH,
                  double radius);

// A puffy cloud silhouette made of overlapping discs, scaled by `s` around (cx, cy).
bool OnCloudShape(double x, double y, double cx, double cy, double s);

} // namespace picture_maker
