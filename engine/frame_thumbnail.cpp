#include "engine/frame_thumbnail.h"

#include "render/frame_limits.h"

#include <algorithm>
#include <cstring>
#include <new>

FrameThumbnail::FrameThumbnail()
    : m_pixels(static_cast<uint8_t*>(std::calloc(frame_limits::kMaxBytes, 1))) {
    if (!m_pixels) {
        throw std::bad_alloc();
    }
}

bool FrameThumbnail::Request(int32_t maxWidth) {
    if (!Withdraw()) {
        return false;
    }
    m_maxWidth = maxWidth;
    m_state.store(State::Wanted, std::memory_order_release);
    return true;
}

bool FrameThumbnail::Withdraw() {
    State state = State::Wanted;
    if (m_state.compare_exchange_strong(state, State::Idle, std::memory_order_acq_rel)) {
        return true;
    }
    if (state == State::Sampling) {
        return false;
    }
    // Idle or Ready: the sending thread no longer touches either.
    m_state.store(State::Idle, std::memory_order_relaxed);
    return true;
}

void FrameThumbnail::SampleFrame(const uint8_t* frame, int32_t width, int32_t height,
                                 int32_t maxWidth) {
    Fit(width, height, maxWidth);
    SampleRows(frame, 0, height);
}

bool FrameThumbnail::BeginFrame(int32_t width, int32_t height) {
    // Most frames are not asked for: a plain load keeps them free of a locked instruction.
    State state = State::Wanted;
    m_sampling = m_state.load(std::memory_order_relaxed) == State::Wanted &&
                 m_state.compare_exchange_strong(state, State::Sampling, std::memory_order_acquire);
    if (m_sampling) {
        Fit(width, height, m_maxWidth);
    }
    return m_sampling;
}

void FrameThumbnail::EndFrame() {
    if (m_sampling) {
        m_sampling = false;
        m_state.store(State::Ready, std::memory_order_release);
    }
}

void FrameThumbnail::Fit(int32_t width, int32_t height, int32_t maxWidth) {
    m_frameWidth = width;
    m_frameHeight = height;
    m_width = std::clamp(maxWidth, 1, width);
    m_height = std::max(1, static_cast<int32_t>((int64_t{height} * m_width + width / 2) / width));
    m_nextRow = 0;
}

// Each thumbnail pixel takes the frame pixel nearest its centre.
void FrameThumbnail::SampleRows(const uint8_t* rows, int32_t first, int32_t end) {
    const uint32_t step = (static_cast<uint32_t>(m_frameWidth) << 16) / m_width;
    for (; m_nextRow < m_height; ++m_nextRow) {
        const int32_t y = (2 * m_nextRow + 1) * m_frameHeight / (2 * m_height);
        if (y >= end) {
            return;
        }
        const uint8_t* from = rows + static_cast<ptrdiff_t>(y - first) * m_frameWidth * 4;
        uint8_t* to = m_pixels.get() + static_cast<ptrdiff_t>(m_nextRow) * m_width * 4;
        uint32_t position = step / 2;
        for (int32_t x = 0; x < m_width; ++x, position += step) {
            std::memcpy(to + static_cast<ptrdiff_t>(x) * 4, from + (position >> 16) * 4, 4);
        }
    }
}
