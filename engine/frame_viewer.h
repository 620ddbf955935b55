#pragma once

#include <cstdint>

// Whoever shows rendered frames (the window's preview). Called on the rendering
// thread, so it must neither allocate nor wait for another thread.
class FrameViewer {
public:
    virtual ~FrameViewer() = default;
    virtual void ShowFrame(const uint8_t* store, int32_t width, int32_t height) = 0;
};
