#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Each setting's values, its name in the copy's Status (on the bus and in
// skyfill-remote status), its words in the window's status line, range and default.

enum class FillPattern : int32_t { Full, HorizontalSplit, VerticalSplit, Quad };
enum class Rotation : int32_t { Static, Clockwise, Anticlockwise };
enum class CloudSet : int32_t { First, Second };
// As preset files keep it: off, the next frame once, every frame.
enum class PreviewMode : int32_t { Off, Once, EveryFrame };

struct ValueName {
    std::string_view name;  // in Status
    std::string_view words; // in the status line or on the menu
};

struct Setting {
    std::string_view key; // in Status
    int32_t min;
    int32_t max;
    int32_t defaultValue;
    std::span<const ValueName> values; // by value - min; empty for a plain number
};

inline constexpr ValueName kFillPatternNames[] = {{"full", "Full screen"},
                                                  {"h-split", "Horizontal split"},
                                                  {"v-split", "Vertical split"},
                                                  {"quad", "Quad split"}};
inline constexpr ValueName kRotationNames[] = {{"static", "Static background"},
                                               {"cw", "Rotating clockwise"},
                                               {"ccw", "Rotating anticlockwise"}};
inline constexpr ValueName kCloudSetNames[] = {{"1", "1"}, {"2", "2"}};

inline constexpr Setting kFillPatternSetting{"fill-pattern", 0, 3, 0, kFillPatternNames};
inline constexpr Setting kRotationSetting{"rotation", 0, 2, 0, kRotationNames};
// Shown and told 1-based; held 0-based.
inline constexpr Setting kCloudSetSetting{"cloud-set", 0, 1, 0, kCloudSetNames};
// A slider further right turns the colours faster: 250 -> 10 ms, 10 -> 250 ms a tick.
inline constexpr Setting kRotationSliderSetting{"rotation-period-ms", 10, 250, 50, {}};
// Rows the clouds move per rendered frame; positive moves them up.
inline constexpr Setting kCloudSpeedSetting{"cloud-speed", -4, 4, 0, {}};
inline constexpr Setting kPresetSlotSetting{"slot", 0, 4, 0, {}};

constexpr bool InRange(const Setting& setting, int32_t value) {
    return value >= setting.min && value <= setting.max;
}

// The value's name, or its number when it has none (a value out of range included).
inline std::string NameOf(const Setting& setting, int32_t value) {
    if (InRange(setting, value) && !setting.values.empty()) {
        return std::string(setting.values[static_cast<std::size_t>(value - setting.min)].name);
    }
    return std::to_string(value);
}

// The value's words; the first value's for one out of range.
constexpr std::string_view WordsOf(const Setting& setting, int32_t value) {
    return setting
        .values[InRange(setting, value) ? static_cast<std::size_t>(value - setting.min) : 0]
        .words;
}

constexpr int32_t RotationPeriodMs(int32_t sliderPosition) {
    return kRotationSliderSetting.min + kRotationSliderSetting.max - sliderPosition;
}

// The other keys of a copy's Status.
namespace status_key {
inline constexpr std::string_view kNumber = "number";
inline constexpr std::string_view kSourceName = "source-name";
inline constexpr std::string_view kSending = "sending";
inline constexpr std::string_view kWidth = "width";
inline constexpr std::string_view kHeight = "height";
inline constexpr std::string_view kRateNumerator = "rate-numerator";
inline constexpr std::string_view kRateDenominator = "rate-denominator";
inline constexpr std::string_view kFramesSent = "frames-sent";
inline constexpr std::string_view kClouds = "clouds";
inline constexpr std::string_view kMask = "mask";
inline constexpr std::string_view kMaskPath = "mask-path";
// The pixels chosen for output without the mask ("bgrx" or "uyvy"), and those sent
// ("BGRX", "BGRA" while the mask is in use, or "UYVY").
inline constexpr std::string_view kPixelFormat = "pixel-format";
inline constexpr std::string_view kFourCC = "fourcc";
} // namespace status_key

// The pixel formats a copy can send without the mask, by the names the command line,
// the bus and the remote tool take. Not kept in preset files, whose bytes stay as they
// are.
inline constexpr std::string_view kPixelFormatNames[] = {"bgrx", "uyvy"};
inline constexpr int kUyvyPixelFormat = 1;
constexpr int PixelFormatNamed(std::string_view name) {
    for (int i = 0; i < static_cast<int>(std::size(kPixelFormatNames)); ++i) {
        if (name == kPixelFormatNames[i]) {
            return i;
        }
    }
    return -1;
}
