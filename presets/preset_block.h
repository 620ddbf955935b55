#pragma once

#include "render/colour_record.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

// One look, exactly as stored in preset files (little-endian, no gaps).
struct PresetSlot {
    ColourRecord cornerColours[4];
    int32_t fillPattern;
    int32_t rotationMode;
    uint8_t cloudsOn;
    uint8_t cloudSet;
    int8_t cloudSpeed;
    uint8_t useMask;
    uint16_t rotationSliderPosition;
    uint8_t useMaskAlpha;
    uint8_t invertTransparency;
};

// The five slots with the selected slot and the preview mode kept with them.
struct PresetBlock {
    PresetSlot m_presetSlots[5];
    int32_t m_presetSlot;
    int32_t m_presetPreviewMode;
};

static_assert(std::is_trivially_copyable_v<PresetSlot> && std::is_standard_layout_v<PresetSlot>);
static_assert(sizeof(PresetSlot) == 32);
static_assert(offsetof(PresetSlot, cornerColours) == 0);
static_assert(offsetof(PresetSlot, fillPattern) == 16);
static_assert(offsetof(PresetSlot, rotationMode) == 20);
static_assert(offsetof(PresetSlot, cloudsOn) == 24);
static_assert(offsetof(PresetSlot, cloudSet) == 25);
static_assert(offsetof(PresetSlot, cloudSpeed) == 26);
static_assert(offsetof(PresetSlot, useMask) == 27);
static_assert(offsetof(PresetSlot, rotationSliderPosition) == 28);
static_assert(offsetof(PresetSlot, useMaskAlpha) == 30);
static_assert(offsetof(PresetSlot, invertTransparency) == 31);

static_assert(std::is_trivially_copyable_v<PresetBlock> && std::is_standard_layout_v<PresetBlock>);
static_assert(sizeof(PresetBlock) == 168);
static_assert(offsetof(PresetBlock, m_presetSlot) == 160);
static_assert(offsetof(PresetBlock, m_presetPreviewMode) == 164);

// The byte images above are only the file format on a little-endian machine.
static_assert(std::endian::native == std::endian::little);

constexpr int kPresetSlotCount = 5;
constexpr ColourRecord kDefaultCornerColours[4] = {
    ColourRecord::FromValue(0xFF00B5BD), ColourRecord::FromValue(0xFFC600BF),
    ColourRecord::FromValue(0xFFBEB900), ColourRecord::FromValue(0xFFCC0000)};

// The block used when no default preset file can be loaded.
PresetBlock DefaultPresetBlock();
