#pragma once

// How the built-in stand-in runtime publishes a source, and how a monitor reads it.
//
// Each live sender owns one POSIX shared-memory segment in its user's namespace:
//     "/skyfill-ndi." + the owner's user id + "." + the source name, with every byte
//     other than A-Z, a-z, 0-9, '-' and '_' written as '%' and two upper-case hex digits
// (so user 1000's "Kova Gradient 1" is /dev/shm/skyfill-ndi.1000.Kova%20Gradient%201).
// Anyone may create files in /dev/shm, so a name squatted by something that is not the
// user's own segment is given up for one with a random suffix "~" + 8 hex digits; the
// source name in the header, not the segment name, says which source a segment is.
// Segments are mode 0600 and owned by the user in their name; anything else under such a
// name is ignored. The segment starts with a SegmentHeader and holds the latest frame at
// offset headerBytes, rows packed top to bottom. Only the owner writes. The owner's
// process id and start time identify segments left behind by a crashed process, which
// the same user may remove.

#include "render/frame_limits.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace standin {

inline constexpr std::string_view kSegmentPrefix = "/skyfill-ndi.";
// The prefix of this process's segment names: kSegmentPrefix, or, when the tests'
// SKYFILL_STANDIN_SCOPE is set, SegmentPrefixFor(that scope), so that test processes
// running side by side (and the programs each starts) see only their own sources.
const std::string& SegmentPrefix();
// kSegmentPrefix for a null or empty scope, else "/skyfill-ndi-" + the scope encoded
// as source names are + ".".
std::string SegmentPrefixFor(const char* scope);
inline constexpr char kAlternateMark = '~';
inline constexpr char kMagic[8] = {'S', 'K', 'Y', 'F', 'N', 'D', 'I', '\0'};
inline constexpr uint32_t kLayoutVersion = 1;
inline constexpr std::size_t kSourceNameBytes = 256;
inline constexpr std::size_t kMetadataBytes = 4096;
inline constexpr uint32_t kHeaderBytes = 8192;
// Room for the largest frame. Readers refuse a segment that claims more, so another size
// needs a new layout version.
inline constexpr uint64_t kFrameCapacity = frame_limits::kMaxBytes;
static_assert(kFrameCapacity == 35'389'440, "part of the segment layout");

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
    int32_t stride; // bytes per row: 4 x xres, or 2 x xres for UYVY (rows are stored packed)
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

// Bytes of one packed row of `width` pixels in `fourCC`, or 0 when the stand-in does not
// publish that format at that width: UYVY shares each U and V between a pair of pixels, so
// its width must be even.
uint64_t RowBytes(uint32_t fourCC, int32_t width);

// The first-choice segment name for a user's source, or empty when the source name is
// empty or too long.
std::string SegmentNameFor(std::string_view sourceName, uid_t user);

// The same with a random alternate suffix, for when the first choice is squatted.
std::string AlternateSegmentNameFor(std::string_view sourceName, uid_t user);

struct ParsedSegmentName {
    uid_t user = 0;
    std::string sourceName; // decoded from the segment name: a claim, not a fact
    bool alternate = false;
};

// Splits a segment name ("/skyfill-ndi....") into its parts; nothing when it is not one.
std::optional<ParsedSegmentName> ParseSegmentName(std::string_view segmentName);

// The start time of a process in clock ticks after boot, or 0 when unknown.
uint64_t ProcessStartTime(int32_t pid);

// True while the process that created a segment still runs.
bool OwnerAlive(int32_t pid, uint64_t startTime);

} // namespace standin
