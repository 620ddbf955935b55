#pragma once

#include <atomic>

// The fence of the stand-in segment's sequence lock. The other side of that lock is
// another process, which ThreadSanitizer cannot see, and GCC refuses thread fences
// under it; there a compiler barrier keeps the build going, and x86's ordering of
// plain loads and stores does the rest.
inline void SegmentFence(std::memory_order order) {
#if defined(__SANITIZE_THREAD__)
    std::atomic_signal_fence(order);
#else
    std::atomic_thread_fence(order);
#endif
}
