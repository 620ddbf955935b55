// The commands that change the look: colours, pattern, rotation, clouds, preview, and
// applying a preset slot.

#include "engine/settings_edits.h"
#include "session/copy_session.h"
#include "session/session_command.h"

#include <algorithm>

void CopySession::ChangeLook(const std::function<void(GeneratorSettings&)>& edit) {
    const Command command(*this);
    GeneratorSettings settings = Settings();
    edit(settings);
    Apply(settings);
    UpdateStatusLine();
}

void CopySession::SetColour(int corner, uint32_t buttonValue) {
    ChangeLook([&](GeneratorSettings& s) {
        SetCornerFromButton(s, corner, buttonValue);
        if (corner >= 0 && corner < 4) {
            m_shownColours[corner] = s.baseColours[corner];
        }
    });
}

void CopySession::SetFillPattern(FillPattern pattern) {
    ChangeLook([&](GeneratorSettings& s) { s.fillPattern = static_cast<int32_t>(pattern); });
}

void CopySession::SetRotation(Rotation rotation) {
    ChangeLook([&](GeneratorSettings& s) { s.rotationMode = static_cast<int32_t>(rotation); });
}

void CopySession::SetClouds(bool on) {
    ChangeLook([&](GeneratorSettings& s) { s.cloudsOn = on; });
}

// A menu closed without a choice still shows the look again.
void CopySession::SetCloudSet(int item) {
    ChangeLook([&](GeneratorSettings& s) {
        if (InRange(kCloudSetSetting, item)) {
            s.cloudSet = item;
        }
    });
}

void CopySession::SetPreview(bool on) {
    const Command command(*this);
    GeneratorSettings settings = Settings();
    settings.previewEveryFrame = on;
    Apply(settings);
    m_generator.Composer().SetPreviewOnce(false);
    m_previewSwitch = on;
}

void CopySession::SetRotationSlider(int32_t position) {
    const Command command(*this);
    TakeRotationSlider(position);
}

void CopySession::SetCloudSpeed(int32_t speed) {
    const Command command(*this);
    TakeCloudSpeed(speed);
}

// A slider holds only positions in its range; a preset's value outside it is taken as
// the slider would show it.
void CopySession::TakeRotationSlider(int32_t position) {
    position = std::clamp(position, kRotationSliderSetting.min, kRotationSliderSetting.max);
    GeneratorSettings settings = Settings();
    ::SetRotationSlider(settings, m_presets, position);
    Apply(settings);
    m_rotationTimer.start(settings.rotationPeriodMs);
    Changed();
}

void CopySession::TakeCloudSpeed(int32_t speed) {
    speed = std::clamp(speed, kCloudSpeedSetting.min, kCloudSpeedSetting.max);
    GeneratorSettings settings = Settings();
    ::SetCloudSpeed(settings, m_presets, speed);
    Apply(settings);
    Changed();
}

void CopySession::UpdateStatusLine() {
    Changed();
    // With the preview off, the next rendered frame is shown once.
    if (!Settings().previewEveryFrame) {
        m_generator.Composer().SetPreviewOnce(true);
    }
    m_statusLine = QString::fromStdString(::StatusLine(Settings()));
    if (Sending() || !m_output) {
        return;
    }
    m_generator.Composer().RenderStill(m_format.width, m_format.height);
}

void CopySession::ApplySlot(int32_t index) {
    if (index < 0 || index >= kPresetSlotCount) {
        return;
    }
    Changed();
    const PresetSlot slot = m_presets.m_presetSlots[index];
    Apply(WithSlot(Settings(), slot));
    std::copy(std::begin(Settings().baseColours), std::end(Settings().baseColours), m_shownColours);
    ApplyMaskSettings();
    SetOutputAlphaType();
    GeneratorSettings settings = Settings();
    settings.previewEveryFrame = m_presets.m_presetPreviewMode == 2;
    Apply(settings);
    m_generator.Composer().SetPreviewOnce(m_presets.m_presetPreviewMode == 1);
    m_previewSwitch = m_presets.m_presetPreviewMode != 0;
    // The sliders' steps run whenever a slot is applied, and store their positions in
    // the active slot.
    TakeCloudSpeed(slot.cloudSpeed);
    TakeRotationSlider(slot.rotationSliderPosition);
}
