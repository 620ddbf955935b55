#pragma once

// The runtime's finding and receiving interface, as far as skyfill-monitor and the
// end-to-end tests use it, declared from the vendor's published x86-64 ABI like the
// sending side in ndi/ndi_abi.h.

#include "ndi/ndi_abi.h"

#include <cstddef>
#include <cstdint>

extern "C" {

typedef struct NDIlib_find_instance_type* NDIlib_find_instance_t;
typedef struct NDIlib_recv_instance_type* NDIlib_recv_instance_t;

typedef struct NDIlib_source_t {
    const char* p_ndi_name;
    const char* p_url_address;
} NDIlib_source_t;

typedef struct NDIlib_find_create_t {
    bool show_local_sources;
    const char* p_groups;
    const char* p_extra_ips; // comma-separated addresses asked directly, without mDNS
} NDIlib_find_create_t;

typedef enum NDIlib_recv_color_format_e : int32_t {
    NDIlib_recv_color_format_BGRX_BGRA = 0,
    NDIlib_recv_color_format_max = 0x7fffffff
} NDIlib_recv_color_format_e;

typedef enum NDIlib_recv_bandwidth_e : int32_t {
    NDIlib_recv_bandwidth_metadata_only = -10,
    NDIlib_recv_bandwidth_highest = 100,
    NDIlib_recv_bandwidth_max = 0x7fffffff
} NDIlib_recv_bandwidth_e;

typedef struct NDIlib_recv_create_v3_t {
    NDIlib_source_t source_to_connect_to;
    NDIlib_recv_color_format_e color_format;
    NDIlib_recv_bandwidth_e bandwidth;
    bool allow_video_fields;
    const char* p_ndi_recv_name;
} NDIlib_recv_create_v3_t;

typedef enum NDIlib_frame_type_e : int32_t {
    NDIlib_frame_type_none = 0,
    NDIlib_frame_type_video = 1,
    NDIlib_frame_type_audio = 2,
    NDIlib_frame_type_metadata = 3,
    NDIlib_frame_type_error = 4,
    NDIlib_frame_type_status_change = 100,
    NDIlib_frame_type_max = 0x7fffffff
} NDIlib_frame_type_e;

typedef NDIlib_find_instance_t (*NDIlib_find_create_v2_fn)(const NDIlib_find_create_t*);
typedef bool (*NDIlib_find_wait_for_sources_fn)(NDIlib_find_instance_t, uint32_t);
typedef const NDIlib_source_t* (*NDIlib_find_get_current_sources_fn)(NDIlib_find_instance_t,
                                                                     uint32_t*);
typedef void (*NDIlib_find_destroy_fn)(NDIlib_find_instance_t);
typedef NDIlib_recv_instance_t (*NDIlib_recv_create_v3_fn)(const NDIlib_recv_create_v3_t*);
typedef NDIlib_frame_type_e (*NDIlib_recv_capture_v3_fn)(NDIlib_recv_instance_t,
                                                         NDIlib_video_frame_v2_t*, void*,
                                                         NDIlib_metadata_frame_t*, uint32_t);
typedef void (*NDIlib_recv_free_video_v2_fn)(NDIlib_recv_instance_t,
                                             const NDIlib_video_frame_v2_t*);
typedef void (*NDIlib_recv_free_metadata_fn)(NDIlib_recv_instance_t,
                                             const NDIlib_metadata_frame_t*);
typedef void (*NDIlib_recv_destroy_fn)(NDIlib_recv_instance_t);

} // extern "C"

static_assert(sizeof(NDIlib_source_t) == 16);
static_assert(offsetof(NDIlib_source_t, p_url_address) == 8);
static_assert(sizeof(NDIlib_find_create_t) == 24);
static_assert(offsetof(NDIlib_find_create_t, p_groups) == 8);
static_assert(offsetof(NDIlib_find_create_t, p_extra_ips) == 16);
static_assert(sizeof(NDIlib_recv_create_v3_t) == 40);
static_assert(offsetof(NDIlib_recv_create_v3_t, color_format) == 16);
static_assert(offsetof(NDIlib_recv_create_v3_t, bandwidth) == 20);
static_assert(offsetof(NDIlib_recv_create_v3_t, allow_video_fields) == 24);
static_assert(offsetof(NDIlib_recv_create_v3_t, p_ndi_recv_name) == 32);
