#include "ndi_standin/segment_directory.h"

#include <algorithm>
#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>

namespace standin {

std::vector<std::string> ListSegments(std::optional<uid_t> user) {
    std::vector<std::string> names;
    DIR* dir = opendir("/dev/shm");
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = "/" + std::string(entry->d_name);
        const std::optional<ParsedSegmentName> parsed = ParseSegmentName(name);
        if (parsed && (!user || parsed->user == *user)) {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<SegmentReader> FindSource(std::string_view sourceName, uid_t user) {
    const std::string first = SegmentNameFor(sourceName, user);
    if (first.empty()) {
        return std::nullopt;
    }
    // The first choice, then its alternates: the name in the header decides.
    for (const std::string& name : ListSegments(user)) {
        if (name != first && name.compare(0, first.size() + 1, first + kAlternateMark) != 0) {
            continue;
        }
        std::optional<SegmentReader> reader = SegmentReader::Open(name, user);
        if (!reader || reader->Stale()) {
            continue;
        }
        SourceInfo info;
        const SegmentReader::Outcome outcome = reader->Read(info);
        if (outcome == SegmentReader::Outcome::Damaged ||
            (outcome == SegmentReader::Outcome::Read && info.sourceName == sourceName)) {
            return reader;
        }
    }
    return std::nullopt;
}

bool RemoveIfStale(const std::string& segmentName) {
    // Only the caller's own segments: /dev/shm is shared, and root must not clear away
    // what belongs to other users.
    const std::optional<SegmentReader> reader = SegmentReader::Open(segmentName, geteuid());
    return reader && reader->Stale() && shm_unlink(segmentName.c_str()) == 0;
}

std::vector<SourceInfo> ListLiveSources(std::optional<uid_t> user) {
    std::vector<SourceInfo> sources;
    for (const std::string& name : ListSegments(user)) {
        const std::optional<ParsedSegmentName> parsed = ParseSegmentName(name);
        const std::optional<SegmentReader> reader = SegmentReader::Open(name, parsed->user);
        if (!reader) {
            continue;
        }
        if (reader->Stale()) {
            if (parsed->user == geteuid()) {
                shm_unlink(name.c_str());
            }
            continue;
        }
        SourceInfo info;
        if (reader->Read(info) == SegmentReader::Outcome::Read) {
            sources.push_back(std::move(info));
        }
    }
    std::sort(sources.begin(), sources.end(),
              [](const SourceInfo& a, const SourceInfo& b) { return a.sourceName < b.sourceName; });
    return sources;
}

} // namespace standin
