#include "app/generator_state.h"

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

TEST(GeneratorState, DefaultSlotTableHasTheStoredBytes) {
    EXPECT_EQ(BytesOf(DefaultPresetBlock()), ExpectedDefaultBlock());
}

TEST(GeneratorState, StartsZeroedWithTheDocumentedOutputDefaults) {
    GeneratorState state;
    EXPECT_EQ(state.m_sending, 0);
    EXPECT_EQ(state.m_frameDirty, 0);
    EXPECT_EQ(state.m_instanceNumber, 0);
    state.SetOutputDefaults();
    EXPECT_EQ(state.m_width, 1280);
    EXPECT_EQ(state.m_height, 720);
    EXPECT_EQ(state.m_frameRateN, 30000);
    EXPECT_EQ(state.m_frameRateD, 1200);
}

TEST(GeneratorState, ColourPickKeepsTheRecordsOwnAlphaByte) {
    GeneratorState state;
    state.m_baseColour[2] = ColourRecord::FromValue(0x7F112233); // alpha from a preset file
    state.SetCornerFromButton(2, 0x00C0B0A0);                    // red A0, green B0, blue C0
    EXPECT_EQ(state.m_baseColour[2].Value(), 0x7FA0B0C0u);
    EXPECT_EQ(state.m_currentColour[2].Value(), 0x7FA0B0C0u);
    EXPECT_EQ(ToButtonValue(state.m_baseColour[2]), 0x00C0B0A0u);
    EXPECT_EQ(state.m_gradientExchange.Snapshot().corners[2].Value(), 0x7FA0B0C0u);

    state.SetCornerFromButton(4, 0x00FFFFFF); // no such corner: nothing changes
    EXPECT_EQ(state.m_baseColour[3].Value(), 0u);
}

TEST(GeneratorState, SlidersSetTheirMembersAndTheSelectedSlot) {
    GeneratorState state;
    state.m_presetBlock = DefaultPresetBlock();
    state.m_presetBlock.m_presetSlot = 3;
    state.SetRotationSliderPosition(250);
    EXPECT_EQ(state.m_rotationPeriodMs, 10);
    EXPECT_EQ(state.m_presetBlock.m_presetSlots[3].rotationSliderPosition, 250);
    state.SetCloudSliderPosition(-4); // top end of the vertical slider
    EXPECT_EQ(state.m_cloudSpeed, 4);
    EXPECT_EQ(state.m_presetBlock.m_presetSlots[3].cloudSpeed, 4);
    EXPECT_EQ(state.m_presetBlock.m_presetSlots[0].cloudSpeed, 0);

    state.m_presetBlock.m_presetSlot = 9; // out of range: no slot is written
    const auto before = BytesOf(state.m_presetBlock);
    state.SetCloudSliderPosition(2);
    EXPECT_EQ(state.m_cloudSpeed, -2);
    EXPECT_EQ(BytesOf(state.m_presetBlock), before);
}

TEST(GeneratorState, LabelNamesFollowTheStatusLineIndexes) {
    EXPECT_EQ(GeneratorState::m_labelNames[1], "plus clouds");
    EXPECT_EQ(GeneratorState::m_labelNames[2 + 2], "Rotating anticlockwise");
    EXPECT_EQ(GeneratorState::m_labelNames[5 + 3], "Quad split");
}

} // namespace
