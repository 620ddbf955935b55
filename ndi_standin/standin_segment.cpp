#include "ndi_standin/standin_segment.h"

#include "ndi/ndi_abi.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <signal.h>
#include <sys/random.h>

namespace standin {

namespace {

bool Plain(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '-' || byte == '_';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A file name in /dev/shm has at most 255 bytes (without the leading '/'); room is kept
// for the alternate suffix.
constexpr std::size_t kAlternateSuffixBytes = 9;
constexpr std::size_t kMaxFileNameBytes = 255;

void AppendEncoded(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (Plain(byte)) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
}

} // namespace

std::string SegmentPrefixFor(const char* scope) {
    if (scope == nullptr || *scope == '\0') {
        return std::string(kSegmentPrefix);
    }
    // "-" where the plain prefix has ".": no scoped name parses as a plain one.
    std::string prefix(kSegmentPrefix.substr(0, kSegmentPrefix.size() - 1));
    prefix += '-';
    AppendEncoded(prefix, scope);
    prefix += '.';
    return prefix;
}

const std::string& SegmentPrefix() {
    static const std::string prefix = SegmentPrefixFor(std::getenv("SKYFILL_STANDIN_SCOPE"));
    return prefix;
}

uint64_t RowBytes(uint32_t fourCC, int32_t width) {
    if (width < 1) {
        return 0;
    }
    switch (fourCC) {
    case NDIlib_FourCC_video_type_BGRX:
    case NDIlib_FourCC_video_type_BGRA:
        return uint64_t{4} * static_cast<uint64_t>(width);
    case NDIlib_FourCC_video_type_UYVY:
        return width % 2 == 0 ? uint64_t{2} * static_cast<uint64_t>(width) : 0;
    default:
        return 0;
    }
}

std::string SegmentNameFor(std::string_view sourceName, uid_t user) {
    if (sourceName.empty() || sourceName.size() >= kSourceNameBytes) {
        return {};
    }
    std::string name = SegmentPrefix();
    name += std::to_string(user);
    name += '.';
    AppendEncoded(name, sourceName);
    if (name.size() - 1 + kAlternateSuffixBytes > kMaxFileNameBytes) {
        return {};
    }
    return name;
}

std::string AlternateSegmentNameFor(std::string_view sourceName, uid_t user) {
    std::string name = SegmentNameFor(sourceName, user);
    uint32_t random = 0;
    if (name.empty() || getrandom(&random, sizeof random, 0) != sizeof random) {
        return {};
    }
    char suffix[kAlternateSuffixBytes + 1];
    std::snprintf(suffix, sizeof suffix, "%c%08x", kAlternateMark, random);
    return name + suffix;
}

std::optional<ParsedSegmentName> ParseSegmentName(std::string_view segmentName) {
    const std::string& prefix = SegmentPrefix();
    if (segmentName.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    std::string_view rest = segmentName.substr(prefix.size());
    ParsedSegmentName parsed;
    std::size_t digits = 0;
    uint64_t user = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && digits < 10) {
        user = user * 10 + static_cast<uint64_t>(rest[digits] - '0');
        ++digits;
    }
    if (digits == 0 || digits >= rest.size() || rest[digits] != '.' ||
        user > std::numeric_limits<uid_t>::max()) {
        return std::nullopt;
    }
    parsed.user = static_cast<uid_t>(user);
    rest.remove_prefix(digits + 1);
    if (const std::size_t mark = rest.find(kAlternateMark); mark != std::string_view::npos) {
        parsed.alternate = true;
        rest = rest.substr(0, mark);
    }
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            if (!Plain(static_cast<unsigned char>(rest[i]))) {
                return std::nullopt;
            }
            parsed.sourceName += rest[i];
            continue;
        }
        const int high = i + 2 < rest.size() ? HexValue(rest[i + 1]) : -1;
        const int low = i + 2 < rest.size() ? HexValue(rest[i + 2]) : -1;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        parsed.sourceName += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (parsed.sourceName.empty()) {
        return std::nullopt;
    }
    return parsed;
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

} // namespace standin
