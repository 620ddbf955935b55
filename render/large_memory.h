#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Memory for whole frames and output-sized pictures. Each frame is written by the drawing
// and read again by the NDI runtime 25 to 30 times a second; on 4 KiB pages that walk
// costs a TLB miss every 1,024 pixels, a good share of what the runtime spends on a frame.
// Blocks of 2 MiB and more are therefore mapped 2 MiB-aligned and offered to the kernel as
// transparent huge pages. That is only a hint: with THP off, or no huge page to spare, the
// memory is ordinary pages. Pages are faulted in as they are first touched, as with calloc.
// Under AddressSanitizer every block is calloc's.
struct LargeMemoryRelease {
    std::size_t bytes = 0;
    void operator()(uint8_t* p) const;
};

using LargeMemory = std::unique_ptr<uint8_t[], LargeMemoryRelease>;

// `bytes` zeroed bytes (at least one), or null when there is no memory.
LargeMemory AllocateLargeMemory(std::size_t bytes);
