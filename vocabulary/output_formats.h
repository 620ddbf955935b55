#pragma once

#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

// The output sizes and rates, as the menus, the command line, the bus and skyfill-remote
// take them. A menu item carries its index in these tables.

struct OutputSize {
    std::string_view menuText; // "1920 x 1080"
    std::string_view name;     // "1920x1080": command line, bus, remote tool
    int32_t width;
    int32_t height;
    // The three large sizes are offered on the menu but not taken.
    bool taken;
};
inline constexpr OutputSize kOutputSizes[] = {{"4096 x 2160", "4096x2160", 4096, 2160, false},
                                              {"3840 x 2160", "3840x2160", 3840, 2160, false},
                                              {"2560 x 1440", "2560x1440", 2560, 1440, false},
                                              {"1920 x 1080", "1920x1080", 1920, 1080, true},
                                              {"1280 x 720", "1280x720", 1280, 720, true},
                                              {"960 x 540", "960x540", 960, 540, true},
                                              {"720 x 576", "720x576", 720, 576, true},
                                              {"720 x 480", "720x480", 720, 480, true},
                                              {"640 x 360", "640x360", 640, 360, true}};

// Every rate is 30000 / denominator.
struct FrameRate {
    std::string_view menuText; // "29.97p"
    std::string_view name;     // "29.97"
    int32_t denominator;
};
inline constexpr int32_t kFrameRateNumerator = 30000;
inline constexpr FrameRate kFrameRates[] = {
    {"25p", "25", 1200}, {"29.97p", "29.97", 1001}, {"30p", "30", 1000}};

// What a copy starts with.
inline constexpr int kDefaultSizeItem = 4;
inline constexpr int kDefaultRateItem = 0;

constexpr int OutputSizeItem(int32_t width, int32_t height) {
    for (int i = 0; i < static_cast<int>(std::size(kOutputSizes)); ++i) {
        if (kOutputSizes[i].width == width && kOutputSizes[i].height == height) {
            return i;
        }
    }
    return -1;
}

// By its name, or its menu text ("25" or "25p"); -1 when there is none.
constexpr int FrameRateItemNamed(std::string_view rate) {
    for (int i = 0; i < static_cast<int>(std::size(kFrameRates)); ++i) {
        if (rate == kFrameRates[i].name || rate == kFrameRates[i].menuText) {
            return i;
        }
    }
    return -1;
}

constexpr bool IsTakenSizeItem(int item) {
    return item >= 0 && item < static_cast<int>(std::size(kOutputSizes)) &&
           kOutputSizes[item].taken;
}

// "1920x1080, 1280x720, ... or 640x360" and "25, 29.97 or 30", for messages.
inline std::string TakenSizeList() {
    std::string list;
    int left = 0;
    for (const OutputSize& size : kOutputSizes) {
        left += size.taken ? 1 : 0;
    }
    for (const OutputSize& size : kOutputSizes) {
        if (!size.taken) {
            continue;
        }
        list += size.name;
        --left;
        list += left > 1 ? ", " : left == 1 ? " or " : "";
    }
    return list;
}
inline std::string RateList() {
    std::string list;
    const int count = static_cast<int>(std::size(kFrameRates));
    for (int i = 0; i < count; ++i) {
        list += kFrameRates[i].name;
        list += i + 2 < count ? ", " : i + 2 == count ? " or " : "";
    }
    return list;
}
