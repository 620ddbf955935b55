#pragma once

#include "engine/generator.h"
#include "ndi/output_seams.h"
#include "resources/pictures.h"

// Connects the NDI output to the frame engine: the output's frames and re-configure
// pictures are the composer's.
class OutputLink : public FrameProducer, public ReconfigureSteps {
public:
    explicit OutputLink(Generator& generator) : m_generator(generator) {}

    void BeginRun(const FramePass& pass) override {
        m_generator.Composer().BeginRun(pass.width, pass.height);
    }
    void RenderFrame(const FramePass& pass) override {
        m_generator.Composer().ComposeFrame(pass.width, pass.height, pass.uyvy);
    }
    // The clouds' decoded sources are large and needed only here: decoded again for each
    // re-configure and dropped after it, so every rescale still starts from them.
    void RescalePictures(int32_t width, int32_t height) override {
        FrameComposer& composer = m_generator.Composer();
        constexpr uint16_t kCloudPictures[] = {picture::kClouds720, picture::kClouds1080};
        for (int set = 0; set < 2; ++set) {
            if (!composer.Cloud(set).m_resourceBitmap.Holds()) {
                LoadResourceBitmap(composer.Cloud(set), kCloudPictures[set]);
            }
        }
        composer.RescalePictures(width, height);
        for (int set = 0; set < 2; ++set) {
            composer.Cloud(set).m_resourceBitmap = PixelPicture{};
        }
    }
    void RenderOnePicture(int32_t width, int32_t height) override {
        m_generator.Composer().RenderOnePicture(width, height);
    }
    void ConvertToUyvy(int32_t width, int32_t height) override {
        m_generator.Composer().ConvertToUyvy(width, height);
    }
    void ApplyMask(int32_t width, int32_t height) override {
        const GeneratorSettings& settings = m_generator.Settings();
        m_generator.Composer().ApplyMask(width, height, settings.invertTransparency,
                                         settings.useMaskAlpha);
    }

private:
    Generator& m_generator;
};
