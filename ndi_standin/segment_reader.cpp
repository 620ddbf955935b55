#include "ndi_standin/segment_reader.h"

#include "ndi/ndi_abi.h"
#include "render/frame_limits.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace standin {

namespace {

// The owner holds its segment while it copies a frame in: a few milliseconds for the
// largest, longer when it is preempted on a busy machine. A reader waits that out,
// yielding at first and then sleeping, but not for an owner stopped or hung in the
// middle of a frame: after this long the segment counts as busy.
constexpr int kYieldingAttempts = 200;
constexpr int64_t kBusyWaitNs = 250'000'000;
constexpr timespec kBusyPause{0, 200'000};

int64_t MonotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1'000'000'000 + now.tv_nsec;
}

// A segment whose header never became valid is left over from a creator that died
// between creating and filling it; this long after creation it is considered stale.
constexpr int64_t kUnfinishedSegmentSeconds = 5;

// A private copy of SegmentHeader: plain fields, filled by pread, never shared.
struct HeaderCopy {
    char magic[8];
    uint32_t layoutVersion;
    uint32_t headerBytes;
    uint64_t frameCapacity;
    int32_t ownerPid;
    uint32_t reserved;
    uint64_t ownerStartTime;
    char sourceName[kSourceNameBytes];
    uint32_t changeCounter;
    uint32_t metadataLength;
    char metadata[kMetadataBytes];
    int32_t xres;
    int32_t yres;
    uint32_t fourCC;
    int32_t frameRateN;
    int32_t frameRateD;
    float aspect;
    int32_t stride;
    uint32_t frameBytes;
    uint64_t frameCounter;
    int64_t lastFrameNs;
};
static_assert(sizeof(HeaderCopy) == sizeof(SegmentHeader));
static_assert(offsetof(HeaderCopy, changeCounter) == offsetof(SegmentHeader, changeCounter));
static_assert(offsetof(HeaderCopy, xres) == offsetof(SegmentHeader, xres));
static_assert(offsetof(HeaderCopy, lastFrameNs) == offsetof(SegmentHeader, lastFrameNs));

constexpr off_t kCounterOffset = offsetof(SegmentHeader, changeCounter);

bool ReadFully(int fd, void* into, std::size_t bytes, off_t at) {
    auto* out = static_cast<uint8_t*>(into);
    while (bytes > 0) {
        const ssize_t got = pread(fd, out, bytes, at);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false; // shrunk under us, or unreadable
        }
        out += got;
        at += got;
        bytes -= static_cast<std::size_t>(got);
    }
    return true;
}

bool Identified(const HeaderCopy& h) {
    return std::memcmp(h.magic, kMagic, sizeof kMagic) == 0 && h.layoutVersion == kLayoutVersion;
}

// Why the fields cannot describe a frame in an object of `objectBytes`; null when they do.
const char* Contradiction(const HeaderCopy& h, uint64_t objectBytes) {
    if (!Identified(h)) {
        return "it is not a stand-in segment";
    }
    if (h.headerBytes != kHeaderBytes || h.frameCapacity > kFrameCapacity) {
        return "its header has the wrong layout";
    }
    if (strnlen(h.sourceName, kSourceNameBytes) == kSourceNameBytes ||
        h.metadataLength > kMetadataBytes) {
        return "its name or metadata overruns the header";
    }
    if (h.fourCC == 0) {
        return h.frameBytes == 0 ? nullptr : "it holds a frame without a format";
    }
    if (h.fourCC != NDIlib_FourCC_video_type_BGRX && h.fourCC != NDIlib_FourCC_video_type_BGRA &&
        h.fourCC != NDIlib_FourCC_video_type_UYVY) {
        return "its frame format is unknown";
    }
    if (h.xres < 1 || h.xres > frame_limits::kMaxWidth || h.yres < 1 ||
        h.yres > frame_limits::kMaxHeight) {
        return "its frame size is out of range";
    }
    const uint64_t rowBytes = RowBytes(h.fourCC, h.xres);
    if (rowBytes == 0) { // past the checks above, only an odd UYVY width has no row size
        return "its UYVY frame has an odd width";
    }
    if (static_cast<uint64_t>(h.stride) != rowBytes ||
        uint64_t{h.frameBytes} != rowBytes * static_cast<uint64_t>(h.yres)) {
        return "its frame size, stride and byte count disagree";
    }
    if (h.frameRateN <= 0 || h.frameRateD <= 0) {
        return "its frame rate is not positive";
    }
    if (objectBytes < uint64_t{h.headerBytes} + h.frameBytes) {
        return "it is shorter than the frame its header describes";
    }
    return nullptr;
}

