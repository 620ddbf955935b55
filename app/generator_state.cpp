#include "app/generator_state.h"

void GeneratorState::SetOutputDefaults() {
    m_width = 1280;
    m_height = 720;
    m_frameRateN = 30000;
    m_frameRateD = 1200;
}

GradientParams GeneratorState::CurrentGradient() const {
    GradientParams params;
    for (int i = 0; i < 4; ++i) {
        params.corners[i] = m_currentColour[i];
    }
    params.fillPattern = m_fillPattern;
    return params;
}

void GeneratorState::PublishGradient() {
    m_gradientExchange.Publish(CurrentGradient());
}

void GeneratorState::SetCornerFromButton(int corner, uint32_t buttonValue) {
    if (corner < 0 || corner > 3) {
        return;
    }
    SetFromButtonValue(m_baseColour[corner], buttonValue);
    m_currentColour[corner] = m_baseColour[corner];
    PublishGradient();
}

void GeneratorState::SetRotationSliderPosition(int32_t position) {
    m_rotationPeriodMs = 260 - position;
    const int32_t slot = m_presetBlock.m_presetSlot;
    if (slot >= 0 && slot < kPresetSlotCount) {
        m_presetBlock.m_presetSlots[slot].rotationSliderPosition = static_cast<uint16_t>(position);
    }
}

void GeneratorState::SetCloudSliderPosition(int32_t position) {
    m_cloudSpeed = -position;
    const int32_t slot = m_presetBlock.m_presetSlot;
    if (slot >= 0 && slot < kPresetSlotCount) {
        m_presetBlock.m_presetSlots[slot].cloudSpeed = static_cast<int8_t>(-position);
    }
}
