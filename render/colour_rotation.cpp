#include "render/colour_rotation.h"

#include <algorithm>
#include <iterator>

namespace {

uint8_t Blend(int32_t f, uint8_t from, uint8_t to) {
    return static_cast<uint8_t>(((255 - f) * from + f * to) / 255);
}

void BlendInto(ColourRecord& out, int32_t f, const ColourRecord& from, const ColourRecord& to) {
    out.blue = Blend(f, from.blue, to.blue);
    out.green = Blend(f, from.green, to.green);
    out.red = Blend(f, from.red, to.red);
}

} // namespace

bool StepRotation(int32_t rotationMode, int32_t& phase, ColourRecord (&base)[4],
                  ColourRecord (&current)[4], ColourRecord (&buttons)[4]) {
    if (rotationMode != 1 && rotationMode != 2) {
        return false;
    }
    // The counter is only ever changed here, but a damaged value must not push the
    // blend weights outside 0..255.
    if (phase < 0 || phase > 255) {
        phase = rotationMode == 1 ? 0 : 255;
    }
    bool rotated = false;
    if (rotationMode == 1 && phase == 0) {
        const ColourRecord old0 = base[0];
        base[0] = base[2];
        base[2] = base[3];
        base[3] = base[1];
        base[1] = old0;
        phase = 255;
        rotated = true;
        std::copy(std::begin(current), std::end(current), std::begin(buttons));
    } else if (rotationMode == 2 && phase == 255) {
        const ColourRecord old0 = base[0];
        base[0] = base[1];
        base[1] = base[3];
        base[3] = base[2];
        base[2] = old0;
        phase = 0;
        rotated = true;
        std::copy(std::begin(current), std::end(current), std::begin(buttons));
    }
    BlendInto(current[0], phase, base[0], base[1]);
    BlendInto(current[1], phase, base[1], base[3]);
    BlendInto(current[3], phase, base[3], base[2]);
    BlendInto(current[2], phase, base[2], base[0]);
    phase += rotationMode == 1 ? -1 : 1;
    return rotated;
}
