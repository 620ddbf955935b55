#include "ndi/sender_setup.h"

#include <cstdio>

void FormatSourceName(int32_t instanceNumber, char (&name)[kSourceNameBytes]) {
    std::snprintf(name, sizeof name, "Kova Gradient %lld",
                  static_cast<long long>(instanceNumber) + 1);
}

bool IsValidOutputFormat(const OutputFormat& format) {
    return format.width > 0 && format.height > 0 && format.width <= frame_limits::kMaxWidth &&
           format.height <= frame_limits::kMaxHeight && format.frameRateN > 0 &&
           format.frameRateD > 0;
}

void FillVideoFrame(NDIlib_video_frame_v2_t& frame, const OutputFormat& format, bool opaque,
                    uint8_t* store) {
    frame.xres = format.width;
    frame.yres = format.height;
    frame.FourCC = FourCCFor(opaque);
    frame.frame_rate_N = format.frameRateN;
    frame.frame_rate_D = format.frameRateD;
    frame.picture_aspect_ratio = kPictureAspectRatio;
    frame.frame_format_type = NDIlib_frame_format_type_progressive;
    frame.timecode = NDIlib_send_timecode_synthesize;
    frame.p_data = store;
    frame.line_stride_in_bytes = 4 * format.width;
    frame.p_metadata = nullptr;
    frame.timestamp = 0;
}

void DescribePixels(NDIlib_video_frame_v2_t& frame, OutputPixels pixels, uint8_t* store,
                    uint8_t* uyvyStore) {
    if (pixels == OutputPixels::Uyvy) {
        frame.FourCC = NDIlib_FourCC_video_type_UYVY;
        frame.p_data = uyvyStore;
        frame.line_stride_in_bytes = 2 * frame.xres;
        return;
    }
    frame.FourCC = FourCCFor(pixels == OutputPixels::Bgrx);
    frame.p_data = store;
    frame.line_stride_in_bytes = 4 * frame.xres;
}
