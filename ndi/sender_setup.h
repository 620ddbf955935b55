#pragma once

#include "ndi/ndi_abi.h"
#include "render/frame_limits.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// The output format as the sender announces it.
struct OutputFormat {
    int32_t width = 0;
    int32_t height = 0;
    int32_t frameRateN = 0;
    int32_t frameRateD = 0;
};

// Every size is announced as 16:9, including the 4:3-shaped SD sizes.
inline constexpr float kPictureAspectRatio = 16.0f / 9.0f;

// Attached to every sender as connection metadata: one line, one blank before the
// first attribute and fourteen before each further one.
inline constexpr std::string_view kProductText = "<ndi_product long_name=\"Kova Skyfill generator\""
                                                 "              short_name=\"Kova Skyfill\""
                                                 "              manufacturer=\"KovaCo\""
                                                 "              version=\"1.0.4\""
                                                 "              session=\"default\""
                                                 "              model_name=\"K1\""
                                                 "              serial=\"00001\"/>";

inline constexpr std::size_t kSourceNameBytes = 32;

// "Kova Gradient N" with N = instanceNumber + 1, cut to 31 characters.
void FormatSourceName(int32_t instanceNumber, char (&name)[kSourceNameBytes]);

constexpr NDIlib_FourCC_video_type_e FourCCFor(bool opaque) {
    return opaque ? NDIlib_FourCC_video_type_BGRX : NDIlib_FourCC_video_type_BGRA;
}

// What the output's frames hold: BGRX, BGRA while the mask is in use, or UYVY when
// chosen and the mask is not in use (UYVY carries no alpha).
enum class OutputPixels : uint8_t { Bgrx, Bgra, Uyvy };

constexpr OutputPixels OutputPixelsFor(bool useMask, bool uyvy) {
    if (useMask) {
        return OutputPixels::Bgra;
    }
    return uyvy ? OutputPixels::Uyvy : OutputPixels::Bgrx;
}

// Points the descriptor at the store that holds `pixels`, with their FourCC and stride.
void DescribePixels(NDIlib_video_frame_v2_t& frame, OutputPixels pixels, uint8_t* store,
                    uint8_t* uyvyStore);

// A format the frame store can hold (at most frame_limits::kMaxWidth x kMaxHeight), with a
// positive frame rate.
bool IsValidOutputFormat(const OutputFormat& format);

// The frame descriptor for `format`, describing `store`.
void FillVideoFrame(NDIlib_video_frame_v2_t& frame, const OutputFormat& format, bool opaque,
                    uint8_t* store);
