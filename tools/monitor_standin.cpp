#include "tools/monitor_standin.h"

#include "ndi_standin/segment_directory.h"
#include "tools/escaped_text.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRateWindow = std::chrono::milliseconds(500);

// Another user's segment this user may not open: its name and owner are all there is.
void AddUnreadable(const std::vector<standin::SourceInfo>& readable,
                   std::vector<ListedStandIn>& listed) {
    for (const std::string& name : standin::ListSegments(std::nullopt)) {
        const std::optional<standin::ParsedSegmentName> parsed = standin::ParseSegmentName(name);
        bool shown = false;
        for (const standin::SourceInfo& source : readable) {
            shown = shown || source.segmentName == name;
        }
        int error = 0;
        if (shown || parsed->user == geteuid() ||
            standin::SegmentReader::Open(name, parsed->user, &error) || error != EACCES) {
            continue;
        }
        listed.push_back({parsed->sourceName, parsed->user, std::nullopt});
    }
}

} // namespace

std::vector<ListedStandIn> ListStandInSources(bool allUsers) {
    const std::optional<uid_t> user = allUsers ? std::nullopt : std::optional<uid_t>(geteuid());
    const std::vector<standin::SourceInfo> first = standin::ListLiveSources(user);
    if (!first.empty()) {
        std::this_thread::sleep_for(kRateWindow);
    }
    std::vector<ListedStandIn> listed;
    for (const standin::SourceInfo& source : first) {
        standin::SourceInfo now = source;
        const std::optional<standin::SegmentReader> reader =
            standin::SegmentReader::Open(source.segmentName, source.ownerUid);
        if (!reader || reader->Read(now) != standin::SegmentReader::Outcome::Read) {
            continue; // went away while we measured
        }
        listed.push_back(
            {now.sourceName, now.ownerUid,
             ListedStandIn::Figures{now.xres, now.yres, now.fourCC, now.frameRateN, now.frameRateD,
                                    now.frameCounter,
                                    RateBetween({source.frameCounter, source.lastFrameNs},
                                                {now.frameCounter, now.lastFrameNs})}});
    }
    if (allUsers) {
        AddUnreadable(first, listed);
    }
    return listed;
}

bool StandInSourceExists(const std::string& name, uid_t user) {
    return standin::FindSource(name, user).has_value();
}

std::optional<standin::SourceInfo> ReadStandInSource(const std::string& name, uid_t user,
                                                     std::vector<uint8_t>* frame) {
    const std::string shown = Escaped(name);
    const std::optional<standin::SegmentReader> reader = standin::FindSource(name, user);
    standin::SourceInfo info;
    std::string problem;
    switch (reader ? reader->Read(info, frame, &problem)
                   : standin::SegmentReader::Outcome::NotReady) {
    case standin::SegmentReader::Outcome::Read:
        return info;
    case standin::SegmentReader::Outcome::Damaged:
        std::fprintf(stderr, "skyfill-monitor: source \"%s\" cannot be read: %s\n", shown.c_str(),
                     problem.c_str());
        return std::nullopt;
    case standin::SegmentReader::Outcome::Busy:
        std::fprintf(stderr, "skyfill-monitor: source \"%s\" kept changing while it was read\n",
                     shown.c_str());
        return std::nullopt;
    case standin::SegmentReader::Outcome::NotReady:
        break;
    }
    std::fprintf(stderr, "skyfill-monitor: no live source named \"%s\"\n", shown.c_str());
    return std::nullopt;
}

std::optional<FrameTiming::Summary> WatchStandInSource(const std::string& name, uid_t user,
                                                       double seconds) {
    std::optional<standin::SourceInfo> last = ReadStandInSource(name, user, nullptr);
    if (!last) {
        return std::nullopt;
    }
    const std::optional<standin::SegmentReader> reader = standin::FindSource(name, user);
    FrameTiming timing;
    const Clock::time_point start = Clock::now();
    const auto span =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (reader && Clock::now() - start < span) {
        // The sender's publication times stand in for timecodes: a frame the monitor
        // missed between two looks shows as a skipped period.
        standin::SourceInfo now;
        if (reader->Read(now) == standin::SegmentReader::Outcome::Read &&
            now.frameCounter != last->frameCounter) {
            timing.Add(now.lastFrameNs, now.lastFrameNs / 100, now.frameRateN, now.frameRateD);
            last = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const int64_t spanNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    return timing.Summarise(spanNs);
}
