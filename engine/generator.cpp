#include "engine/generator.h"

#include "render/colour_rotation.h"

void Generator::Apply(const GeneratorSettings& settings) {
    m_settings = settings;
    m_exchange.Publish(m_settings);
}

bool Generator::StepRotation(ColourRecord (&buttons)[4]) {
    const bool turned = ::StepRotation(m_settings.rotationMode, m_rotationPhase,
                                       m_settings.baseColours, m_settings.currentColours, buttons);
    m_exchange.Publish(m_settings);
    return turned;
}
