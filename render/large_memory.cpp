#include "render/large_memory.h"

#include <cstdlib>
#include <sys/mman.h>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// AddressSanitizer guards only what its own allocator hands out: there every block comes
// from calloc, so that an overrun of a frame or picture is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapped = false;
#else
constexpr bool kMapped = true;
#endif

std::size_t MappedBytes(std::size_t bytes) {
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

} // namespace

void LargeMemoryRelease::operator()(uint8_t* p) const {
    if (!kMapped || bytes < kHugePage) {
        std::free(p);
    } else {
        munmap(p, MappedBytes(bytes));
    }
}

LargeMemory AllocateLargeMemory(std::size_t bytes) {
    bytes = bytes == 0 ? 1 : bytes;
    const std::size_t mapped = MappedBytes(bytes);
    if (mapped < bytes || mapped + kHugePage < mapped) {
        return LargeMemory(nullptr, LargeMemoryRelease{bytes});
    }
    if (!kMapped || bytes < kHugePage) {
        return LargeMemory(static_cast<uint8_t*>(std::calloc(bytes, 1)), LargeMemoryRelease{bytes});
    }
    // One huge page more than needed, so that an aligned start lies within; the ends
    // either side of it go back at once.
    void* raw = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return LargeMemory(nullptr, LargeMemoryRelease{bytes});
    }
    auto* const start = static_cast<uint8_t*>(raw);
    const std::size_t head =
        (kHugePage - reinterpret_cast<uintptr_t>(start) % kHugePage) % kHugePage;
    if (head != 0) {
        munmap(start, head);
    }
    munmap(start + head + mapped, kHugePage - head);
    uint8_t* const block = start + head;
    madvise(block, mapped, MADV_HUGEPAGE);
    return LargeMemory(block, LargeMemoryRelease{bytes});
}