void CopyOut(const HeaderCopy& h, SourceInfo& info) {
    info.sourceName.assign(h.sourceName, strnlen(h.sourceName, kSourceNameBytes));
    info.ownerPid = h.ownerPid;
    info.metadata.assign(h.metadata, h.metadataLength);
    info.xres = h.xres;
    info.yres = h.yres;
    info.fourCC = h.fourCC;
    info.frameRateN = h.frameRateN;
    info.frameRateD = h.frameRateD;
    info.aspect = h.aspect;
    info.stride = h.stride;
    info.frameCounter = h.frameCounter;
    info.lastFrameNs = h.lastFrameNs;
}

} // namespace

std::optional<SegmentReader> SegmentReader::Open(const std::string& segmentName, uid_t owner,
                                                 int* error) {
    int ignored = 0;
    int& why = error != nullptr ? *error : ignored;
    // Non-blocking: a FIFO under a segment's name must not stall the caller.
    const int fd = shm_open(segmentName.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0);
    if (fd < 0) {
        why = errno;
        return std::nullopt;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != owner) {
        why = EPERM;
        close(fd);
        return std::nullopt;
    }
    return SegmentReader(segmentName, fd, owner, st.st_ctim.tv_sec);
}

SegmentReader::SegmentReader(std::string name, int fd, uid_t owner, int64_t ctimeSec)
    : m_name(std::move(name)), m_fd(fd), m_owner(owner), m_ctimeSec(ctimeSec) {}

SegmentReader::SegmentReader(SegmentReader&& other) noexcept
    : m_name(std::move(other.m_name)), m_fd(other.m_fd), m_owner(other.m_owner),
      m_ctimeSec(other.m_ctimeSec) {
    other.m_fd = -1;
}

SegmentReader::~SegmentReader() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

SegmentReader::Outcome SegmentReader::Read(SourceInfo& info, std::vector<uint8_t>* frame,
                                           std::string* problem) const {
    auto damaged = [&](const char* why) {
        if (problem != nullptr) {
            *problem = why;
        }
        return Outcome::Damaged;
    };
    // The header is large; one copy for every attempt is kept off the stack.
    auto h = std::make_unique<HeaderCopy>();
    const int64_t giveUpNs = MonotonicNs() + kBusyWaitNs;
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0) {
            if (MonotonicNs() > giveUpNs) {
                return Outcome::Busy;
            }
            if (attempt < kYieldingAttempts) {
                sched_yield();
            } else {
                nanosleep(&kBusyPause, nullptr);
            }
        }
        struct stat st {};
        if (fstat(m_fd, &st) != 0) {
            return damaged("it cannot be examined");
        }
        const bool whole = ReadFully(m_fd, h.get(), sizeof(HeaderCopy), 0);
        if (!whole) {
            // Created but not yet sized, or cut to less than a header.
            if (std::time(nullptr) - m_ctimeSec <= kUnfinishedSegmentSeconds) {
                return Outcome::NotReady;
            }
            return damaged("it is shorter than its header");
        }
        const uint32_t before = h->changeCounter;
        if (before == 0) {
            return Outcome::NotReady; // the owner has not filled it in yet
        }
        if ((before & 1) != 0) {
            continue;
        }
        const char* contradiction = Contradiction(*h, static_cast<uint64_t>(st.st_size));
        bool copied = contradiction == nullptr;
        if (copied && frame != nullptr) {
            frame->resize(h->frameBytes);
            copied = ReadFully(m_fd, frame->data(), h->frameBytes, h->headerBytes);
        }
        uint32_t after = 0;
        if (!ReadFully(m_fd, &after, sizeof after, kCounterOffset)) {
            continue; // shrunk below the header while we read: judged on the next attempt
        }
        if (after != before) {
            continue; // torn: the owner changed it while we copied
        }
        if (contradiction != nullptr) {
            return damaged(contradiction);
        }
        if (!copied) {
            continue; // shrunk and regrown while the frame was copied
        }
        info.segmentName = m_name;
        info.ownerUid = m_owner;
        CopyOut(*h, info);
        return Outcome::Read;
    }
}

bool SegmentReader::Stale() const {
    HeaderCopy h{};
    if (ReadFully(m_fd, &h, sizeof h, 0) && h.changeCounter != 0 && Identified(h)) {
        return !OwnerAlive(h.ownerPid, h.ownerStartTime);
    }
    return std::time(nullptr) - m_ctimeSec > kUnfinishedSegmentSeconds;
}

} // namespace standin
