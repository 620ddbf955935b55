#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>

// A small copy of a frame for a thread other than the sending one (the owner's), taken
// without stopping or slowing the sending thread: the owner asks, the sending thread
// samples the next frame it draws, row by row as the rows are finished, and hands the
// pixels over. Whichever side the state names owns the pixels; nothing is locked.
//
// Nearest-neighbour sampling: one frame pixel per thumbnail pixel costs the sending
// thread in proportion to the thumbnail, not to the frame, and works on a band as on
// the whole frame. The gradient and the clouds are smooth, so averaging would show
// little at a thumbnail's size.
class FrameThumbnail {
public:
    FrameThumbnail();
    FrameThumbnail(const FrameThumbnail&) = delete;
    FrameThumbnail& operator=(const FrameThumbnail&) = delete;

    // Owner's thread. Asks for the next frame drawn, at most `maxWidth` wide and never
    // wider than the frame; an earlier request or thumbnail is dropped. False while the
    // sending thread still samples an earlier one: ask again later.
    bool Request(int32_t maxWidth);
    // The thumbnail asked for is there, and the owner's to read until it asks again.
    bool Ready() const { return m_state.load(std::memory_order_acquire) == State::Ready; }
    // Takes the pixels back, a request not yet taken up included; false while the
    // sending thread samples (never once that thread has ended).
    bool Withdraw();
    // Owner's thread, after Withdraw: a whole frame sampled here and now.
    void SampleFrame(const uint8_t* frame, int32_t width, int32_t height, int32_t maxWidth);
    // Once Ready, or after SampleFrame: B, G, R, X bytes, rows packed.
    const uint8_t* Pixels() const { return m_pixels.get(); }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }

    // Sending thread, before a frame is drawn: whether this frame is sampled.
    bool BeginFrame(int32_t width, int32_t height);
    // Frame rows [first, end), `rows` pointing at row `first`; bands come in order.
    void SampleRows(const uint8_t* rows, int32_t first, int32_t end);
    // After the frame: the thumbnail, if sampled, goes to the owner.
    void EndFrame();

private:
    enum class State : uint8_t { Idle, Wanted, Sampling, Ready };

    struct FreePixels {
        void operator()(uint8_t* p) const { std::free(p); }
    };

    void Fit(int32_t width, int32_t height, int32_t maxWidth);

    // Room for a thumbnail as large as the largest frame, claimed only as far as used.
    std::unique_ptr<uint8_t, FreePixels> m_pixels;
    std::atomic<State> m_state{State::Idle};
    int32_t m_maxWidth = 0;
    // Written by whoever owns the pixels.
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_frameWidth = 0;
    int32_t m_frameHeight = 0;
    int32_t m_nextRow = 0;
    // The sending thread's own.
    bool m_sampling = false;
};
