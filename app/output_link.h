#pragma once

#include "engine/generator.h"
#include "ndi/output_seams.h"

#include <functional>

// Connects the NDI output to the frame engine: the output's frames and re-configure
// pictures are the composer's, and its output line goes to `showLine`.
class OutputLink : public FrameProducer, public ReconfigureSteps {
public:
    OutputLink(Generator& generator, std::function<void(const char*)> showLine)
        : m_generator(generator), m_showLine(std::move(showLine)) {}

    void BeginRun(const FramePass& pass) override {
        m_generator.Composer().BeginRun(pass.width, pass.height);
    }
    void RenderFrame(const FramePass& pass) override {
        m_generator.Composer().ComposeFrame(pass.width, pass.height);
    }
    void ShowOutputLine(const char* text) override { m_showLine(text); }
    void RescalePictures(int32_t width, int32_t height) override {
        m_generator.Composer().RescalePictures(width, height);
    }
    void RenderOnePicture(uint8_t* /*store*/, int32_t width, int32_t height) override {
        m_generator.Composer().RenderOnePicture(width, height);
    }
    void ApplyMask(uint8_t* /*store*/, int32_t width, int32_t height) override {
        const GeneratorSettings& settings = m_generator.Settings();
        m_generator.Composer().ApplyMask(width, height, settings.invertTransparency,
                                         settings.useMaskAlpha);
    }

private:
    Generator& m_generator;
    std::function<void(const char*)> m_showLine;
};
