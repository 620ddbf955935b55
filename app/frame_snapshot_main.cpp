// Interim main job until the dialog exists: renders one frame of the default look
// (slot "1" of the default table at the default output size) and saves it as PNG.

#include "app/generator_state.h"
#include "render/gradient.h"

#include <QImage>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "skyfill-frame.png";

    GeneratorState state;
    state.SetOutputDefaults();
    state.m_presetBlock = DefaultPresetBlock();
    const PresetSlot& slot = state.m_presetBlock.m_presetSlots[state.m_presetBlock.m_presetSlot];
    for (int i = 0; i < 4; ++i) {
        state.m_baseColour[i] = slot.cornerColours[i];
        state.m_currentColour[i] = slot.cornerColours[i];
    }
    state.m_fillPattern = slot.fillPattern;
    state.PublishGradient();

    // Opaque output: the re-configure sets every alpha byte to 0xFF.
    std::vector<uint8_t> frame(static_cast<std::size_t>(state.m_width) * state.m_height * 4, 0xFF);
    RenderGradient(frame.data(), state.m_width, state.m_height,
                   state.m_gradientExchange.Snapshot());

    const QImage image(frame.data(), state.m_width, state.m_height, state.m_width * 4,
                       QImage::Format_ARGB32);
    if (!image.save(QString::fromLocal8Bit(path), "PNG")) {
        std::fprintf(stderr, "skyfill: cannot write %s\n", path);
        return 1;
    }
    std::printf("skyfill: wrote the default look, %d x %d, to %s\n", state.m_width, state.m_height,
                path);
    return 0;
}
