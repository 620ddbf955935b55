#include "engine/settings_edits.h"

#include "vocabulary/settings_vocabulary.h"

#include <string_view>

GeneratorSettings WithSlot(GeneratorSettings settings, const PresetSlot& slot) {
    for (int i = 0; i < 4; ++i) {
        settings.baseColours[i] = slot.cornerColours[i];
        settings.currentColours[i] = slot.cornerColours[i];
    }
    settings.fillPattern = slot.fillPattern;
    settings.rotationMode = slot.rotationMode;
    settings.rotationPeriodMs = RotationPeriodMs(slot.rotationSliderPosition);
    settings.cloudsOn = slot.cloudsOn != 0;
    settings.cloudSet = slot.cloudSet;
    // A signed speed in a byte, not a character.
    settings.cloudSpeed = slot.cloudSpeed; // NOLINT(bugprone-signed-char-misuse)
    settings.useMask = slot.useMask != 0;
    settings.invertTransparency = slot.invertTransparency != 0;
    settings.useMaskAlpha = slot.useMaskAlpha != 0;
    return settings;
}

// The slider position is no setting: SetRotationSlider stores it as the slider moves.
void StoreInSlot(const GeneratorSettings& settings, PresetSlot& slot) {
    for (int i = 0; i < 4; ++i) {
        slot.cornerColours[i] = settings.baseColours[i];
    }
    slot.fillPattern = settings.fillPattern;
    slot.rotationMode = settings.rotationMode;
    slot.cloudsOn = settings.cloudsOn ? 1 : 0;
    slot.cloudSet = static_cast<uint8_t>(settings.cloudSet);
    slot.cloudSpeed = static_cast<int8_t>(settings.cloudSpeed);
    slot.useMask = settings.useMask ? 1 : 0;
    slot.invertTransparency = settings.invertTransparency ? 1 : 0;
    slot.useMaskAlpha = settings.useMaskAlpha ? 1 : 0;
}

void SetCornerFromButton(GeneratorSettings& settings, int corner, uint32_t buttonValue) {
    if (corner < 0 || corner > 3) {
        return;
    }
    SetFromButtonValue(settings.baseColours[corner], buttonValue);
    settings.currentColours[corner] = settings.baseColours[corner];
}

namespace {

PresetSlot* SelectedSlot(PresetBlock& presets) {
    const int32_t slot = presets.m_presetSlot;
    return slot >= 0 && slot < kPresetSlotCount ? &presets.m_presetSlots[slot] : nullptr;
}

} // namespace

void SetRotationSlider(GeneratorSettings& settings, PresetBlock& presets, int32_t position) {
    settings.rotationPeriodMs = RotationPeriodMs(position);
    if (PresetSlot* slot = SelectedSlot(presets)) {
        slot->rotationSliderPosition = static_cast<uint16_t>(position);
    }
}

void SetCloudSpeed(GeneratorSettings& settings, PresetBlock& presets, int32_t speed) {
    settings.cloudSpeed = speed;
    if (PresetSlot* slot = SelectedSlot(presets)) {
        slot->cloudSpeed = static_cast<int8_t>(speed);
    }
}

std::string StatusLine(const GeneratorSettings& settings, bool showCloudSet) {
    // The pattern's two low bits, as the renderer reads them.
    std::string line(WordsOf(kFillPatternSetting, settings.fillPattern & 3));
    line += " - ";
    line += WordsOf(kRotationSetting, settings.rotationMode);
    line += settings.cloudsOn ? " - plus clouds" : " - no clouds";
    if (settings.cloudsOn || showCloudSet) {
        line += ' ';
        line += std::to_string(settings.cloudSet + 1);
    }
    return line;
}
