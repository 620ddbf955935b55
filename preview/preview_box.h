#pragma once

#include "engine/frame_viewer.h"
#include "render/frame_limits.h"

#include <QImage>
#include <QWidget>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

// The preview box: a reduced copy of the output frame, stretched over the whole control.
//
// Conversions run on whichever thread renders (the sending thread while sending, the
// dialog's thread otherwise); painting runs on the dialog's thread. The one preview
// store is split into three image slots that change hands through one atomic word, so
// a conversion never waits for a paint and a paint never shows a half-written image.
// The converting side makes no Qt call at all: while the box is visible, a short timer
// on the dialog's thread looks for a new image and repaints.
class PreviewBox : public QWidget, public FrameViewer {
    Q_OBJECT
public:
    // The store holds the largest output frame at full size.
    static constexpr std::size_t kPreviewStoreBytes = frame_limits::kMaxBytes;
    // Frames wider than this are halved by picking every second pixel and row.
    static constexpr int32_t kFullSizeWidth = 640;

    // How a top-down 32-bit image describes itself: the height is the negative row count.
    struct PreviewHeader {
        int32_t width = 0;
        int32_t height = 0;
    };

    explicit PreviewBox(QWidget* parent = nullptr);
    ~PreviewBox() override;

    // Allocates the preview store, once; later calls change nothing. Without a store
    // (allocation failed) every refresh fails and the box stays empty.
    void InitPreview();

    // Copies one output frame (4 bytes a pixel, rows packed) into an image slot and
    // hands it to the paint, which shows it within one poll period. Frames wider than
    // 640 become (w/2) x (h/2) with pixel (x, y) = frame pixel (2x, 2y); others are
    // copied whole. False, with nothing changed, when there is no store, the size is
    // not positive or larger than the largest output frame, or another conversion is
    // under way. Callable from any thread; never waits for the dialog's thread.
    bool RefreshAlways(const uint8_t* store, int32_t width, int32_t height);
    // FrameViewer: the frames the composer shows.
    void ShowFrame(const uint8_t* store, int32_t width, int32_t height) override {
        RefreshAlways(store, width, height);
    }

    // The image last converted, as seen from the converting thread: its header and
    // pixels (null before the first conversion).
    PreviewHeader LastHeader() const;
    const uint8_t* LastPixels() const;
    const uint8_t* StoreAddress() const { return m_previewBits.get(); }
    // True once the paint has an image to draw (dialog's thread).
    bool HasDrawImage() const { return m_paintHasImage; }

    // How often the visible box looks for a new image: well under a frame at 30 fps.
    static constexpr int kPollMs = 10;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    static constexpr int kSlots = 3;
    // A halved 4096 x 2160 frame and a full-size 640 x 2160 one need the same space: a
    // quarter of the store.
    static constexpr std::size_t kSlotBytes = kPreviewStoreBytes / 4;
    // Set in m_readySlot when the slot there holds an image the paint has not taken.
    static constexpr uint32_t kFresh = 4;

    uint8_t* SlotBits(int slot) const { return m_previewBits.get() + slot * kSlotBytes; }
    // Both run with m_converting held. False when the frame was refused.
    bool ConvertHeld(const uint8_t* store, int32_t width, int32_t height);
    void PresentHeld();
    void TakeReadySlot();

    std::unique_ptr<uint8_t[]> m_previewBits;
    PreviewHeader m_bitmapInfo[kSlots];

    // Converting side. Conversions may come from either thread, one at a time; the flag
    // also hands these members from one converting thread to the next.
    std::atomic<bool> m_converting{false};
    int m_writeSlot = 0;
    int m_lastWritten = -1;
    bool m_unpresented = false;
    // Exchanged between the two sides: a slot index, with kFresh when it is new.
    std::atomic<uint32_t> m_readySlot{1};
    // Painting side.
    int m_paintSlot = 2;
    bool m_paintHasImage = false;
    int m_pollTimer = 0;
    // The drawn image stretched to the control, rebuilt when either changes.
    QImage m_stretched;
    bool m_stretchedCurrent = false;
};
