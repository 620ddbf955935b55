#pragma once

// How the built-in stand-in runtime publishes a source, and how a monitor reads it.
//
// Each live sender owns one POSIX shared-memory segment named
//     "/skyfill-ndi." + the source name, with every byte other than A-Z, a-z, 0-9,
//     '-' and '_' written as '%' and two upper-case hex digits
// (so "Kova Gradient 1" is "/skyfill-ndi.Kova%20Gradient%201", found on Linux as
// /dev/shm/skyfill-ndi.Kova%20Gradient%201). The segment starts with a SegmentHeader
// and holds the latest frame at offset headerBytes, rows packed top to bottom. Only
// the owner writes; everyone else maps it read-only. The owner's process id and start
// time identify segments left behind by a crashed process, which anyone may remove.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

inline constexpr std::string_view kSegmentPrefix = "/skyfill-ndi.";
inline constexpr char kMagic[8] = {'S', 'K', 'Y', 'F', 'N', 'D', 'I', '\0'};
inline constexpr uint32_t kLayoutVersion = 1;
inline constexpr std::size_t kSourceNameBytes = 256;
inline constexpr std::size_t kMetadataBytes = 4096;
inline constexpr uint32_t kHeaderBytes = 8192;
// Enough for one 4096 x 2160 frame of 4 bytes a pixel, the largest Skyfill sends.
inline constexpr uint64_t kFrameCapacity = uint64_t{4096} * 2160 * 4;

struct SegmentHeader {
    // Written once, before changeCounter first becomes even and non-zero.
    char magic[8];
    uint32_t layoutVersion;
    uint32_t headerBytes; // offset of the frame from the start of the segment
    uint64_t frameCapacity;
    int32_t ownerPid;
    uint32_t reserved;
    uint64_t ownerStartTime; // clock ticks after boot, as in /proc/<pid>/stat
    char sourceName[kSourceNameBytes];

    // Odd while the owner changes anything below or the frame; a reader that sees the
    // same even value before and after its copy has a consistent one.
    std::atomic<uint32_t> changeCounter;
    uint32_t metadataLength;
    char metadata[kMetadataBytes];
    int32_t xres;
    int32_t yres;
    uint32_t fourCC; // 0 until the first frame
    int32_t frameRateN;
    int32_t frameRateD;
    float aspect;
    int32_t stride; // always 4 x xres: rows are stored packed
    uint32_t frameBytes;
    uint64_t frameCounter; // frames sent so far
    int64_t lastFrameNs;   // CLOCK_MONOTONIC when the latest frame was published
};

static_assert(std::atomic<uint32_t>::is_always_lock_free, "shared between processes");
static_assert(offsetof(SegmentHeader, ownerPid) == 24);
static_assert(offsetof(SegmentHeader, sourceName) == 40);
static_assert(offsetof(SegmentHeader, changeCounter) == 296);
static_assert(offsetof(SegmentHeader, metadata) == 304);
static_assert(offsetof(SegmentHeader, xres) == 4400);
static_assert(offsetof(SegmentHeader, frameCounter) == 4432);
static_assert(sizeof(SegmentHeader) == 4448 && sizeof(SegmentHeader) <= kHeaderBytes);

// The segment name for a source, or empty when the name is empty or too long.
std::string SegmentNameFor(std::string_view sourceName);

// The start time of a process in clock ticks after boot, or 0 when unknown.
uint64_t ProcessStartTime(int32_t pid);

// True while the process that created a segment still runs.
bool OwnerAlive(int32_t pid, uint64_t startTime);

struct SourceInfo {
    std::string segmentName;
    std::string sourceName;
    std::string metadata;
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

// A read-only view of one segment.
class SegmentReader {
public:
    static std::optional<SegmentReader> Open(const std::string& segmentName);
    SegmentReader(SegmentReader&& other) noexcept;
    SegmentReader& operator=(SegmentReader&&) = delete;
    ~SegmentReader();

    // A consistent copy of the header, and of the frame when `frame` is given.
    // False when the segment is not (or not yet) a valid stand-in segment, or when the
    // owner kept changing it for every attempt.
    bool Read(SourceInfo& info, std::vector<uint8_t>* frame = nullptr) const;

    // True when the segment was left behind by a process that has ended, or never
    // became valid and is older than a few seconds.
    bool Stale() const;

private:
    SegmentReader(std::string name, const uint8_t* base, std::size_t bytes, int64_t ctimeSec);
    std::string m_name;
    const uint8_t* m_base;
    std::size_t m_bytes;
    int64_t m_ctimeSec;
};

// Names of all stand-in segments on this machine, live or stale, sorted.
std::vector<std::string> ListSegments();

// Every live source, sorted by source name. Stale segments met on the way are removed.
std::vector<SourceInfo> ListLiveSources();

// Removes one segment if it is stale; true when it was removed.
bool RemoveIfStale(const std::string& segmentName);

} // namespace standin
