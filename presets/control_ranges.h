#pragma once

#include <cstdint>

// The two sliders' ranges, as the window offers them and as preset files may hold them.
inline constexpr int32_t kRotationSliderMin = 10;
inline constexpr int32_t kRotationSliderMax = 250;
// Cloud speed in rows per rendered frame; the slider shows it negated, so its top end is -4.
inline constexpr int32_t kCloudSpeedMin = -4;
inline constexpr int32_t kCloudSpeedMax = 4;

// A slider further right turns the colours faster: 250 -> 10 ms, 10 -> 250 ms a tick.
constexpr int32_t RotationPeriodMs(int32_t sliderPosition) {
    return kRotationSliderMin + kRotationSliderMax - sliderPosition;
}
