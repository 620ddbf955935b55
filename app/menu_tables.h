#pragma once

#include <cstdint>
#include <iterator>

// The drop-down menus' items. A menu item's QAction carries its index in its table.

struct ResolutionItem {
    const char* text;
    int32_t width;
    int32_t height;
    // The three large sizes are offered but not taken.
    bool taken;
};
inline constexpr ResolutionItem kResolutionMenu[] = {
    {"4096 x 2160", 4096, 2160, false}, {"3840 x 2160", 3840, 2160, false},
    {"2560 x 1440", 2560, 1440, false}, {"1920 x 1080", 1920, 1080, true},
    {"1280 x 720", 1280, 720, true},    {"960 x 540", 960, 540, true},
    {"720 x 576", 720, 576, true},      {"720 x 480", 720, 480, true},
    {"640 x 360", 640, 360, true}};

// Every rate is 30000 / denominator.
struct FrameRateItem {
    const char* text;
    int32_t denominator;
};
inline constexpr int32_t kFrameRateNumerator = 30000;
inline constexpr FrameRateItem kFrameRateMenu[] = {{"25p", 1200}, {"29.97p", 1001}, {"30p", 1000}};

inline constexpr const char* kCloudSetMenu[] = {"1", "2"};

// The index of the item for a size or rate; -1 when there is none.
constexpr int ResolutionItemOf(int32_t width, int32_t height) {
    for (int i = 0; i < static_cast<int>(std::size(kResolutionMenu)); ++i) {
        if (kResolutionMenu[i].width == width && kResolutionMenu[i].height == height) {
            return i;
        }
    }
    return -1;
}
constexpr int FrameRateItemOf(int32_t denominator) {
    for (int i = 0; i < static_cast<int>(std::size(kFrameRateMenu)); ++i) {
        if (kFrameRateMenu[i].denominator == denominator) {
            return i;
        }
    }
    return -1;
}

// The commands of the window's context menu.
enum class WindowCommand { SaveDefaults, LoadPresets, Help, About };
