#pragma once

#include <atomic>
#include <cstddef>

// Counts the global operator new calls made by the calling thread while a scope runs.
class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    std::size_t Count() const;
};
