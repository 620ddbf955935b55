#include "presets/preset_block.h"

#include <algorithm>
#include <iterator>

PresetBlock DefaultPresetBlock() {
    struct Row {
        int32_t fillPattern;
        int32_t rotationMode;
        uint8_t cloudsOn;
        uint16_t sliderPosition;
    };
    constexpr Row rows[kPresetSlotCount] = {
        {0, 0, 1, 50}, {1, 1, 1, 90}, {2, 2, 1, 130}, {3, 1, 1, 170}, {0, 0, 0, 210}};

    PresetBlock block{};
    for (int i = 0; i < kPresetSlotCount; ++i) {
        PresetSlot& slot = block.m_presetSlots[i];
        std::copy(std::begin(kDefaultCornerColours), std::end(kDefaultCornerColours),
                  slot.cornerColours);
        slot.fillPattern = rows[i].fillPattern;
        slot.rotationMode = rows[i].rotationMode;
        slot.cloudsOn = rows[i].cloudsOn;
        slot.rotationSliderPosition = rows[i].sliderPosition;
    }
    block.m_presetSlot = 0;
    block.m_presetPreviewMode = 2;
    return block;
}
