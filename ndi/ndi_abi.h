#pragma once

// The few types of the NDI runtime's C interface that Skyfill uses, declared from the
// vendor's published x86-64 ABI: natural alignment, one-byte bool, four-byte enums.
// The layout checks below keep us honest against that ABI.

#include <climits>
#include <cstddef>
#include <cstdint>

extern "C" {

typedef struct NDIlib_send_instance_type* NDIlib_send_instance_t;

typedef enum NDIlib_FourCC_video_type_e : int32_t {
    NDIlib_FourCC_video_type_BGRA = 0x41524742,
    NDIlib_FourCC_video_type_BGRX = 0x58524742,
    // 4:2:2, one U Y V Y quadruple per two pixels.
    NDIlib_FourCC_video_type_UYVY = 0x59565955,
    NDIlib_FourCC_video_type_max = 0x7fffffff
} NDIlib_FourCC_video_type_e;

typedef enum NDIlib_frame_format_type_e : int32_t {
    NDIlib_frame_format_type_progressive = 1,
    NDIlib_frame_format_type_max = 0x7fffffff
} NDIlib_frame_format_type_e;

// Asks the runtime to stamp the frame with its own clock.
static constexpr int64_t NDIlib_send_timecode_synthesize = INT64_MAX;

typedef struct NDIlib_send_create_t {
    const char* p_ndi_name;
    const char* p_groups;
    bool clock_video;
    bool clock_audio;
} NDIlib_send_create_t;

typedef struct NDIlib_video_frame_v2_t {
    int xres;
    int yres;
    NDIlib_FourCC_video_type_e FourCC;
    int frame_rate_N;
    int frame_rate_D;
    float picture_aspect_ratio;
    NDIlib_frame_format_type_e frame_format_type;
    int64_t timecode;
    uint8_t* p_data;
    union {
        int line_stride_in_bytes;
        int data_size_in_bytes;
    };
    const char* p_metadata;
    int64_t timestamp;
} NDIlib_video_frame_v2_t;

typedef struct NDIlib_metadata_frame_t {
    int length;
    int64_t timecode;
    char* p_data;
} NDIlib_metadata_frame_t;

// The seven entry points, as the runtime library exports them.
typedef bool (*NDIlib_initialize_fn)(void);
typedef void (*NDIlib_destroy_fn)(void);
typedef const char* (*NDIlib_version_fn)(void);
typedef NDIlib_send_instance_t (*NDIlib_send_create_fn)(const NDIlib_send_create_t*);
typedef void (*NDIlib_send_destroy_fn)(NDIlib_send_instance_t);
typedef void (*NDIlib_send_send_video_v2_fn)(NDIlib_send_instance_t,
                                             const NDIlib_video_frame_v2_t*);
typedef void (*NDIlib_send_add_connection_metadata_fn)(NDIlib_send_instance_t,
                                                       const NDIlib_metadata_frame_t*);

} // extern "C"

static_assert(sizeof(bool) == 1);
static_assert(sizeof(NDIlib_FourCC_video_type_e) == 4 && sizeof(NDIlib_frame_format_type_e) == 4);

static_assert(sizeof(NDIlib_send_create_t) == 24);
static_assert(offsetof(NDIlib_send_create_t, p_groups) == 8);
static_assert(offsetof(NDIlib_send_create_t, clock_video) == 16);
static_assert(offsetof(NDIlib_send_create_t, clock_audio) == 17);

static_assert(sizeof(NDIlib_video_frame_v2_t) == 72);
static_assert(offsetof(NDIlib_video_frame_v2_t, FourCC) == 8);
static_assert(offsetof(NDIlib_video_frame_v2_t, frame_rate_N) == 12);
static_assert(offsetof(NDIlib_video_frame_v2_t, picture_aspect_ratio) == 20);
static_assert(offsetof(NDIlib_video_frame_v2_t, frame_format_type) == 24);
static_assert(offsetof(NDIlib_video_frame_v2_t, timecode) == 32);
static_assert(offsetof(NDIlib_video_frame_v2_t, p_data) == 40);
static_assert(offsetof(NDIlib_video_frame_v2_t, line_stride_in_bytes) == 48);
static_assert(offsetof(NDIlib_video_frame_v2_t, p_metadata) == 56);
static_assert(offsetof(NDIlib_video_frame_v2_t, timestamp) == 64);

static_assert(sizeof(NDIlib_metadata_frame_t) == 24);
static_assert(offsetof(NDIlib_metadata_frame_t, timecode) == 8);
static_assert(offsetof(NDIlib_metadata_frame_t, p_data) == 16);
