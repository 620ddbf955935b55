#pragma once

#include "imageio/coverage.h"

#include <cstdint>

// Unsigned fields of one to eight bytes in a file's bytes, for the format checks.
namespace imageio {

// Whether `count` bytes from `at` are inside the data; safe for any values.
inline bool Holds(Bytes d, uint64_t at, uint64_t count) {
    return at <= d.size() && count <= d.size() - at;
}

// The caller makes sure the bytes are there (Holds).
inline uint64_t ReadLittle(Bytes d, uint64_t at, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | d[at + i];
    }
    return v;
}

inline uint64_t ReadBig(Bytes d, uint64_t at, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) {
        v = (v << 8) | d[at + i];
    }
    return v;
}

} // namespace imageio
