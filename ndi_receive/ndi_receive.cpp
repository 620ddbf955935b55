#include "ndi_receive/ndi_receive.h"

#include "ndi/ndi_symbol.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>

namespace {

using Clock = std::chrono::steady_clock;

uint32_t Millis(std::chrono::milliseconds wait) {
    return static_cast<uint32_t>(std::clamp<int64_t>(wait.count(), 0, 60'000));
}

} // namespace

std::optional<NdiReceiveApi> LoadNdiReceiveApi(const std::string& libraryPath,
                                               std::string* missing) {
    std::string gaps;
    // The sending side loaded it already; this only takes another reference, kept for
    // the life of the process like the first.
    void* handle = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        gaps = why != nullptr ? why : "cannot be opened";
    } else {
        NdiReceiveApi api;
        ResolveNdiSymbol(handle, "NDIlib_find_create_v2", api.find_create_v2, gaps);
        ResolveNdiSymbol(handle, "NDIlib_find_wait_for_sources", api.find_wait_for_sources, gaps);
        ResolveNdiSymbol(handle, "NDIlib_find_get_current_sources", api.find_get_current_sources,
                         gaps);
        ResolveNdiSymbol(handle, "NDIlib_find_destroy", api.find_destroy, gaps);
        ResolveNdiSymbol(handle, "NDIlib_recv_create_v3", api.recv_create_v3, gaps);
        ResolveNdiSymbol(handle, "NDIlib_recv_capture_v3", api.recv_capture_v3, gaps);
        ResolveNdiSymbol(handle, "NDIlib_recv_free_video_v2", api.recv_free_video_v2, gaps);
        ResolveNdiSymbol(handle, "NDIlib_recv_free_metadata", api.recv_free_metadata, gaps);
        ResolveNdiSymbol(handle, "NDIlib_recv_destroy", api.recv_destroy, gaps);
        if (gaps.empty()) {
            return api;
        }
        dlclose(handle);
    }
    if (missing != nullptr) {
        *missing = gaps;
    }
    return std::nullopt;
}

NdiFinder::NdiFinder(const NdiReceiveApi& api, const std::string& extraIps)
    : m_api(api), m_extraIps(extraIps) {
    NDIlib_find_create_t settings{};
    settings.show_local_sources = true;
    settings.p_extra_ips = m_extraIps.empty() ? nullptr : m_extraIps.c_str();
    m_finder = m_api.find_create_v2(&settings);
}

NdiFinder::~NdiFinder() {
    if (m_finder != nullptr) {
        m_api.find_destroy(m_finder);
    }
}

std::vector<NdiSource> NdiFinder::Current() {
    std::vector<NdiSource> sources;
    uint32_t count = 0;
    const NDIlib_source_t* list = m_api.find_get_current_sources(m_finder, &count);
    for (uint32_t i = 0; list != nullptr && i < count; ++i) {
        NdiSource source;
        source.name = list[i].p_ndi_name != nullptr ? list[i].p_ndi_name : "";
        source.url = list[i].p_url_address != nullptr ? list[i].p_url_address : "";
        sources.push_back(std::move(source));
    }
    std::sort(sources.begin(), sources.end(),
              [](const NdiSource& a, const NdiSource& b) { return a.name < b.name; });
    return sources;
}

std::vector<NdiSource> NdiFinder::Sources(std::chrono::milliseconds wait,
                                          std::chrono::milliseconds quiet) {
    if (m_finder == nullptr) {
        return {};
    }
    const Clock::time_point deadline = Clock::now() + wait;
    Clock::time_point lastChange = Clock::now();
    while (Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (m_api.find_wait_for_sources(m_finder, Millis(std::min(left, quiet)))) {
            lastChange = Clock::now();
        } else if (Clock::now() - lastChange >= quiet && !Current().empty()) {
            break;
        }
    }
    return Current();
}

std::optional<NdiSource> NdiFinder::Find(const std::string& name, std::chrono::milliseconds wait) {
    if (m_finder == nullptr) {
        return std::nullopt;
    }
    const Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        for (NdiSource& source : Current()) {
            if (source.name == name) {
                return std::move(source);
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        m_api.find_wait_for_sources(m_finder,
                                    Millis(std::min(left, std::chrono::milliseconds(250))));
    }
}

NdiReceiver::NdiReceiver(const NdiReceiveApi& api, const NdiSource& source) : m_api(api) {
    NDIlib_recv_create_v3_t settings{};
    settings.source_to_connect_to.p_ndi_name = source.name.c_str();
    settings.source_to_connect_to.p_url_address = source.url.empty() ? nullptr : source.url.c_str();
    settings.color_format = NDIlib_recv_color_format_BGRX_BGRA;
    settings.bandwidth = NDIlib_recv_bandwidth_highest;
    settings.allow_video_fields = false;
    settings.p_ndi_recv_name = "skyfill-monitor";
    m_recv = m_api.recv_create_v3(&settings);
}

NdiReceiver::~NdiReceiver() {
    if (m_recv != nullptr) {
        m_api.recv_destroy(m_recv);
    }
}

NdiReceiver::Got NdiReceiver::Capture(NdiVideoFrame* video, std::string* metadata,
                                      std::chrono::milliseconds timeout) {
    if (m_recv == nullptr) {
        return Got::Error;
    }
    NDIlib_video_frame_v2_t frame{};
    NDIlib_metadata_frame_t meta{};
    switch (m_api.recv_capture_v3(m_recv, &frame, nullptr, &meta, Millis(timeout))) {
    case NDIlib_frame_type_none:
        return Got::Nothing;
    case NDIlib_frame_type_video: {
        if (video != nullptr) {
            video->xres = frame.xres;
            video->yres = frame.yres;
            video->fourCC = static_cast<uint32_t>(frame.FourCC);
            video->frameRateN = frame.frame_rate_N;
            video->frameRateD = frame.frame_rate_D;
            video->aspect = frame.picture_aspect_ratio;
            video->frameFormat = frame.frame_format_type;
            video->timecode = frame.timecode;
            const std::size_t row =
                std::size_t{4} * static_cast<std::size_t>(std::max(frame.xres, 0));
            const std::size_t rows = static_cast<std::size_t>(std::max(frame.yres, 0));
            const std::size_t stride = frame.line_stride_in_bytes > 0
                                           ? static_cast<std::size_t>(frame.line_stride_in_bytes)
                                           : row;
            video->pixels.resize(row * rows);
            for (std::size_t y = 0; frame.p_data != nullptr && stride >= row && y < rows; ++y) {
                std::memcpy(video->pixels.data() + y * row, frame.p_data + y * stride, row);
            }
        }
        m_api.recv_free_video_v2(m_recv, &frame);
        return Got::Video;
    }
    case NDIlib_frame_type_metadata:
        if (metadata != nullptr) {
            metadata->assign(meta.p_data != nullptr ? meta.p_data : "",
                             meta.p_data != nullptr && meta.length > 0
                                 ? strnlen(meta.p_data, static_cast<std::size_t>(meta.length))
                                 : 0);
        }
        m_api.recv_free_metadata(m_recv, &meta);
        return Got::Metadata;
    case NDIlib_frame_type_error:
        return Got::Error;
    default:
        return Got::Other;
    }
}

bool NdiReceiver::NextVideo(NdiVideoFrame& video, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (Capture(&video, nullptr, left) == Got::Video) {
            return true;
        }
    }
    return false;
}

bool NdiReceiver::NextMetadata(std::string& metadata, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (Capture(nullptr, &metadata, left) == Got::Metadata) {
            return true;
        }
    }
    return false;
}
