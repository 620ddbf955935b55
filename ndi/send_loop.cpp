#include "ndi/ndi_output.h"

#include <sys/resource.h>
#include <system_error>
#include <unistd.h>

namespace {

// Best effort, and nothing relies on it: a higher priority only makes the thread
// come back from the runtime's pacing more promptly. Real-time scheduling is not
// asked for, because a render that ran long at that priority could starve the
// window on a small machine.
void RequestSendingPriority() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
}

} // namespace

StartResult NdiOutput::StartSending() {
    if (m_sending.load()) {
        return StartResult::AlreadySending;
    }
    // Until a sender exists (before the instance number is settled, or after a failed
    // creation) there is nothing to feed, and a running thread could not get one:
    // every path that creates a sender stops the thread first.
    if (m_sender == nullptr) {
        return StartResult::NoSender;
    }
    m_sending.store(true);
    m_frameDirty.store(true); // the first pass renders
    try {
        m_sendThread = m_launcher(
            [this, frame = m_videoFrame, sender = m_sender] { SendLoop(frame, sender); });
    } catch (const std::system_error&) {
        // Showing the sending state with no thread behind it would claim frames are
        // going out when none are.
        m_sending.store(false);
        return StartResult::ThreadFailed;
    }
    return StartResult::Started;
}

void NdiOutput::StopSending() {
    if (!m_sending.load()) {
        return;
    }
    m_sending.store(false);
    if (m_sendThread.joinable()) {
        m_sendThread.join();
    }
}

// `frame` is the thread's own copy of the descriptor: the size does not change while it
// runs, and the pixels, which may, are taken from the shared value on every pass.
void NdiOutput::SendLoop(NDIlib_video_frame_v2_t frame, NDIlib_send_instance_t sender) {
    RequestSendingPriority();
    FramePass pass{m_store, frame.xres, frame.yres, m_pixels.load() == OutputPixels::Uyvy};
    m_producer.BeginRun(pass);
    while (m_sending.load()) {
        const OutputPixels pixels = m_pixels.load(std::memory_order_relaxed);
        const bool uyvy = pixels == OutputPixels::Uyvy;
        // Taking the flag before rendering means a tick that comes during the render
        // makes the next pass render again instead of being lost. A frame drawn for the
        // other store would send that store's stale pixels.
        const bool rendered = m_frameDirty.exchange(false) || uyvy != pass.uyvy;
        if (rendered) {
            pass.uyvy = uyvy;
            m_producer.RenderFrame(pass);
        }
        DescribePixels(frame, pixels, m_store, m_uyvyStore);
        // Held by the runtime until the frame's turn at the frame rate. Nothing but a
        // render writes the store while the thread runs, so a pass that rendered nothing
        // sends the same pixels: a runtime that can say so need not copy them again.
        if (!rendered && m_runtime.send_repeat_video != nullptr) {
            m_runtime.send_repeat_video(sender, &frame);
        } else {
            m_runtime.send_send_video_v2(sender, &frame);
        }
        m_framesSent.fetch_add(1, std::memory_order_relaxed);
    }
}
