#pragma once

#include "engine/frame_composer.h"
#include "engine/generator_settings.h"
#include "engine/settings_exchange.h"
#include "render/colour_record.h"

#include <cstdint>

// The generator as the window drives it: the settings, published whole on every
// change, the colour rotation's state and the frame composer that draws from them.
// Window thread only, apart from what FrameComposer says of itself.
class Generator {
public:
    Generator() : m_composer(m_exchange) {}
    Generator(const Generator&) = delete;
    Generator& operator=(const Generator&) = delete;

    const GeneratorSettings& Settings() const { return m_settings; }
    // Takes `settings` and publishes them to the sending thread.
    void Apply(const GeneratorSettings& settings);

    // One tick of the colour rotation, published. True when the base colours turned a
    // corner; `buttons` then holds what the colour buttons show.
    bool StepRotation(ColourRecord (&buttons)[4]);
    int32_t RotationPhase() const { return m_rotationPhase; }

    FrameComposer& Composer() { return m_composer; }
    const FrameComposer& Composer() const { return m_composer; }
    // What the sending thread sees now.
    GeneratorSettings Published() const { return m_exchange.Snapshot(); }

private:
    GeneratorSettings m_settings;
    SettingsExchange<GeneratorSettings> m_exchange;
    FrameComposer m_composer;
    int32_t m_rotationPhase = 0;
};
