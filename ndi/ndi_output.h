#pragma once

#include "ndi/ndi_runtime.h"
#include "ndi/output_seams.h"
#include "ndi/sender_setup.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

enum class StartResult {
    Started,
    AlreadySending, // the running thread is left alone
    NoSender,       // refused: there is no sender to feed (not yet created, or creation failed)
    ThreadFailed,   // the thread could not be created; everything stays stopped
};

// The NDI sender, its one frame descriptor and frame store, and the sending thread.
//
// All members are called on the owner's thread. The sending thread is
// started only while a sender exists, and every operation that destroys the sender or
// changes the descriptor stops it first, so the runtime is never handed a null
// sender and create/destroy never overlap a send.
class NdiOutput {
public:
    // Starts the sending thread with the given body; throws std::system_error when it
    // cannot (like std::thread's constructor, which the default uses).
    using ThreadLauncher = std::function<std::thread(std::function<void()>)>;

    // The runtime must outlive this object and must have been initialised. `store` is
    // the producer's frame store, room for the largest frame; it must outlive this too.
    NdiOutput(const NdiRuntimeApi& runtime, uint8_t* store, FrameProducer& producer,
              ReconfigureSteps& steps, ThreadLauncher launcher = {});
    // Stops sending and destroys the sender; the runtime's own shutdown is the owner's.
    ~NdiOutput();
    NdiOutput(const NdiOutput&) = delete;
    NdiOutput& operator=(const NdiOutput&) = delete;

    // Stops sending, drops the sender, describes `format`, rescales and renders one
    // picture, creates the sender for `instanceNumber` and, when that worked, makes
    // the picture opaque, applies the mask if `useMask`, and sends it once. Sending is
    // not restarted. A format the store cannot hold, or a rate that is not positive,
    // is refused (false) before anything changes.
    bool Reconfigure(const OutputFormat& format, int32_t instanceNumber, bool useMask);

    // Opaque output (BGRX) unless the mask is in use (BGRA). Does not re-create the
    // sender; a running thread sends the next frame with either value.
    void SetOutputAlphaType(bool useMask);
    // Where the producer draws frames for a UYVY output (room for the largest frame at
    // 2 bytes a pixel); without it UYVY is never sent.
    void SetUyvyStore(uint8_t* store) { m_uyvyStore = store; }
    // UYVY instead of BGRX while the mask is not in use; as the alpha type, it takes
    // effect with the next frame, drawn afresh for it.
    void SetUyvy(bool uyvy);
    OutputPixels Pixels() const { return m_pixels.load(); }

    // Creates a sender named after `instanceNumber` and attaches the product text; a
    // sender that already exists is destroyed first (after stopping sending). A null
    // result leaves no sender; CreateError() then says why, as far as the runtime told.
    void CreateSender(int32_t instanceNumber);
    // errno as the last failed creation left it (0: the runtime gave no reason, or the
    // last creation worked).
    int CreateError() const { return m_createError; }

    // Stops sending, then destroys the sender if there is one.
    void DestroySender();

    StartResult StartSending();
    // Returns once the pass in progress (its render and send) has finished.
    void StopSending();
    bool IsSending() const { return m_sending.load(); }
    // The next pass renders a new frame; a pass under way when this is called still
    // sends the frame it has.
    void MarkFrameDirty() { m_frameDirty.store(true); }
    bool FrameDirty() const { return m_frameDirty.load(); }
    bool OpaqueOutput() const { return m_pixels.load() != OutputPixels::Bgra; }
    // Frames the sending thread has handed to the runtime over this output's life.
    uint64_t FramesSent() const { return m_framesSent.load(std::memory_order_relaxed); }

    bool HasSender() const { return m_sender != nullptr; }
    const NDIlib_video_frame_v2_t& VideoFrame() const { return m_videoFrame; }
    uint8_t* FrameStore() { return m_store; }
    const uint8_t* FrameStore() const { return m_store; }

private:
    void SendLoop(NDIlib_video_frame_v2_t frame, NDIlib_send_instance_t sender);

    NdiRuntimeApi m_runtime;
    void SetPixels();

    uint8_t* m_store;
    uint8_t* m_uyvyStore = nullptr;
    // The owner's choices; what they make is shared as m_pixels.
    bool m_useMask = false;
    bool m_uyvy = false;
    FrameProducer& m_producer;
    ReconfigureSteps& m_steps;
    ThreadLauncher m_launcher;
    // Shared with the sending thread.
    std::atomic<bool> m_sending{false};
    std::atomic<bool> m_frameDirty{false};
    std::atomic<OutputPixels> m_pixels{OutputPixels::Bgrx};
    std::atomic<uint64_t> m_framesSent{0};

    NDIlib_video_frame_v2_t m_videoFrame{};
    NDIlib_send_instance_t m_sender = nullptr;
    int m_createError = 0;
    std::thread m_sendThread;
};
