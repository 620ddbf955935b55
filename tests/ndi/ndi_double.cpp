// The recording test double of the NDI runtime (see ndi_double.h).

#include "tests/ndi/ndi_double.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#ifndef DOUBLE_VERSION_TEXT
#error "DOUBLE_VERSION_TEXT must name this build of the double"
#endif

namespace {

std::mutex g_mutex;
std::vector<DoubleCall> g_calls;
std::atomic<bool> g_createFails{false};
std::atomic<int32_t> g_sendHoldMs{2};
std::atomic<int32_t> g_sendsInProgress{0};

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

DoubleCall NewCall(int32_t kind, NDIlib_send_instance_t sender) {
    DoubleCall call{};
    call.kind = kind;
    call.sender = sender;
    call.threadToken = std::hash<std::thread::id>{}(std::this_thread::get_id());
    call.startNs = NowNs();
    return call;
}

void Record(DoubleCall call) {
    call.endNs = NowNs();
    const std::lock_guard lock(g_mutex);
    g_calls.push_back(call);
}

} // namespace

extern "C" {

bool NDIlib_initialize(void) {
    Record(NewCall(kCallInitialize, nullptr));
    return true;
}

void NDIlib_destroy(void) {
    Record(NewCall(kCallDestroy, nullptr));
}

const char* NDIlib_version(void) {
    Record(NewCall(kCallVersion, nullptr));
    return DOUBLE_VERSION_TEXT;
}

NDIlib_send_instance_t NDIlib_send_create(const NDIlib_send_create_t* settings) {
    NDIlib_send_instance_t sender = nullptr;
    if (!g_createFails) {
        sender = reinterpret_cast<NDIlib_send_instance_t>(new int(0));
    }
    DoubleCall call = NewCall(kCallSendCreate, sender);
    call.settingsNull = settings == nullptr;
    if (settings != nullptr) {
        if (settings->p_ndi_name != nullptr) {
            std::strncpy(call.name, settings->p_ndi_name, sizeof call.name - 1);
        }
        call.groupsNull = settings->p_groups == nullptr;
        call.clockVideo = settings->clock_video;
        call.clockAudio = settings->clock_audio;
    }
    Record(call);
    return sender;
}

void NDIlib_send_destroy(NDIlib_send_instance_t sender) {
    Record(NewCall(kCallSendDestroy, sender));
    delete reinterpret_cast<int*>(sender);
}

void NDIlib_send_send_video_v2(NDIlib_send_instance_t sender,
                               const NDIlib_video_frame_v2_t* frame) {
    ++g_sendsInProgress;
    DoubleCall call = NewCall(kCallSendVideo, sender);
    if (frame != nullptr) {
        call.frame = *frame;
        if (frame->p_data != nullptr && frame->xres > 0 && frame->yres > 0) {
            std::memcpy(&call.firstPixel, frame->p_data, 4);
            const int64_t pixels = int64_t{frame->xres} * frame->yres;
            call.allAlphaOpaque = true;
            for (int64_t i = 0; i < pixels; ++i) {
                call.allAlphaOpaque &= frame->p_data[4 * i + 3] == 0xFF;
            }
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(g_sendHoldMs.load()));
    Record(call);
    --g_sendsInProgress;
}

void NDIlib_send_add_connection_metadata(NDIlib_send_instance_t sender,
                                         const NDIlib_metadata_frame_t* item) {
    DoubleCall call = NewCall(kCallAddMetadata, sender);
    if (item != nullptr) {
        call.metadataLength = item->length;
        call.metadataTimecode = item->timecode;
        if (item->p_data != nullptr && item->length > 0) {
            const auto n = std::min<std::size_t>(static_cast<std::size_t>(item->length),
                                                 sizeof call.metadata - 1);
            std::memcpy(call.metadata, item->p_data, n);
        }
    }
    Record(call);
}

// Inspection and control, for the tests only.

void double_reset(void) {
    const std::lock_guard lock(g_mutex);
    g_calls.clear();
    g_createFails = false;
    g_sendHoldMs = 2;
}

int32_t double_call_count(void) {
    const std::lock_guard lock(g_mutex);
    return static_cast<int32_t>(g_calls.size());
}

bool double_get_call(int32_t index, DoubleCall* out) {
    const std::lock_guard lock(g_mutex);
    if (index < 0 || static_cast<std::size_t>(index) >= g_calls.size()) {
        return false;
    }
    *out = g_calls[static_cast<std::size_t>(index)];
    return true;
}

void double_set_create_fails(int32_t fails) {
    g_createFails = fails != 0;
}

void double_set_send_hold_ms(int32_t ms) {
    g_sendHoldMs = ms;
}

int32_t double_sends_in_progress(void) {
    return g_sendsInProgress.load();
}

} // extern "C"
