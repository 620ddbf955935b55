#include "ndi_standin/standin_runtime.h"

#include "ndi_standin/frame_clock.h"
#include "ndi_standin/segment_directory.h"
#include "ndi_standin/seqlock_fence.h"
#include "ndi_standin/standin_segment.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace standin {

namespace {

struct Sender {
    std::string segmentName;
    int fd = -1;
    uint8_t* base = nullptr;
    std::size_t mapBytes = 0;
    SegmentHeader* header = nullptr;
    // Bytes of the segment known to be backed by memory; writing past them could
    // fault when shared memory runs out, so they are reserved before use.
    uint64_t reservedBytes = 0;
    bool clockVideo = false;
    FrameClock clock;
    PacingTimer* timer = nullptr;
};

std::mutex g_sendersMutex;
std::set<const Sender*> g_senders;
std::atomic<PacingTimer*> g_timer{nullptr};

Sender* Live(NDIlib_send_instance_t instance) {
    auto* sender = reinterpret_cast<Sender*>(instance);
    const std::lock_guard lock(g_sendersMutex);
    return g_senders.count(sender) != 0 ? sender : nullptr;
}

// Brackets a change of the segment's changing part for readers in other processes.
class ChangeScope {
public:
    explicit ChangeScope(SegmentHeader& h) : m_h(h) {
        m_h.changeCounter.fetch_add(1, std::memory_order_relaxed);
        SegmentFence(std::memory_order_release);
    }
    ~ChangeScope() { m_h.changeCounter.fetch_add(1, std::memory_order_release); }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

private:
    SegmentHeader& m_h;
};

bool Reserve(Sender& s, uint64_t bytes) {
    if (bytes <= s.reservedBytes) {
        return true;
    }
    // posix_fallocate returns its error instead of setting errno.
    if (const int error = posix_fallocate(s.fd, 0, static_cast<off_t>(bytes)); error != 0) {
        errno = error;
        return false;
    }
    s.reservedBytes = bytes;
    return true;
}

// Creates the user's segment for `sourceName` exclusively and says its name. A stale
// segment of the user's under the name is reclaimed; a name squatted by anything else
// (another user's object, a link, a FIFO) is given up for an alternate. A live sender of
// the user's under any of the source's names keeps it: EEXIST.
int CreateSegment(const std::string& sourceName, std::string& segmentName) {
    const uid_t user = geteuid();
    if (FindSource(sourceName, user)) {
        errno = EEXIST;
        return -1;
    }
    constexpr int kAlternates = 4;
    for (int candidate = 0; candidate <= kAlternates; ++candidate) {
        segmentName = candidate == 0 ? SegmentNameFor(sourceName, user)
                                     : AlternateSegmentNameFor(sourceName, user);
        if (segmentName.empty()) {
            errno = EINVAL;
            return -1;
        }
        int error = 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            const int fd = shm_open(segmentName.c_str(),
                                    O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                                    S_IRUSR | S_IWUSR);
            if (fd >= 0) {
                // The umask may have taken the owner's own bits away.
                fchmod(fd, S_IRUSR | S_IWUSR);
                return fd;
            }
            error = errno;
            if (error != EEXIST || !RemoveIfStale(segmentName)) {
                break;
            }
        }
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
        if (const auto own = SegmentReader::Open(segmentName, user); own && !own->Stale()) {
            errno = EEXIST; // a sender of the user's got there first
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

bool Initialize() {
    return true;
}

void Destroy() {}

const char* Version() {
    return kVersionText;
}

NDIlib_send_instance_t SendCreate(const NDIlib_send_create_t* settings) {
    std::string sourceName;
    if (settings != nullptr && settings->p_ndi_name != nullptr) {
        sourceName = settings->p_ndi_name;
    } else {
        sourceName = "Skyfill stand-in " + std::to_string(getpid());
    }
    std::string segmentName;
    const int fd = CreateSegment(sourceName, segmentName);
    if (fd < 0) {
        return nullptr;
    }
    auto sender = std::make_unique<Sender>();
    sender->segmentName = segmentName;
    sender->fd = fd;
    sender->mapBytes = kHeaderBytes + kFrameCapacity;
    sender->clockVideo = settings != nullptr && settings->clock_video;
    PacingTimer* timer = g_timer.load();
    sender->timer = timer != nullptr ? timer : &MonotonicTimer();
    void* map = MAP_FAILED;
    if (ftruncate(fd, static_cast<off_t>(sender->mapBytes)) == 0 &&
        Reserve(*sender, kHeaderBytes)) {
        map = mmap(nullptr, sender->mapBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    }
    if (map == MAP_FAILED) {
        const int error = errno;
        close(fd);
        shm_unlink(segmentName.c_str());
        errno = error;
        return nullptr;
    }
    sender->base = static_cast<uint8_t*>(map);
    sender->header = reinterpret_cast<SegmentHeader*>(map);
    SegmentHeader& h = *sender->header;
    {
        // The counter goes from 0 to 2: readers ignore the segment until then.
        const ChangeScope change(h);
        std::memcpy(h.magic, kMagic, sizeof kMagic);
        h.layoutVersion = kLayoutVersion;
        h.headerBytes = kHeaderBytes;
        h.frameCapacity = kFrameCapacity;
        h.ownerPid = getpid();
        h.ownerStartTime = ProcessStartTime(h.ownerPid);
        std::memcpy(h.sourceName, sourceName.data(), sourceName.size());
    }
    const std::lock_guard lock(g_sendersMutex);
    g_senders.insert(sender.get());
    return reinterpret_cast<NDIlib_send_instance_t>(sender.release());
}

void SendDestroy(NDIlib_send_instance_t instance) {
    Sender* sender = nullptr;
    {
        const std::lock_guard lock(g_sendersMutex);
        sender = reinterpret_cast<Sender*>(instance);
        if (g_senders.erase(sender) == 0) {
            return;
        }
    }
    munmap(sender->base, sender->mapBytes);
    close(sender->fd);
    shm_unlink(sender->segmentName.c_str());
    delete sender;
}

void AddConnectionMetadata(NDIlib_send_instance_t instance, const NDIlib_metadata_frame_t* item) {
    Sender* sender = Live(instance);
    if (sender == nullptr || item == nullptr || item->p_data == nullptr) {
        return;
    }
    // A length of 0 means a zero-terminated text; a terminator inside the given
    // length ends the text there.
    const std::size_t length = item->length > 0
                                   ? strnlen(item->p_data, static_cast<std::size_t>(item->length))
                                   : std::strlen(item->p_data);
    SegmentHeader& h = *sender->header;
    if (length > kMetadataBytes - h.metadataLength) {
        return;
    }
    const ChangeScope change(h);
    std::memcpy(h.metadata + h.metadataLength, item->p_data, length);
    h.metadataLength += static_cast<uint32_t>(length);
}

void Publish(Sender& s, const NDIlib_video_frame_v2_t& frame) {
    const uint64_t rowBytes = RowBytes(static_cast<uint32_t>(frame.FourCC), frame.xres);
    if (frame.p_data == nullptr || rowBytes == 0 || frame.yres <= 0) {
        return;
    }
    const uint64_t frameBytes = rowBytes * static_cast<uint64_t>(frame.yres);
    // A stride of 0 means packed rows, as in the vendor runtime.
    const uint64_t stride = frame.line_stride_in_bytes == 0
                                ? rowBytes
                                : static_cast<uint64_t>(std::max(frame.line_stride_in_bytes, 0));
    if (stride < rowBytes || frameBytes > kFrameCapacity ||
        !Reserve(s, kHeaderBytes + frameBytes)) {
        return;
    }
    SegmentHeader& h = *s.header;
    const ChangeScope change(h);
    h.xres = frame.xres;
    h.yres = frame.yres;
    h.fourCC = static_cast<uint32_t>(frame.FourCC);
    h.frameRateN = frame.frame_rate_N;
    h.frameRateD = frame.frame_rate_D;
    h.aspect = frame.picture_aspect_ratio;
    h.stride = static_cast<int32_t>(rowBytes);
    h.frameBytes = static_cast<uint32_t>(frameBytes);
    uint8_t* out = s.base + kHeaderBytes;
    if (stride == rowBytes) {
        std::memcpy(out, frame.p_data, frameBytes);
    } else {
        for (int32_t y = 0; y < frame.yres; ++y) {
            std::memcpy(out + y * rowBytes, frame.p_data + y * stride, rowBytes);
        }
    }
    ++h.frameCounter;
    h.lastFrameNs = s.timer->NowNs();
}

enum class Repeat { Counted, Refused, PublishWhole };

// The pixels already in the segment go out again: a frame count and a time, and the
// FourCC, which may change without a new picture. Anything else that differs from the
// frame published last is published whole.
Repeat Republish(Sender& s, const NDIlib_video_frame_v2_t& frame) {
    SegmentHeader& h = *s.header;
    if (h.frameCounter == 0 || h.xres != frame.xres || h.yres != frame.yres ||
        h.frameRateN != frame.frame_rate_N || h.frameRateD != frame.frame_rate_D) {
        return Repeat::PublishWhole;
    }
    // The repeat's pixels are the stored ones, so a FourCC that gives their rows another
    // size (BGRX for UYVY, or the reverse) cannot describe them, and the caller's buffer
    // may be too short to publish whole from.
    if (RowBytes(static_cast<uint32_t>(frame.FourCC), frame.xres) !=
        static_cast<uint64_t>(h.stride)) {
        return Repeat::Refused;
    }
    const ChangeScope change(h);
    h.fourCC = static_cast<uint32_t>(frame.FourCC);
    ++h.frameCounter;
    h.lastFrameNs = s.timer->NowNs();
    return Repeat::Counted;
}

void Pace(Sender& sender, const NDIlib_video_frame_v2_t& frame) {
    if (sender.clockVideo) {
        PacingTimer& timer = *sender.timer;
        timer.SleepUntilNs(
            sender.clock.Schedule(timer.NowNs(), frame.frame_rate_N, frame.frame_rate_D));
    }
}

void SendVideo(NDIlib_send_instance_t instance, const NDIlib_video_frame_v2_t* frame) {
    Sender* sender = Live(instance);
    if (sender == nullptr || frame == nullptr) {
        return;
    }
    Pace(*sender, *frame);
    Publish(*sender, *frame);
}

void RepeatVideo(NDIlib_send_instance_t instance, const NDIlib_video_frame_v2_t* frame) {
    Sender* sender = Live(instance);
    if (sender == nullptr || frame == nullptr) {
        return;
    }
    Pace(*sender, *frame);
    if (Republish(*sender, *frame) == Repeat::PublishWhole) {
        Publish(*sender, *frame);
    }
}

} // namespace

void UsePacingTimer(PacingTimer* timer) {
    g_timer.store(timer);
}

NdiRuntimeApi Api() {
    NdiRuntimeApi api;
    api.initialize = &Initialize;
    api.destroy = &Destroy;
    api.version = &Version;
    api.send_create = &SendCreate;
    api.send_destroy = &SendDestroy;
    api.send_send_video_v2 = &SendVideo;
    api.send_add_connection_metadata = &AddConnectionMetadata;
    api.send_repeat_video = &RepeatVideo;
    return api;
}

} // namespace standin
