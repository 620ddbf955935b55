#pragma once

// What the NDI output needs from whoever draws its frames; the output calls these at
// the points where sending and re-configuring need a picture.

#include <cstdint>

// One re-render on the sending thread.
struct FramePass {
    uint8_t* store; // the frame store, rows packed, 4 bytes a pixel
    int32_t width;
    int32_t height;
    // Drawn for a UYVY output: into the producer's UYVY store instead.
    bool uyvy = false;
};

class FrameProducer {
public:
    virtual ~FrameProducer() = default;
    // Runs on the sending thread when a run starts, before its first frame.
    virtual void BeginRun(const FramePass& pass) = 0;
    // Runs on the sending thread for each pass that found the frame dirty. Must not
    // allocate, and must not wait for the owner's thread (stopping joins this
    // thread from there).
    virtual void RenderFrame(const FramePass& pass) = 0;
};

// The steps of re-configuring the output that belong to its owner. They run on the
// owner's thread while the sending thread is stopped, on the output's frame store.
class ReconfigureSteps {
public:
    virtual ~ReconfigureSteps() = default;
    // Rescales the cloud and mask pictures to the new output size.
    virtual void RescalePictures(int32_t width, int32_t height) = 0;
    // Renders the gradient, the still clouds when on, refreshes the preview, then
    // composes the logo (whether or not the logo overlay is on).
    virtual void RenderOnePicture(int32_t width, int32_t height) = 0;
    // Only when the mask is in use: writes the mask into the alpha bytes and records
    // whether it fitted.
    virtual void ApplyMask(int32_t width, int32_t height) = 0;
    // Only for a UYVY output: the picture into the UYVY store, before it is sent.
    virtual void ConvertToUyvy(int32_t /*width*/, int32_t /*height*/) {}
};
