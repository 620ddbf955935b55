#pragma once

#include "engine/cloud_scroll.h"
#include "engine/frame_thumbnail.h"
#include "engine/generator_settings.h"
#include "engine/settings_exchange.h"
#include "render/image_buffer.h"
#include "render/large_memory.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class FrameViewer;

// The pictures and the frame store, and the one place a frame is drawn: gradient,
// clouds, preview, logo and mask alpha, from one settings snapshot per frame.
//
// The frame calls (BeginRun, ComposeFrame) run on the sending thread while it runs;
// everything else runs on the window thread, and the picture-changing calls only while
// the sending thread is stopped, except for the mask, whose hand-over is locked.
class FrameComposer {
public:
    explicit FrameComposer(const SettingsExchange<GeneratorSettings>& settings);
    FrameComposer(const FrameComposer&) = delete;
    FrameComposer& operator=(const FrameComposer&) = delete;

    // Room for the largest output frame; zero-filled, and untouched pages cost no memory.
    uint8_t* FrameStore() { return m_store.get(); }
    const uint8_t* FrameStore() const { return m_store.get(); }
    // The same frame as UYVY, where frames drawn for a UYVY output go.
    uint8_t* UyvyStore() { return m_uyvyStore.get(); }
    const uint8_t* UyvyStore() const { return m_uyvyStore.get(); }

    // Null shows nothing (no window to show it in).
    void SetViewer(FrameViewer* viewer) { m_viewer.store(viewer); }
    // Whether the next frame drawn is shown once, even when the preview is not on.
    void SetPreviewOnce(bool once) { m_previewOnce.store(once); }
    bool PreviewOnce() const { return m_previewOnce.load(); }

    // Pictures, window thread, not sending.
    ImageBuffer& Logo() { return m_logo; }
    ImageBuffer& Cloud(int set) { return m_clouds[set != 0 ? 1 : 0]; }
    // Rescales the clouds and the mask from their kept sources.
    void RescalePictures(int32_t width, int32_t height);

    // The mask picture, read and written on the window thread; the sending thread reads
    // it under the lock.
    const ImageBuffer& Mask() const { return m_mask; }
    // Records the mask's path and title, and takes `loaded` as the mask when it holds one.
    void TakeMask(std::string path, std::string title, ImageBuffer* loaded);
    // The kept mask file stretched to the output; false when there is none or it failed.
    bool FitMask(int32_t width, int32_t height);
    void FlipMask(bool horizontal);

    // Sending thread: a new run starts its cloud scroll at 0.
    void BeginRun(int32_t width, int32_t height);
    // Sending thread: one frame into the store, or with `uyvy` into the UYVY store.
    void ComposeFrame(int32_t width, int32_t height, bool uyvy = false);
    // The same on a chosen CPU path (one of SupportedCpuPaths()).
    void ComposeFrameWith(CpuPath path, int32_t width, int32_t height, bool uyvy = false);
    // Sending thread: where the next frame's cloud strip starts.
    const CloudScroll& Scroll() const { return m_scroll; }

    // Window thread, not sending: the gradient and still clouds, shown, without logo.
    void RenderStill(int32_t width, int32_t height);
    // Window thread, not sending: the still picture, then the logo merged in.
    void RenderOnePicture(int32_t width, int32_t height);
    // Not sending: the store's frame into the UYVY store.
    void ConvertToUyvy(int32_t width, int32_t height);
    // The thumbnail the sending thread samples from the frames it draws.
    FrameThumbnail& Thumbnail() { return m_thumbnail; }
    const FrameThumbnail& Thumbnail() const { return m_thumbnail; }
    // Window thread, not sending, after the thumbnail's Withdraw: the thumbnail of the
    // picture the store holds, taken back from the UYVY store first when the last frames
    // went there alone.
    void SampleStore(int32_t width, int32_t height, int32_t maxWidth);
    // Window thread, not sending: the mask's alpha into the store now.
    void ApplyMask(int32_t width, int32_t height, bool invert, bool ownAlpha);
    // The alpha from the mask (`useMask`) or opaque. While sending the write is handed
    // to the sending thread so that it falls between two frames.
    void WriteAlpha(int32_t width, int32_t height, const GeneratorSettings& settings, bool sending);
    // Window thread after the sending thread ended: a hand-over it did not take.
    void ApplyPendingAlpha(int32_t width, int32_t height);
    // A re-configure writes the alpha afresh; an older hand-over is void.
    void DropPendingAlpha();

private:
    // Rows of a band the frame is drawn in: a few hundred kilobytes at the widest.
    static constexpr int32_t kBandRows = 32;

    void ShowFrame(int32_t width, int32_t height);

    const SettingsExchange<GeneratorSettings>& m_settings;
    LargeMemory m_store;
    LargeMemory m_uyvyStore;
    // One band's BGRX rows on their way to the UYVY store.
    LargeMemory m_band;
    std::atomic<FrameViewer*> m_viewer{nullptr};
    std::atomic<bool> m_previewOnce{false};
    ImageBuffer m_logo;
    ImageBuffer m_clouds[2];
    CloudScroll m_scroll;
    FrameThumbnail m_thumbnail;
    // The last frame was drawn band by band into the UYVY store, not into this store.
    bool m_storeBehind = false;

    std::mutex m_maskLock;
    ImageBuffer m_mask;
    // The sending thread merges the logo's alpha once after each mask write.
    std::atomic<bool> m_maskApplied{false};
    bool m_alphaPending = false;
    bool m_alphaPendingUseMask = false;
    bool m_alphaPendingInvert = false;
    bool m_alphaPendingOwnAlpha = false;
};
