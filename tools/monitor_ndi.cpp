#include "tools/monitor_ndi.h"

#include "tools/escaped_text.h"
#include "tools/png_output.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Discovery answers within a second on a network; a source that has just started may
// take a few.
constexpr milliseconds kListWait{3000};
constexpr milliseconds kFindWait{10000};
constexpr milliseconds kFrameWait{10000};

void CannotReceive(const NdiSource& source, const char* what) {
    std::fprintf(stderr, "skyfill-monitor: no %s received from \"%s\"\n", what,
                 Escaped(source.name).c_str());
}

} // namespace

NdiAccess::NdiAccess(const std::string& extraIps) : m_runtime(LoadNdiRuntime()) {
    m_initialised = m_runtime.origin == NdiRuntimeOrigin::Library && m_runtime.api.initialize();
    if (!m_initialised) {
        return;
    }
    m_api = LoadNdiReceiveApi(m_runtime.libraryPath);
    if (m_api) {
        m_finder = std::make_unique<NdiFinder>(*m_api, extraIps);
    }
}

NdiAccess::~NdiAccess() {
    m_finder.reset();
    if (m_initialised) {
        m_runtime.api.destroy();
    }
}

std::vector<NdiSource> NdiAccess::Sources() {
    return Available() ? m_finder->Sources(kListWait) : std::vector<NdiSource>{};
}

std::optional<NdiSource> NdiAccess::Find(const std::string& name) {
    return Available() ? m_finder->Find(name, kFindWait) : std::nullopt;
}

int NdiAccess::Save(const NdiSource& source, const char* file) {
    NdiReceiver receiver(*m_api, source);
    NdiVideoFrame frame;
    if (!receiver.NextVideo(frame, kFrameWait) || frame.xres <= 0 || frame.yres <= 0) {
        CannotReceive(source, "frame");
        return 1;
    }
    const bool opaque = frame.fourCC != NDIlib_FourCC_video_type_BGRA;
    if (!SavePng(frame.pixels.data(), frame.xres, frame.yres, opaque, file)) {
        std::fprintf(stderr, "skyfill-monitor: cannot write \"%s\"\n", Escaped(file).c_str());
        return 1;
    }
    return 0;
}

std::optional<std::string> NdiAccess::Metadata(const NdiSource& source) {
    NdiReceiver receiver(*m_api, source);
    std::string text;
    if (!receiver.NextMetadata(text, kFrameWait)) {
        CannotReceive(source, "metadata");
        return std::nullopt;
    }
    return text;
}

std::optional<FrameTiming::Summary> NdiAccess::Watch(const NdiSource& source, double seconds) {
    NdiReceiver receiver(*m_api, source);
    FrameTiming timing;
    NdiVideoFrame frame;
    bool receiving = false;
    const Clock::time_point start = Clock::now();
    const auto span =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() - start < span) {
        const auto left = std::chrono::duration_cast<milliseconds>(span - (Clock::now() - start));
        const NdiReceiver::Got got =
            receiver.Capture(&frame, nullptr, std::min(left, milliseconds(100)));
        if (got == NdiReceiver::Got::Error) {
            // A lost connection answers at once; the runtime reconnects on its own.
            std::this_thread::sleep_for(std::min(left, milliseconds(100)));
        } else if (got == NdiReceiver::Got::Video) {
            if (!receiving) {
                receiving = true;
                // Scripts that measure the sender while it is watched wait for this line.
                std::fprintf(stderr, "skyfill-monitor: receiving \"%s\"\n",
                             Escaped(source.name).c_str());
                std::fflush(stderr);
            }
            const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    Clock::now().time_since_epoch())
                                    .count();
            timing.Add(now, frame.timecode, frame.frameRateN, frame.frameRateD);
        }
    }
    const int64_t spanNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    return timing.Summarise(spanNs);
}
