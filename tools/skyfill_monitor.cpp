// skyfill-monitor: what a user without the NDI runtime uses to see Skyfill's output,
// and what end-to-end tests read. It reads the shared-memory segments that the
// built-in stand-in runtime publishes.
//
//   skyfill-monitor list
//       One line per live source, tab-separated: name, WIDTHxHEIGHT, FourCC (BGRX or
//       BGRA, "-" before the first frame), N/D frame rate, frames sent so far, and
//       frames per second: the frames published during half a second over the time
//       between the first and the last of them, by the sender's clock (0.00 when fewer
//       than two came). Removes segments left behind by processes that have ended.
//   skyfill-monitor save NAME FILE.png
//       Writes the source's latest frame as a 32-bit PNG, alpha bytes as sent.
//   skyfill-monitor metadata NAME
//       Prints the source's connection metadata text.
//
// Exit status: 0 on success, 1 when the source does not exist or the operation
// failed, 2 on wrong usage.

#include "ndi/ndi_abi.h"
#include "ndi/standin_segment.h"

#include <QImage>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr auto kRateWindow = std::chrono::milliseconds(500);

const char* FourCCText(uint32_t fourCC) {
    switch (fourCC) {
    case NDIlib_FourCC_video_type_BGRX:
        return "BGRX";
    case NDIlib_FourCC_video_type_BGRA:
        return "BGRA";
    default:
        return "-";
    }
}

int Usage() {
    std::fprintf(stderr, "usage: skyfill-monitor list\n"
                         "       skyfill-monitor save NAME FILE.png\n"
                         "       skyfill-monitor metadata NAME\n");
    return 2;
}

int List() {
    const std::vector<standin::SourceInfo> first = standin::ListLiveSources();
    if (!first.empty()) {
        std::this_thread::sleep_for(kRateWindow);
    }
    for (const standin::SourceInfo& source : first) {
        standin::SourceInfo now = source;
        const std::optional<standin::SegmentReader> reader =
            standin::SegmentReader::Open(source.segmentName);
        if (!reader || !reader->Read(now)) {
            continue; // went away while we measured
        }
        const uint64_t frames = now.frameCounter - source.frameCounter;
        const int64_t spanNs = now.lastFrameNs - source.lastFrameNs;
        const double rate = frames > 0 && spanNs > 0
                                ? static_cast<double>(frames) * 1e9 / static_cast<double>(spanNs)
                                : 0.0;
        std::printf("%s\t%dx%d\t%s\t%d/%d\t%llu\t%.2f\n", now.sourceName.c_str(), now.xres,
                    now.yres, FourCCText(now.fourCC), now.frameRateN, now.frameRateD,
                    static_cast<unsigned long long>(now.frameCounter), rate);
    }
    return 0;
}

// Reads the named source; prints the error and returns nothing when it is not live.
std::optional<standin::SourceInfo> ReadSource(const char* name, std::vector<uint8_t>* frame) {
    const std::string segment = standin::SegmentNameFor(name);
    const std::optional<standin::SegmentReader> reader =
        segment.empty() ? std::nullopt : standin::SegmentReader::Open(segment);
    standin::SourceInfo info;
    if (!reader || reader->Stale() || !reader->Read(info, frame)) {
        std::fprintf(stderr, "skyfill-monitor: no live source named \"%s\"\n", name);
        return std::nullopt;
    }
    return info;
}

int Save(const char* name, const char* file) {
    std::vector<uint8_t> frame;
    const std::optional<standin::SourceInfo> info = ReadSource(name, &frame);
    if (!info) {
        return 1;
    }
    if (info->fourCC == 0 || frame.empty()) {
        std::fprintf(stderr, "skyfill-monitor: source \"%s\" has not sent a frame yet\n", name);
        return 1;
    }
    // Blue, green, red, alpha bytes are a little-endian 0xAARRGGBB: straight
    // (not premultiplied) ARGB32, which the PNG writer keeps byte for byte.
    const QImage image(frame.data(), info->xres, info->yres, info->stride, QImage::Format_ARGB32);
    if (!image.save(QString::fromLocal8Bit(file), "PNG")) {
        std::fprintf(stderr, "skyfill-monitor: cannot write \"%s\"\n", file);
        return 1;
    }
    return 0;
}

int Metadata(const char* name) {
    const std::optional<standin::SourceInfo> info = ReadSource(name, nullptr);
    if (!info) {
        return 1;
    }
    std::printf("%s\n", info->metadata.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
        return List();
    }
    if (argc == 4 && std::strcmp(argv[1], "save") == 0) {
        return Save(argv[2], argv[3]);
    }
    if (argc == 3 && std::strcmp(argv[1], "metadata") == 0) {
        return Metadata(argv[2]);
    }
    return Usage();
}
