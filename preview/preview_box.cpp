#include "preview/preview_box.h"

#include "render/resample.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <cstring>
#include <new>

namespace {

// Holds the converting side for one step, or reports that another thread has it.
class ConvertingClaim {
public:
    explicit ConvertingClaim(std::atomic<bool>& flag)
        : m_flag(flag), m_held(!flag.exchange(true, std::memory_order_acquire)) {}
    ~ConvertingClaim() {
        if (m_held) {
            m_flag.store(false, std::memory_order_release);
        }
    }
    ConvertingClaim(const ConvertingClaim&) = delete;
    ConvertingClaim& operator=(const ConvertingClaim&) = delete;
    bool Held() const { return m_held; }

private:
    std::atomic<bool>& m_flag;
    bool m_held;
};

} // namespace

PreviewBox::PreviewBox(QWidget* parent) : QWidget(parent) {}

PreviewBox::~PreviewBox() = default;

void PreviewBox::InitPreview() {
    if (m_previewBits) {
        return;
    }
    m_previewBits.reset(new (std::nothrow) uint8_t[kPreviewStoreBytes]);
}

bool PreviewBox::ConvertHeld(const uint8_t* store, int32_t width, int32_t height) {
    if (!m_previewBits || store == nullptr || width <= 0 || height <= 0 ||
        width > frame_limits::kMaxWidth || height > frame_limits::kMaxHeight) {
        return false;
    }
    uint8_t* out = SlotBits(m_writeSlot);
    const std::size_t stride = std::size_t{4} * static_cast<std::size_t>(width);
    int32_t outWidth = width;
    int32_t outHeight = height;
    if (width > kFullSizeWidth) {
        outWidth = width / 2;
        outHeight = height / 2;
        for (int32_t y = 0; y < outHeight; ++y) {
            const uint8_t* src = store + 2 * static_cast<std::size_t>(y) * stride;
            for (int32_t x = 0; x < outWidth; ++x) {
                std::memcpy(out, src + 8 * static_cast<std::size_t>(x), 4);
                out += 4;
            }
        }
    } else {
        std::memcpy(out, store, stride * static_cast<std::size_t>(height));
    }
    PreviewHeader& header = m_bitmapInfo[m_writeSlot];
    header.width = outWidth;
    header.height = -outHeight;
    m_lastWritten = m_writeSlot;
    m_unpresented = true;
    return true;
}

void PreviewBox::PresentHeld() {
    if (m_unpresented) {
        // The paint hands back the slot it no longer needs, or the previous image if
        // the paint has not taken it yet; either way it becomes the next one written.
        const uint32_t previous = m_readySlot.exchange(static_cast<uint32_t>(m_writeSlot) | kFresh,
                                                       std::memory_order_acq_rel);
        m_writeSlot = static_cast<int>(previous & ~kFresh);
        m_unpresented = false;
    }
}

bool PreviewBox::RefreshAlways(const uint8_t* store, int32_t width, int32_t height) {
    ConvertingClaim claim(m_converting);
    if (!claim.Held() || !ConvertHeld(store, width, height)) {
        return false;
    }
    PresentHeld();
    return true;
}

PreviewBox::PreviewHeader PreviewBox::LastHeader() const {
    return m_lastWritten >= 0 ? m_bitmapInfo[m_lastWritten] : PreviewHeader{};
}

const uint8_t* PreviewBox::LastPixels() const {
    return m_lastWritten >= 0 ? SlotBits(m_lastWritten) : nullptr;
}

void PreviewBox::TakeReadySlot() {
    if ((m_readySlot.load(std::memory_order_acquire) & kFresh) == 0) {
        return;
    }
    const uint32_t ready =
        m_readySlot.exchange(static_cast<uint32_t>(m_paintSlot), std::memory_order_acq_rel);
    m_paintSlot = static_cast<int>(ready & ~kFresh);
    m_paintHasImage = true;
    m_stretchedCurrent = false;
}

void PreviewBox::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_pollTimer == 0) {
        m_pollTimer = startTimer(kPollMs);
    }
}

void PreviewBox::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (m_pollTimer != 0) {
        killTimer(m_pollTimer);
        m_pollTimer = 0;
    }
}

void PreviewBox::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_pollTimer) {
        QWidget::timerEvent(event);
        return;
    }
    if ((m_readySlot.load(std::memory_order_acquire) & kFresh) != 0) {
        update();
    }
}

void PreviewBox::paintEvent(QPaintEvent* /*event*/) {
    TakeReadySlot();
    if (!m_paintHasImage) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const QSize target = (QSizeF(size()) * ratio).toSize();
    if (target.isEmpty()) {
        return;
    }
    if (m_stretched.size() != target) {
        m_stretched = QImage(target, QImage::Format_RGB32);
        m_stretchedCurrent = false;
    }
    if (!m_stretchedCurrent) {
        const PreviewHeader& header = m_bitmapInfo[m_paintSlot];
        if (!ResamplePicture(SlotBits(m_paintSlot), header.width, -header.height,
                             m_stretched.bits(), target.width(), target.height())) {
            return;
        }
        // The frame's alpha is not part of the preview; this format wants it opaque.
        uint8_t* bits = m_stretched.bits();
        const qsizetype bytes = m_stretched.sizeInBytes();
        for (qsizetype i = 3; i < bytes; i += 4) {
            bits[i] = 0xFF;
        }
        m_stretched.setDevicePixelRatio(ratio);
        m_stretchedCurrent = true;
    }
    QPainter painter(this);
    painter.drawImage(QRectF(rect()), m_stretched, QRectF(m_stretched.rect()));
}
