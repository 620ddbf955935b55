#include "engine/settings_edits.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<uint8_t> BytesOf(const PresetBlock& block) {
    std::vector<uint8_t> bytes(sizeof block);
    std::memcpy(bytes.data(), &block, sizeof block);
    return bytes;
}

// The default table written out by hand, as a preset file stores it.
std::vector<uint8_t> ExpectedDefaultBlock() {
    const uint8_t colours[16] = {0xBD, 0xB5, 0x00, 0xFF, 0xBF, 0x00, 0xC6, 0xFF,
                                 0x00, 0xB9, 0xBE, 0xFF, 0x00, 0x00, 0xCC, 0xFF};
    const uint8_t rest[5][16] = {
        {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 50, 0, 0, 0},
        {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 90, 0, 0, 0},
        {2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 130, 0, 0, 0},
        {3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 170, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 210, 0, 0, 0},
    };
    std::vector<uint8_t> bytes;
    for (const auto& slot : rest) {
        bytes.insert(bytes.end(), std::begin(colours), std::end(colours));
        bytes.insert(bytes.end(), std::begin(slot), std::end(slot));
    }
    const uint8_t tail[8] = {0, 0, 0, 0, 2, 0, 0, 0};
    bytes.insert(bytes.end(), std::begin(tail), std::end(tail));
    return bytes;
}

TEST(SettingsEdits, DefaultSlotTableHasTheStoredBytes) {
    EXPECT_EQ(BytesOf(DefaultPresetBlock()), ExpectedDefaultBlock());
}

TEST(SettingsEdits, ASlotComesBackByteForByte) {
    PresetSlot slot = DefaultPresetBlock().m_presetSlots[3];
    slot.cornerColours[1] = ColourRecord::FromValue(0x7F123456); // alpha from a preset file
    slot.cloudSet = 1;
    slot.cloudSpeed = -3;
    slot.useMask = slot.useMaskAlpha = 1;
    const GeneratorSettings settings = WithSlot(GeneratorSettings{}, slot);
    EXPECT_EQ(settings.rotationPeriodMs, 260 - slot.rotationSliderPosition);
    EXPECT_EQ(settings.currentColours[1].Value(), 0x7F123456u);
    PresetSlot back{};
    back.rotationSliderPosition = slot.rotationSliderPosition; // the slider's, not a setting
    StoreInSlot(settings, back);
    EXPECT_EQ(std::memcmp(&back, &slot, sizeof slot), 0);
}

TEST(SettingsEdits, ColourPickKeepsTheRecordsOwnAlphaByte) {
    GeneratorSettings settings;
    settings.baseColours[2] = ColourRecord::FromValue(0x7F112233);
    SetCornerFromButton(settings, 2, 0x00C0B0A0); // red A0, green B0, blue C0
    EXPECT_EQ(settings.baseColours[2].Value(), 0x7FA0B0C0u);
    EXPECT_EQ(settings.currentColours[2].Value(), 0x7FA0B0C0u);
    EXPECT_EQ(ToButtonValue(settings.baseColours[2]), 0x00C0B0A0u);

    const GeneratorSettings before = settings;
    SetCornerFromButton(settings, 4, 0x00FFFFFF); // no such corner: nothing changes
    EXPECT_EQ(settings, before);
}

TEST(SettingsEdits, SlidersSetTheirSettingAndTheSelectedSlot) {
    GeneratorSettings settings;
    PresetBlock presets = DefaultPresetBlock();
    presets.m_presetSlot = 3;
    SetRotationSlider(settings, presets, 250);
    EXPECT_EQ(settings.rotationPeriodMs, 10);
    EXPECT_EQ(presets.m_presetSlots[3].rotationSliderPosition, 250);
    SetCloudSpeed(settings, presets, 4);
    EXPECT_EQ(settings.cloudSpeed, 4);
    EXPECT_EQ(presets.m_presetSlots[3].cloudSpeed, 4);
    EXPECT_EQ(presets.m_presetSlots[0].cloudSpeed, 0);

    presets.m_presetSlot = 9; // out of range: no slot is written
    const auto before = BytesOf(presets);
    SetCloudSpeed(settings, presets, -2);
    EXPECT_EQ(settings.cloudSpeed, -2);
    EXPECT_EQ(BytesOf(presets), before);
}

TEST(SettingsEdits, StatusLineNamesPatternRotationAndClouds) {
    GeneratorSettings settings;
    settings.fillPattern = 3;
    settings.rotationMode = 2;
    settings.cloudSet = 1;
    EXPECT_EQ(StatusLine(settings), "Quad split - Rotating anticlockwise - no clouds");
    EXPECT_EQ(StatusLine(settings, true), "Quad split - Rotating anticlockwise - no clouds 2");
    settings.cloudsOn = true;
    settings.fillPattern = 1;
    settings.rotationMode = 0;
    EXPECT_EQ(StatusLine(settings), "Horizontal split - Static background - plus clouds 2");
}

} // namespace
