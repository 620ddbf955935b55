#include "ndi/ndi_output.h"

#include <cerrno>
#include <cstring>

NdiOutput::NdiOutput(const NdiRuntimeApi& runtime, uint8_t* store, FrameProducer& producer,
                     ReconfigureSteps& steps, ThreadLauncher launcher)
    : m_runtime(runtime), m_store(store), m_producer(producer), m_steps(steps),
      m_launcher(std::move(launcher)) {
    if (!m_launcher) {
        m_launcher = [](std::function<void()> body) { return std::thread(std::move(body)); };
    }
    FillVideoFrame(m_videoFrame, OutputFormat{}, true, m_store);
}

NdiOutput::~NdiOutput() {
    DestroySender();
}

void NdiOutput::CreateSender(int32_t instanceNumber) {
    DestroySender();
    char name[kSourceNameBytes];
    FormatSourceName(instanceNumber, name);
    NDIlib_send_create_t create{};
    create.p_ndi_name = name;
    create.p_groups = nullptr;
    create.clock_video = true;
    create.clock_audio = false;
    errno = 0;
    m_sender = m_runtime.send_create(&create);
    m_createError = m_sender == nullptr ? errno : 0;
    if (m_sender == nullptr) {
        return;
    }
    // The runtime only reads the text; the ABI's pointer is not const.
    NDIlib_metadata_frame_t product{};
    product.length = static_cast<int>(kProductText.size());
    product.timecode = NDIlib_send_timecode_synthesize;
    product.p_data = const_cast<char*>(kProductText.data());
    m_runtime.send_add_connection_metadata(m_sender, &product);
}

void NdiOutput::DestroySender() {
    StopSending();
    if (m_sender != nullptr) {
        m_runtime.send_destroy(m_sender);
        m_sender = nullptr;
    }
}

void NdiOutput::SetOutputAlphaType(bool useMask) {
    m_useMask = useMask;
    SetPixels();
}

void NdiOutput::SetUyvy(bool uyvy) {
    m_uyvy = uyvy;
    SetPixels();
}

void NdiOutput::SetPixels() {
    const OutputPixels pixels = OutputPixelsFor(m_useMask, m_uyvy && m_uyvyStore != nullptr);
    m_pixels.store(pixels);
    DescribePixels(m_videoFrame, pixels, m_store, m_uyvyStore);
}

bool NdiOutput::Reconfigure(const OutputFormat& format, int32_t instanceNumber, bool useMask) {
    if (!IsValidOutputFormat(format)) {
        return false;
    }
    DestroySender();
    FillVideoFrame(m_videoFrame, format, true, m_store);
    DescribePixels(m_videoFrame, m_pixels.load(), m_store, m_uyvyStore);
    m_steps.RescalePictures(format.width, format.height);
    m_steps.RenderOnePicture(format.width, format.height);

    CreateSender(instanceNumber);
    if (m_sender == nullptr) {
        return true;
    }
    const std::size_t pixels =
        std::size_t{static_cast<uint32_t>(format.width)} * static_cast<uint32_t>(format.height);
    uint8_t* store = m_store;
    for (std::size_t i = 0; i < pixels; ++i) {
        store[4 * i + 3] = 0xFF;
    }
    if (useMask) {
        m_steps.ApplyMask(format.width, format.height);
    }
    if (m_pixels.load() == OutputPixels::Uyvy) {
        m_steps.ConvertToUyvy(format.width, format.height);
    }
    // Receivers see the new format at once, even though sending stays stopped.
    m_runtime.send_send_video_v2(m_sender, &m_videoFrame);
    return true;
}
