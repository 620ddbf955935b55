#pragma once

#include "ndi/ndi_abi.h"

// The seven runtime entry points Skyfill calls. A table is only ever handed out
// complete: either every pointer comes from one loaded library, or all come from the
// built-in stand-in.
struct NdiRuntimeApi {
    NDIlib_initialize_fn initialize = nullptr;
    NDIlib_destroy_fn destroy = nullptr;
    NDIlib_version_fn version = nullptr;
    NDIlib_send_create_fn send_create = nullptr;
    NDIlib_send_destroy_fn send_destroy = nullptr;
    NDIlib_send_send_video_v2_fn send_send_video_v2 = nullptr;
    NDIlib_send_add_connection_metadata_fn send_add_connection_metadata = nullptr;
    // Not the vendor's: the built-in stand-in's alone (null for a loaded library). Sends
    // the frame last sent again, paced as a send: `frame` describes the same pixels,
    // unchanged, so none is copied; only the FourCC may differ.
    NDIlib_send_send_video_v2_fn send_repeat_video = nullptr;
};
