#pragma once

// Reading a stand-in segment that anyone on the machine may have made: it is opened
// without blocking or following links, only when it is a regular shared-memory object of
// the expected owner, and read with pread into private copies, so a segment that shrinks
// or lies about its sizes gives an error instead of a fault.

#include "ndi_standin/standin_segment.h"

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace standin {

struct SourceInfo {
    std::string segmentName;
    std::string sourceName;
    std::string metadata;
    uid_t ownerUid = 0;
    int32_t ownerPid = 0;
    int32_t xres = 0;
    int32_t yres = 0;
    uint32_t fourCC = 0;
    int32_t frameRateN = 0;
    int32_t frameRateD = 0;
    float aspect = 0;
    int32_t stride = 0;
    uint64_t frameCounter = 0;
    int64_t lastFrameNs = 0;
};

class SegmentReader {
public:
    // Nothing when the object is missing, not a regular file, a link, owned by anyone but
    // `owner`, or unreadable; `error` (when given) then holds the errno that says why.
    static std::optional<SegmentReader> Open(const std::string& segmentName, uid_t owner,
                                             int* error = nullptr);
    SegmentReader(SegmentReader&& other) noexcept;
    SegmentReader& operator=(SegmentReader&&) = delete;
    SegmentReader(const SegmentReader&) = delete;
    SegmentReader& operator=(const SegmentReader&) = delete;
    ~SegmentReader();

    enum class Outcome { Read, NotReady, Damaged, Busy };

    // A consistent copy of the header, and of the frame when `frame` is given. NotReady
    // while the owner has not filled it in, Busy when the owner kept changing it for a
    // quarter of a second (a frame is copied in much sooner), Damaged (with a one-line
    // `problem`) when its fields contradict each other or the object's size.
    Outcome Read(SourceInfo& info, std::vector<uint8_t>* frame = nullptr,
                 std::string* problem = nullptr) const;

    // True when the segment was left behind by a process that has ended, or never
    // became valid and is older than a few seconds.
    bool Stale() const;

    const std::string& Name() const { return m_name; }

private:
    SegmentReader(std::string name, int fd, uid_t owner, int64_t ctimeSec);
    std::string m_name;
    int m_fd;
    uid_t m_owner;
    int64_t m_ctimeSec;
};

} // namespace standin
