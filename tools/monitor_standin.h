#pragma once

// skyfill-monitor's side for the built-in stand-in runtime's shared-memory sources.

#include "ndi_standin/segment_reader.h"
#include "tools/frame_timing.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// What `list` tells of one stand-in source (see skyfill_monitor.cpp for the fields).
struct ListedStandIn {
    struct Figures {
        int32_t width = 0;
        int32_t height = 0;
        uint32_t fourCC = 0; // 0 before the first frame
        int32_t rateN = 0;
        int32_t rateD = 0;
        uint64_t frames = 0;
        double framesPerSecond = 0;
    };
    std::string name;
    uid_t owner = 0;
    std::optional<Figures> figures; // none for another user's source this user may not read
};

// The live sources of this user, or of every user; removes this user's segments left
// behind by processes that have ended.
std::vector<ListedStandIn> ListStandInSources(bool allUsers);

// Whether `user` has a stand-in segment that claims `name` (live or damaged).
bool StandInSourceExists(const std::string& name, uid_t user);

// Reads the named source; prints a one-line error and returns nothing when it is not
// live or cannot be trusted.
std::optional<standin::SourceInfo> ReadStandInSource(const std::string& name, uid_t user,
                                                     std::vector<uint8_t>* frame);

// Watches the source for `seconds`; nothing (after saying why) when it cannot be read.
std::optional<FrameTiming::Summary> WatchStandInSource(const std::string& name, uid_t user,
                                                       double seconds);
