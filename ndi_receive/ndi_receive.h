#pragma once

// Finding and receiving NDI sources through a vendor runtime: what skyfill-monitor and
// the end-to-end tests use to see real output. Plain C++; frames are copied out of the
// runtime's buffers at once, so nothing the runtime owns outlives a call.

#include "ndi_receive/ndi_receive_abi.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct NdiReceiveApi {
    NDIlib_find_create_v2_fn find_create_v2 = nullptr;
    NDIlib_find_wait_for_sources_fn find_wait_for_sources = nullptr;
    NDIlib_find_get_current_sources_fn find_get_current_sources = nullptr;
    NDIlib_find_destroy_fn find_destroy = nullptr;
    NDIlib_recv_create_v3_fn recv_create_v3 = nullptr;
    NDIlib_recv_capture_v3_fn recv_capture_v3 = nullptr;
    NDIlib_recv_free_video_v2_fn recv_free_video_v2 = nullptr;
    NDIlib_recv_free_metadata_fn recv_free_metadata = nullptr;
    NDIlib_recv_destroy_fn recv_destroy = nullptr;
};

// The receiving functions of the runtime library at `libraryPath`; nothing when it does
// not open or lacks any of them (`missing` then names them, or holds the loader's error).
std::optional<NdiReceiveApi> LoadNdiReceiveApi(const std::string& libraryPath,
                                               std::string* missing = nullptr);

struct NdiSource {
    std::string name; // "<HOST> (<source name>)"
    std::string url;
};

class NdiFinder {
public:
    // `extraIps`: comma-separated addresses asked directly, for networks without mDNS.
    NdiFinder(const NdiReceiveApi& api, const std::string& extraIps);
    ~NdiFinder();
    NdiFinder(const NdiFinder&) = delete;
    NdiFinder& operator=(const NdiFinder&) = delete;

    bool Valid() const { return m_finder != nullptr; }

    // The sources known once the list has not changed for `quiet`, or at `wait` at most.
    std::vector<NdiSource>
    Sources(std::chrono::milliseconds wait,
            std::chrono::milliseconds quiet = std::chrono::milliseconds(700));

    // The source named `name`, waiting up to `wait` for it to appear.
    std::optional<NdiSource> Find(const std::string& name, std::chrono::milliseconds wait);

private:
    std::vector<NdiSource> Current();
    const NdiReceiveApi& m_api;
    std::string m_extraIps;
    NDIlib_find_instance_t m_finder = nullptr;
};

struct NdiVideoFrame {
    int32_t xres = 0;
    int32_t yres = 0;
    uint32_t fourCC = 0;
    int32_t frameRateN = 0;
    int32_t frameRateD = 0;
    float aspect = 0;
    int32_t frameFormat = 0;
    int64_t timecode = 0;
    std::vector<uint8_t> pixels; // rows packed, 4 bytes a pixel
};

class NdiReceiver {
public:
    // Connects in BGRX/BGRA at the highest bandwidth.
    NdiReceiver(const NdiReceiveApi& api, const NdiSource& source);
    ~NdiReceiver();
    NdiReceiver(const NdiReceiver&) = delete;
    NdiReceiver& operator=(const NdiReceiver&) = delete;

    bool Valid() const { return m_recv != nullptr; }

    enum class Got { Nothing, Video, Metadata, Other, Error };

    // One capture of up to `timeout`: a video frame goes into `video` (when given, else it
    // is dropped), a metadata text into `metadata`.
    Got Capture(NdiVideoFrame* video, std::string* metadata, std::chrono::milliseconds timeout);

    // Captures until a frame of the wanted kind arrives or `timeout` passes.
    bool NextVideo(NdiVideoFrame& video, std::chrono::milliseconds timeout);
    bool NextMetadata(std::string& metadata, std::chrono::milliseconds timeout);

private:
    const NdiReceiveApi& m_api;
    NDIlib_recv_instance_t m_recv = nullptr;
};
