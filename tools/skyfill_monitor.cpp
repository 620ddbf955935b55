// skyfill-monitor: what a user without the NDI runtime uses to see Skyfill's output,
// and what end-to-end tests read. It reads the shared-memory segments that the
// built-in stand-in runtime publishes, trusting none of them: every field is checked
// against the others and against the segment's real size, and text from a segment is
// printed with control characters escaped.
//
//   skyfill-monitor list [--all-users]
//       One line per live source of the calling user, tab-separated: name,
//       WIDTHxHEIGHT, FourCC (BGRX or BGRA, "-" before the first frame), N/D frame rate,
//       frames sent so far, and frames per second: the frames published during half a
//       second over the time between the first and the last of them, by the sender's
//       clock (0.00 when fewer than two came). With --all-users, every user's sources;
//       another user's line ends in a seventh field "user NAME", and one this user may
//       not read shows "-" for what it cannot know. Removes the user's own segments left
//       behind by processes that have ended.
//   skyfill-monitor save [--user USER] NAME FILE.png
//       Writes the source's latest frame as a 32-bit PNG, alpha bytes as sent.
//   skyfill-monitor metadata [--user USER] NAME
//       Prints the source's connection metadata text.
//
// Exit status: 0 on success, 1 when the source does not exist, is damaged or the
// operation failed, 2 on wrong usage.

#include "ndi/ndi_abi.h"
#include "ndi/segment_directory.h"
#include "tools/escaped_text.h"

#include <QImage>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <pwd.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr auto kRateWindow = std::chrono::milliseconds(500);

const char* FourCCText(uint32_t fourCC) {
    switch (fourCC) {
    case NDIlib_FourCC_video_type_BGRX:
        return "BGRX";
    case NDIlib_FourCC_video_type_BGRA:
        return "BGRA";
    default:
        return "-";
    }
}

int Usage() {
    std::fprintf(stderr, "usage: skyfill-monitor list [--all-users]\n"
                         "       skyfill-monitor save [--user USER] NAME FILE.png\n"
                         "       skyfill-monitor metadata [--user USER] NAME\n");
    return 2;
}

std::string UserName(uid_t uid) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return Escaped(found->pw_name);
    }
    return std::to_string(uid);
}

// A user name or a numeric id.
std::optional<uid_t> UserId(const char* text) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwnam_r(text, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return found->pw_uid;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long id = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || id > 0xFFFFFFFEul) {
        return std::nullopt;
    }
    return static_cast<uid_t>(id);
}

double Rate(const standin::SourceInfo& first, const standin::SourceInfo& now) {
    const uint64_t frames = now.frameCounter - first.frameCounter;
    const int64_t spanNs = now.lastFrameNs - first.lastFrameNs;
    return frames > 0 && spanNs > 0
               ? static_cast<double>(frames) * 1e9 / static_cast<double>(spanNs)
               : 0.0;
}

// Another user's segment this user may not open: its name is all there is to show.
void ListUnreadable(const std::vector<standin::SourceInfo>& readable) {
    for (const std::string& name : standin::ListSegments(std::nullopt)) {
        const std::optional<standin::ParsedSegmentName> parsed = standin::ParseSegmentName(name);
        bool shown = false;
        for (const standin::SourceInfo& source : readable) {
            shown = shown || source.segmentName == name;
        }
        int error = 0;
        if (shown || parsed->user == geteuid() ||
            standin::SegmentReader::Open(name, parsed->user, &error) || error != EACCES) {
            continue;
        }
        std::printf("%s\t-\t-\t-\t-\t-\tuser %s\n", Escaped(parsed->sourceName).c_str(),
                    UserName(parsed->user).c_str());
    }
}

