#pragma once

#include "render/cloud_overlay.h"

#include <cstdint>

// How far the cloud strip has scrolled during one run of the sending thread: 0 when
// the run starts, always in 0 .. cycle - 1 (cycle = 2 x the output height).
class CloudScroll {
public:
    explicit CloudScroll(int32_t cycle = 0) : m_cycle(cycle) {}
    int32_t Offset() const { return m_offset; }
    int32_t Cycle() const { return m_cycle; }
    // Moves by `speed` rows (negative scrolls the other way), wrapping round the cycle.
    void Advance(int32_t speed) { m_offset = AdvanceCloudOffset(m_offset, speed, m_cycle); }

private:
    int32_t m_cycle;
    int32_t m_offset = 0;
};
