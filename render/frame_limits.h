#pragma once

#include <cstddef>
#include <cstdint>

// The largest frame Skyfill renders and sends, and so the size of every buffer that must
// hold one: the frame store, the stand-in's segments, the preview store, and the bound
// on decoded mask pictures. Frames are 4-byte B G R A pixels, rows packed.
namespace frame_limits {

inline constexpr int32_t kMaxWidth = 4096;
inline constexpr int32_t kMaxHeight = 2160;
inline constexpr int32_t kBytesPerPixel = 4;
inline constexpr int64_t kMaxPixels = int64_t{kMaxWidth} * kMaxHeight;
inline constexpr std::size_t kMaxBytes = std::size_t{kMaxPixels} * kBytesPerPixel;

} // namespace frame_limits