int List(bool allUsers) {
    const std::optional<uid_t> user = allUsers ? std::nullopt : std::optional<uid_t>(geteuid());
    const std::vector<standin::SourceInfo> first = standin::ListLiveSources(user);
    if (!first.empty()) {
        std::this_thread::sleep_for(kRateWindow);
    }
    for (const standin::SourceInfo& source : first) {
        standin::SourceInfo now = source;
        const std::optional<standin::SegmentReader> reader =
            standin::SegmentReader::Open(source.segmentName, source.ownerUid);
        if (!reader || reader->Read(now) != standin::SegmentReader::Outcome::Read) {
            continue; // went away while we measured
        }
        std::printf("%s\t%dx%d\t%s\t%d/%d\t%llu\t%.2f", Escaped(now.sourceName).c_str(), now.xres,
                    now.yres, FourCCText(now.fourCC), now.frameRateN, now.frameRateD,
                    static_cast<unsigned long long>(now.frameCounter), Rate(source, now));
        if (now.ownerUid != geteuid()) {
            std::printf("\tuser %s", UserName(now.ownerUid).c_str());
        }
        std::printf("\n");
    }
    if (allUsers) {
        ListUnreadable(first);
    }
    return 0;
}

// Reads the named source; prints a one-line error and returns nothing when it is not
// live or cannot be trusted.
std::optional<standin::SourceInfo> ReadSource(const char* name, uid_t user,
                                              std::vector<uint8_t>* frame) {
    const std::string shown = Escaped(name);
    const std::optional<standin::SegmentReader> reader = standin::FindSource(name, user);
    standin::SourceInfo info;
    std::string problem;
    switch (reader ? reader->Read(info, frame, &problem)
                   : standin::SegmentReader::Outcome::NotReady) {
    case standin::SegmentReader::Outcome::Read:
        return info;
    case standin::SegmentReader::Outcome::Damaged:
        std::fprintf(stderr, "skyfill-monitor: source \"%s\" cannot be read: %s\n", shown.c_str(),
                     problem.c_str());
        return std::nullopt;
    case standin::SegmentReader::Outcome::Busy:
        std::fprintf(stderr, "skyfill-monitor: source \"%s\" kept changing while it was read\n",
                     shown.c_str());
        return std::nullopt;
    case standin::SegmentReader::Outcome::NotReady:
        break;
    }
    std::fprintf(stderr, "skyfill-monitor: no live source named \"%s\"\n", shown.c_str());
    return std::nullopt;
}

int Save(const char* name, uid_t user, const char* file) {
    std::vector<uint8_t> frame;
    const std::optional<standin::SourceInfo> info = ReadSource(name, user, &frame);
    if (!info) {
        return 1;
    }
    if (info->fourCC == 0 || frame.empty()) {
        std::fprintf(stderr, "skyfill-monitor: source \"%s\" has not sent a frame yet\n",
                     Escaped(name).c_str());
        return 1;
    }
    // Blue, green, red, alpha bytes are a little-endian 0xAARRGGBB: straight
    // (not premultiplied) ARGB32, which the PNG writer keeps byte for byte.
    const QImage image(frame.data(), info->xres, info->yres, info->stride, QImage::Format_ARGB32);
    if (!image.save(QString::fromLocal8Bit(file), "PNG")) {
        std::fprintf(stderr, "skyfill-monitor: cannot write \"%s\"\n", Escaped(file).c_str());
        return 1;
    }
    return 0;
}

int Metadata(const char* name, uid_t user) {
    const std::optional<standin::SourceInfo> info = ReadSource(name, user, nullptr);
    if (!info) {
        return 1;
    }
    std::printf("%s\n", Escaped(info->metadata).c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<const char*> args(argv + 1, argv + argc);
    if (args.size() == 1 && std::strcmp(args[0], "list") == 0) {
        return List(false);
    }
    if (args.size() == 2 && std::strcmp(args[0], "list") == 0 &&
        std::strcmp(args[1], "--all-users") == 0) {
        return List(true);
    }
    if (args.empty()) {
        return Usage();
    }
    const char* command = args[0];
    args.erase(args.begin());
    uid_t user = geteuid();
    if (args.size() >= 2 && std::strcmp(args[0], "--user") == 0) {
        const std::optional<uid_t> id = UserId(args[1]);
        if (!id) {
            std::fprintf(stderr, "skyfill-monitor: no user \"%s\"\n", Escaped(args[1]).c_str());
            return 2;
        }
        user = *id;
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() == 2 && std::strcmp(command, "save") == 0) {
        return Save(args[0], user, args[1]);
    }
    if (args.size() == 1 && std::strcmp(command, "metadata") == 0) {
        return Metadata(args[0], user);
    }
    return Usage();
}
