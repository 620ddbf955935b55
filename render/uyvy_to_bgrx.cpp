#include "render/uyvy_to_bgrx.h"

#include <algorithm>
#include <cmath>

namespace {

// Skyfill makes its UYVY from BGRX as the NDI runtime does, BT.709 in limited range (Y
// 16..235, Cb and Cr 16..240), so the exact inverse of that shows a saved frame as it was
// drawn. A pair's chroma serves both its pixels, as in the runtime's own receivers:
// interpolating it would show edges no receiver shows.
constexpr double kRed = 0.2126;
constexpr double kBlue = 0.0722;
constexpr double kGreen = 1 - kRed - kBlue;
constexpr double kPerY = 255.0 / 219;
constexpr double kPerC = 255.0 / 112;
constexpr double kRedPerCr = kPerC * (1 - kRed);
constexpr double kBluePerCb = kPerC * (1 - kBlue);
constexpr double kGreenPerCb = -kPerC * kBlue * (1 - kBlue) / kGreen;
constexpr double kGreenPerCr = -kPerC * kRed * (1 - kRed) / kGreen;

uint8_t Channel(double value) {
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 255.0)));
}

} // namespace

void UyvyToBgrx(const uint8_t* uyvy, int32_t width, int32_t height, uint8_t* bgrx) {
    // Rows are packed and hold whole pairs, so the frame is one run of pairs.
    const int64_t pairs = int64_t{width} / 2 * height;
    for (int64_t pair = 0; pair < pairs; ++pair) {
        const uint8_t* in = uyvy + 4 * pair;
        const double cb = in[0] - 128.0;
        const double cr = in[2] - 128.0;
        const double red = kRedPerCr * cr;
        const double green = kGreenPerCb * cb + kGreenPerCr * cr;
        const double blue = kBluePerCb * cb;
        uint8_t* out = bgrx + 8 * pair;
        for (const uint8_t luma : {in[1], in[3]}) {
            const double y = kPerY * (luma - 16);
            out[0] = Channel(y + blue);
            out[1] = Channel(y + green);
            out[2] = Channel(y + red);
            out[3] = 255;
            out += 4;
        }
    }
}
