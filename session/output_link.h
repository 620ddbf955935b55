#pragma once

#include "engine/generator.h"
#include "ndi/output_seams.h"

// Connects the NDI output to the frame engine: the output's frames and re-configure
// pictures are the composer's.
class OutputLink : public FrameProducer, public ReconfigureSteps {
public:
    explicit OutputLink(Generator& generator) : m_generator(generator) {}

    void BeginRun(const FramePass& pass) override {
        m_generator.Composer().BeginRun(pass.width, pass.height);
    }
    void RenderFrame(const FramePass& pass) override {
        m_generator.Composer().ComposeFrame(pass.width, pass.height);
    }
    void RescalePictures(int32_t width, int32_t height) override {
        m_generator.Composer().RescalePictures(width, height);
    }
    void RenderOnePicture(int32_t width, int32_t height) override {
        m_generator.Composer().RenderOnePicture(width, height);
    }
    void ApplyMask(int32_t width, int32_t height) override {
        const GeneratorSettings& settings = m_generator.Settings();
        m_generator.Composer().ApplyMask(width, height, settings.invertTransparency,
                                         settings.useMaskAlpha);
    }

private:
    Generator& m_generator;
};
