#include "ndi/standin_segment.h"

#include "ndi/seqlock_fence.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace standin {

namespace {

constexpr int kReadAttempts = 200;
// A segment whose header never became valid is left over from a creator that died
// between creating and filling it; this long after creation it is considered stale.
constexpr int64_t kUnfinishedSegmentSeconds = 5;

bool HeaderValid(const SegmentHeader& h, std::size_t bytes) {
    return std::memcmp(h.magic, kMagic, sizeof kMagic) == 0 && h.layoutVersion == kLayoutVersion &&
           h.headerBytes >= sizeof(SegmentHeader) && h.headerBytes <= bytes;
}

} // namespace

std::string SegmentNameFor(std::string_view sourceName) {
    if (sourceName.empty()) {
        return {};
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name(kSegmentPrefix);
    for (const char c : sourceName) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '_') {
            name += c;
        } else {
            name += '%';
            name += kHex[byte >> 4];
            name += kHex[byte & 15];
        }
    }
    // A file name in /dev/shm has at most 255 bytes (without the leading '/').
    if (name.size() - 1 > 255 || sourceName.size() >= kSourceNameBytes) {
        return {};
    }
    return name;
}

uint64_t ProcessStartTime(int32_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    FILE* file = std::fopen(path, "re");
    if (file == nullptr) {
        return 0;
    }
    char buffer[1024];
    const std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    buffer[got] = '\0';
    // The command name may contain blanks and parentheses; fields are counted from
    // the last ')'. The start time is field 22, the 20th after it.
    const char* p = std::strrchr(buffer, ')');
    if (p == nullptr) {
        return 0;
    }
    for (int field = 0; field < 20 && p != nullptr; ++field) {
        p = std::strchr(p + 1, ' ');
    }
    return p == nullptr ? 0 : std::strtoull(p + 1, nullptr, 10);
}

bool OwnerAlive(int32_t pid, uint64_t startTime) {
    if (pid <= 0) {
        return false;
    }
    if (kill(pid, 0) != 0 && errno != EPERM) {
        return false;
    }
    // The id may have been reused by an unrelated process since.
    const uint64_t now = ProcessStartTime(pid);
    return startTime == 0 || now == 0 || now == startTime;
}

std::optional<SegmentReader> SegmentReader::Open(const std::string& segmentName) {
    const int fd = shm_open(segmentName.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        close(fd);
        return std::nullopt;
    }
    if (static_cast<std::size_t>(st.st_size) < sizeof(SegmentHeader)) {
        close(fd);
        // Too small to hold a header: only its age can tell whether it is stale.
        return SegmentReader(segmentName, nullptr, 0, st.st_ctim.tv_sec);
    }
    void* map = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (map == MAP_FAILED) {
        return std::nullopt;
    }
    return SegmentReader(segmentName, static_cast<const uint8_t*>(map),
                         static_cast<std::size_t>(st.st_size), st.st_ctim.tv_sec);
}

SegmentReader::SegmentReader(std::string name, const uint8_t* base, std::size_t bytes,
                             int64_t ctimeSec)
    : m_name(std::move(name)), m_base(base), m_bytes(bytes), m_ctimeSec(ctimeSec) {}

SegmentReader::SegmentReader(SegmentReader&& other) noexcept
    : m_name(std::move(other.m_name)), m_base(other.m_base), m_bytes(other.m_bytes),
      m_ctimeSec(other.m_ctimeSec) {
    other.m_base = nullptr;
    other.m_bytes = 0;
}

SegmentReader::~SegmentReader() {
    if (m_base != nullptr) {
        munmap(const_cast<uint8_t*>(m_base), m_bytes);
    }
}

bool SegmentReader::Read(SourceInfo& info, std::vector<uint8_t>* frame) const {
    if (m_base == nullptr) {
        return false;
    }
    const auto& h = *reinterpret_cast<const SegmentHeader*>(m_base);
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        const uint32_t before = h.changeCounter.load(std::memory_order_acquire);
        if (before == 0 || (before & 1) != 0) {
            if (before == 0) {
                return false; // never initialised
            }
            sched_yield();
            continue;
        }
        if (!HeaderValid(h, m_bytes)) {
            return false;
        }
        info.segmentName = m_name;
        info.sourceName.assign(h.sourceName, strnlen(h.sourceName, kSourceNameBytes));
        info.ownerPid = h.ownerPid;
        info.metadata.assign(h.metadata, std::min<std::size_t>(h.metadataLength, kMetadataBytes));
        info.xres = h.xres;
        info.yres = h.yres;
        info.fourCC = h.fourCC;
        info.frameRateN = h.frameRateN;
        info.frameRateD = h.frameRateD;
        info.aspect = h.aspect;
        info.stride = h.stride;
        info.frameCounter = h.frameCounter;
        info.lastFrameNs = h.lastFrameNs;
        const std::size_t frameBytes = h.frameBytes;
        if (frame != nullptr) {
            if (frameBytes > m_bytes - h.headerBytes) {
                sched_yield();
                continue; // only while torn: the owner never publishes beyond the map
            }
            frame->resize(frameBytes);
            if (frameBytes > 0) {
                std::memcpy(frame->data(), m_base + h.headerBytes, frameBytes);
            }
        }
        SegmentFence(std::memory_order_acquire);
        if (h.changeCounter.load(std::memory_order_relaxed) == before) {
            return true;
        }
    }
    return false;
}

bool SegmentReader::Stale() const {
    if (m_base != nullptr) {
        const auto& h = *reinterpret_cast<const SegmentHeader*>(m_base);
        if (h.changeCounter.load(std::memory_order_acquire) != 0 && HeaderValid(h, m_bytes)) {
            return !OwnerAlive(h.ownerPid, h.ownerStartTime);
        }
    }
    return std::time(nullptr) - m_ctimeSec > kUnfinishedSegmentSeconds;
}

std::vector<std::string> ListSegments() {
    std::vector<std::string> names;
    DIR* dir = opendir("/dev/shm");
    if (dir == nullptr) {
        return names;
    }
    const std::string_view prefix = kSegmentPrefix.substr(1);
    while (const dirent* entry = readdir(dir)) {
        const std::string_view file = entry->d_name;
        if (file.substr(0, prefix.size()) == prefix) {
            names.push_back("/" + std::string(file));
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool RemoveIfStale(const std::string& segmentName) {
    const std::optional<SegmentReader> reader = SegmentReader::Open(segmentName);
    return reader && reader->Stale() && shm_unlink(segmentName.c_str()) == 0;
}

std::vector<SourceInfo> ListLiveSources() {
    std::vector<SourceInfo> sources;
    for (const std::string& name : ListSegments()) {
        const std::optional<SegmentReader> reader = SegmentReader::Open(name);
        if (!reader) {
            continue;
        }
        if (reader->Stale()) {
            shm_unlink(name.c_str());
            continue;
        }
        SourceInfo info;
        if (reader->Read(info)) {
            sources.push_back(std::move(info));
        }
    }
    std::sort(sources.begin(), sources.end(),
              [](const SourceInfo& a, const SourceInfo& b) { return a.sourceName < b.sourceName; });
    return sources;
}

} // namespace standin
