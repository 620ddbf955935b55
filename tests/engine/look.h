#pragma once

#include "engine/generator_settings.h"

#include <cstdint>

// A look whose four corners differ: corner i is `corner` times i + 1, opaque.
inline GeneratorSettings Look(int32_t fill, bool clouds, int32_t set, uint32_t corner) {
    GeneratorSettings s;
    for (int i = 0; i < 4; ++i) {
        s.baseColours[i] = s.currentColours[i] =
            ColourRecord::FromValue(0xFF000000u | (corner * (static_cast<uint32_t>(i) + 1)));
    }
    s.fillPattern = fill;
    s.cloudsOn = clouds;
    s.cloudSet = set;
    return s;
}
