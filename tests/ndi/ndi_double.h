#pragma once

// A test double of the NDI runtime, built as libndi.so.N so that the program loads it
// through its real loader. It records every call; the tests reach the record through
// the extra C functions below (looked up with dlsym on the same library).

#include "ndi/ndi_abi.h"

#include <cstdint>

enum DoubleCallKind : int32_t {
    kCallInitialize = 1,
    kCallDestroy,
    kCallVersion,
    kCallSendCreate,
    kCallSendDestroy,
    kCallSendVideo,
    kCallAddMetadata,
};

struct DoubleCall {
    int32_t kind;
    NDIlib_send_instance_t sender; // passed in, or returned by create
    // create
    char name[64];
    bool settingsNull;
    bool groupsNull;
    bool clockVideo;
    bool clockAudio;
    // add_connection_metadata
    int32_t metadataLength;
    int64_t metadataTimecode;
    char metadata[512]; // the first min(length, 511) bytes, zero-terminated
    // send_video_v2
    NDIlib_video_frame_v2_t frame;
    bool allAlphaOpaque;  // every alpha byte of the xres x yres pixels was 0xFF
    uint32_t firstPixel;  // the first 4 bytes as a little-endian value
    uint64_t threadToken; // tells sending threads apart
    int64_t startNs;      // CLOCK_MONOTONIC at entry and at return
    int64_t endNs;
};

extern "C" {
typedef void (*DoubleResetFn)(void);
typedef int32_t (*DoubleCallCountFn)(void);
typedef bool (*DoubleGetCallFn)(int32_t index, DoubleCall* out);
typedef void (*DoubleSetIntFn)(int32_t value);
typedef int32_t (*DoubleSendsInProgressFn)(void);
}
