#pragma once

#include "render/colour_record.h"

#include <cstdint>
#include <type_traits>

// Everything that decides what a frame looks like, as the window last set it. The
// window publishes a copy on every change and the sending thread takes one per frame,
// so a frame never mixes two sets.
struct GeneratorSettings {
    // The corner colours as chosen, and as the colour rotation shows them now.
    ColourRecord baseColours[4]{};
    ColourRecord currentColours[4]{};
    int32_t fillPattern = 0;  // 0 full screen, 1 horizontal, 2 vertical, 3 quad split
    int32_t rotationMode = 0; // 0 static, 1 clockwise, 2 anticlockwise
    int32_t rotationPeriodMs = 0;
    bool cloudsOn = false;
    int32_t cloudSet = 0; // 0 or 1
    int32_t cloudSpeed = 0;
    bool useMask = false;
    bool invertTransparency = false;
    bool useMaskAlpha = false;
    bool revealAlpha = false;
    bool logoOn = false;
    // The preview shows every frame; otherwise only a frame asked for once.
    bool previewEveryFrame = false;

    friend bool operator==(const GeneratorSettings&, const GeneratorSettings&) = default;
};

static_assert(std::is_trivially_copyable_v<GeneratorSettings>);
