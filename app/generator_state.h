#pragma once

#include "presets/preset_block.h"
#include "render/colour_record.h"
#include "render/gradient_exchange.h"

#include <atomic>
#include <cstdint>
#include <string_view>

// Everything the generator is, held by the main dialog. Members that the sending
// thread reads or writes while it runs are atomic; the corner colours and the fill
// pattern reach it through `m_gradientExchange`, published after every change.
struct GeneratorState {
    // Output format. Changed only while not sending.
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_frameRateN = 0;
    int32_t m_frameRateD = 0;
    std::atomic<int32_t> m_opaqueOutput{0};

    // Picture settings.
    ColourRecord m_baseColour[4]{};
    ColourRecord m_currentColour[4]{};
    int32_t m_fillPattern = 0;
    int32_t m_rotationMode = 0;
    int32_t m_rotationPhase = 0;
    int32_t m_rotationPeriodMs = 0;
    std::atomic<int32_t> m_cloudsOn{0};
    std::atomic<int32_t> m_cloudSet{0};
    std::atomic<int32_t> m_cloudSpeed{0};
    int32_t m_useMask = 0;
    int32_t m_invertTransparency = 0;
    int32_t m_useMaskAlpha = 0;
    int32_t m_revealAlpha = 0;
    std::atomic<int32_t> m_maskApplied{0};
    std::atomic<int32_t> m_logoOverlayOn{0};
    int32_t m_startupDraw = 0;
    std::atomic<int32_t> m_previewMode{0};
    GradientExchange m_gradientExchange;

    // Presets, byte for byte as in preset files.
    PresetBlock m_presetBlock{};
    int32_t m_lastAppliedSlot = 0;

    // Sending.
    std::atomic<int32_t> m_sending{0};
    std::atomic<int32_t> m_frameDirty{0};

    // Coordination of running copies.
    int32_t m_instanceNumber = 0;
    int32_t m_instanceNumberPending = 0;
    int32_t m_instanceInUse[32]{};
    uint32_t m_processId = 0;
    int32_t m_obeyRemoteStartStop = 0;

    // Status-line words, indexed by m_cloudsOn, 2 + m_rotationMode, 5 + m_fillPattern.
    static constexpr std::string_view m_labelNames[9] = {"no clouds",
                                                         "plus clouds",
                                                         "Static background",
                                                         "Rotating clockwise",
                                                         "Rotating anticlockwise",
                                                         "Full screen",
                                                         "Horizontal split",
                                                         "Vertical split",
                                                         "Quad split"};

    // The output format a dialog starts with: 1280 x 720 at 25p.
    void SetOutputDefaults();

    // Copies the current colours and fill pattern to the rendering side.
    void PublishGradient();

    // The colours and pattern as the renderer should see them now.
    GradientParams CurrentGradient() const;

    // Takes a colour button's value into corner `corner`; byte 3 stays as it was.
    void SetCornerFromButton(int corner, uint32_t buttonValue);

    // The slider positions and the members they imply.
    void SetRotationSliderPosition(int32_t position);
    void SetCloudSliderPosition(int32_t position);
};
