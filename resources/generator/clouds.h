#pragma once

#include <QImage>
#include <cstdint>

namespace picture_maker {

struct CloudStyle {
    uint32_t seed;
    double featurePixels; // size of the largest cloud shapes
    double coverage;      // density threshold: lower means more cloud
    double softness;
    int alphaMin;
    int alphaMax;
};

// Semi-transparent clouds: a warped fractal density, cut into billows by a soft
// threshold, lit from above. Alpha is stretched to exactly alphaMin..alphaMax.
QImage MakeClouds(int w, int h, const CloudStyle& style);

} // namespace picture_maker
