#pragma once

// What the NDI output needs from the window that owns it. The window implements these
// with its gradient, cloud, preview, logo and mask code; the output calls them at the
// points where sending and re-configuring need a picture.

#include <cstdint>

// How far the cloud strip has scrolled during one run of the sending thread: 0 when
// the thread starts, always in 0 .. cycle - 1 (cycle = 2 x the output height).
class CloudScroll {
public:
    explicit CloudScroll(int32_t cycle) : m_cycle(cycle) {}
    int32_t Offset() const { return m_offset; }
    int32_t Cycle() const { return m_cycle; }
    // Moves by `speed` rows (negative scrolls the other way), wrapping round the cycle.
    void Advance(int32_t speed) {
        if (m_cycle > 0) {
            m_offset =
                static_cast<int32_t>((int64_t{m_offset} + speed % m_cycle + m_cycle) % m_cycle);
        }
    }

private:
    int32_t m_cycle;
    int32_t m_offset = 0;
};

// One re-render on the sending thread.
struct FramePass {
    uint8_t* store; // the frame store, rows packed, 4 bytes a pixel
    int32_t width;
    int32_t height;
    CloudScroll& clouds; // lives as long as the thread's run
};

class FrameProducer {
public:
    virtual ~FrameProducer() = default;
    // Runs on the sending thread for each pass that found the frame dirty: renders the
    // gradient, composes the cloud strip at pass.clouds.Offset() (then advances it by
    // the cloud speed) when clouds are on, refreshes the preview when asked to, and
    // composes the logo when it is on. Must not allocate, and must not wait for the
    // user-interface thread (stopping joins this thread from there).
    virtual void RenderFrame(FramePass& pass) = 0;
};

// The steps of re-configuring the output that belong to the window. They run on the
// user-interface thread while the sending thread is stopped.
class ReconfigureSteps {
public:
    virtual ~ReconfigureSteps() = default;
    // Shows the output line (e.g. "1280 x 720 - 25.00 fps").
    virtual void ShowOutputLine(const char* text) = 0;
    // Rescales the cloud and mask pictures to the new output size.
    virtual void RescalePictures(int32_t width, int32_t height) = 0;
    // Renders the gradient, the still clouds when on, refreshes the preview, then
    // composes the logo (whether or not the logo overlay is on).
    virtual void RenderOnePicture(uint8_t* store, int32_t width, int32_t height) = 0;
    // Only when the mask is in use: writes the mask into the alpha bytes and records
    // whether it fitted (m_maskApplied).
    virtual void ApplyMask(uint8_t* store, int32_t width, int32_t height) = 0;
};
