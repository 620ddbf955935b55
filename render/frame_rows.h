#pragma once

#include <cstdint>

// Frame rows first .. end - 1: the band of a frame one drawing step covers. Rows outside
// the frame are left out. The buffer drawn into holds the frame's rows from `storedFrom`
// on: 0 for a whole frame, `first` for a buffer of the band's rows alone.
struct FrameRows {
    int32_t first;
    int32_t end;
    int32_t storedFrom = 0;
};
