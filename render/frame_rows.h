#pragma once

#include <cstdint>

// Frame rows first .. end - 1: the band of a frame one drawing step covers. Rows outside
// the frame are left out.
struct FrameRows {
    int32_t first;
    int32_t end;
};
