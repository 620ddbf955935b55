#pragma once

// Finding stand-in segments in /dev/shm: by user, by source name, and the live ones.

#include "ndi_standin/segment_reader.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace standin {

// Names of the stand-in segments of `user` (of every user when not given), live or
// stale, sorted. Only names of the stand-in's form are listed.
std::vector<std::string> ListSegments(std::optional<uid_t> user);

// The live segment that publishes `sourceName` for `user`, opened; nothing when there is
// none. A damaged one is still returned: its Read says what is wrong.
std::optional<SegmentReader> FindSource(std::string_view sourceName, uid_t user);

// Every live source of `user` (of every user when not given) that can be read, sorted by
// source name. The caller's own stale segments met on the way are removed.
std::vector<SourceInfo> ListLiveSources(std::optional<uid_t> user);

// Removes one of the caller's own segments if it is stale; true when it was removed.
bool RemoveIfStale(const std::string& segmentName);

} // namespace standin
